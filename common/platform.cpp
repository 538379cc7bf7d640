// The platform layer's one idea, the same on every system: a file is
// written whole to a temporary beside it, synced, and renamed over it;
// otherwise, for a named reason, written in place.
#include <cerrno>
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

// leaf (cut, at a character, so that the whole fits in 255 bytes) +
// ".tmp-" + six random characters.
std::string TempName(const std::string& leaf) {
  constexpr std::size_t kMax = 255 - (sizeof ".tmp-XXXXXX" - 1);
  std::size_t keep = leaf.size();
  if (keep > kMax) {
    keep = kMax;
    while (keep > 0 && (static_cast<unsigned char>(leaf[keep]) & 0xC0) == 0x80)
      --keep;  // not inside a UTF-8 character
  }
  constexpr char kChars[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6];
  Random(random);
  std::string name = leaf.substr(0, keep) + ".tmp-";
  for (const unsigned char b : random) name += kChars[b % (sizeof kChars - 1)];
  return name;
}

}  // namespace

WriteTarget::WriteTarget() : state_(new State) {}

WriteTarget::~WriteTarget() = default;

bool WriteTarget::Found(FileInfo* file) const {
  *file = state_->found;
  return state_->exists;
}

bool WriteTarget::Direct() const { return state_->how == State::How::kDirect; }

bool WriteWhole(WriteTarget& target, const void* data, std::size_t size) {
  using How = WriteTarget::State::How;
  WriteTarget::State& s = target.state();
  errno = 0;
  if (s.how == How::kDirect) return WriteAll(s.file, data, size);
  if (s.how == How::kReplace) {
    const std::size_t sep = s.name.find_last_of("\\/") + 1;  // 0 if none
    Temp temp;
    bool made = false;
    for (int attempt = 0; !made && attempt <= 100; ++attempt) {
      temp.name = s.name.substr(0, sep) + TempName(s.name.substr(sep));
      made = CreateTemp(s, &temp);
      if (!made && errno != EEXIST) break;
    }
    if (made) {
      const bool written = WriteAll(temp.file, data, size) && Sync(temp.file);
      if (written && RenameOver(s, &temp)) return true;
      const int err = errno;
      RemoveTemp(s, &temp);
      errno = err;
      if (!written) return false;
    }
    if (!InPlaceInstead(errno)) return false;
  }
  return WriteInPlace(s, data, size);
}

}  // namespace platform
