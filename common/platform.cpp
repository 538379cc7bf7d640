// The platform layer's one idea, the same on every system: a file is
// written whole to a temporary beside it, synced, and renamed over it;
// otherwise, for a named reason, written in place.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "platform_write.h"

namespace platform {

namespace {

// Whether a refused step says that this folder takes no new file or no
// rename, or this file must keep its place: then it is written in place.
bool InPlaceInstead(int err) {
  return err == EEXIST || err == EACCES || err == EPERM || err == EROFS ||
         err == ENOTSUP || err == EOPNOTSUPP || err == EBUSY || err == EXDEV;
}

// A temporary's name beside path: its last name (cut at a character, so
// that the whole fits in 255 bytes) + ".tmp-" + six random characters.
std::string TempName(const std::string& path) {
  const std::size_t sep = path.find_last_of("\\/") + 1;  // 0 if none
  std::size_t keep =
      std::min(path.size() - sep, 255 - (sizeof ".tmp-XXXXXX" - 1));
  while (keep > 0 &&
         (static_cast<unsigned char>(path[sep + keep]) & 0xC0) == 0x80)
    --keep;  // not inside a UTF-8 character
  constexpr char kChars[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6];
  if (!Random(random)) {
    // No random source: the clock still tells runs apart, and the
    // temporary's exclusive creation never lets two share a name.
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (unsigned char& b : random) b = static_cast<unsigned char>(now >>= 5);
  }
  std::string name = path.substr(0, sep + keep) + ".tmp-";
  for (const unsigned char b : random) name += kChars[b % (sizeof kChars - 1)];
  return name;
}

}  // namespace

WriteTarget::WriteTarget() : state(new State) {}

WriteTarget::~WriteTarget() = default;

const FileInfo* WriteTarget::Found() const {
  return state->exists ? &state->found : nullptr;
}

bool WriteTarget::Direct() const { return state->how == How::kDirect; }

bool WriteAll(std::intptr_t file, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const long n = WriteSome(file, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;  // a write that takes nothing never will
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteWhole(WriteTarget& target, const void* data, std::size_t size) {
  WriteTarget::State& s = *target.state;
  errno = 0;
  if (s.how == How::kDirect) return WriteAll(s.file, data, size);
  if (s.how == How::kReplace) {
    for (int tries = 0; tries <= 100; ++tries) {
      s.temp_name = TempName(s.name);
      if (CreateTemp(s) || errno != EEXIST) break;
    }
    if (s.temp != -1) {
      const bool written = WriteAll(s.temp, data, size) && Sync(s.temp);
      if (written && RenameOver(s)) return true;
      RemoveTemp(s);
      if (!written) return false;
    }
    if (!InPlaceInstead(errno)) return false;
  }
  if (WriteInPlace(s, data, size)) return true;
  if (errno == EEXIST) errno = EACCES;  // not the file found at the start
  return false;
}

}  // namespace platform
