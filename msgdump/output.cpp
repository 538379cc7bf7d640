// msgdump's output: to standard output, or kept for -o FILE.
#include "output.h"

#include <cerrno>
#include <cstdio>

#include "atlas.h"
#include "file_io.h"
#include "message.h"

namespace msgdump {

namespace {

// The bytes of the file path, if it is a regular file of at most max bytes
// that can be read; else "".
std::string Contents(const std::string& path, std::uint64_t max) {
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File f(platform::OpenInput(path.c_str(), &info, &why));
  std::string bytes;
  std::size_t got = 0;
  if (!f || info.size > max) return bytes;
  bytes.resize(static_cast<std::size_t>(info.size));
  if (!file_io::ReadUpTo(f.get(), bytes.data(), bytes.size(), &got)) got = 0;
  bytes.resize(got);
  return bytes;
}

}  // namespace

Output::Output(bool classic, bool native) : classic_(classic), native_(native) {
  if (!native_) platform::KeepLineEnds(stdout);
}

bool Output::ToFile(const std::string& path, const std::vector<Input>& inputs) {
  if (!platform::ResolveForWrite(path.c_str(), &target_)) {
    message::SayErrno(path, errno);
    return false;
  }
  for (const Input& in : inputs) {
    if (platform::WouldWrite(target_, in.path.c_str())) {
      message::Say(path, std::string("is ") + in.what + "; not overwritten");
      return false;
    }
  }
  // A translated script is the translator's work: a dump never replaces
  // it.  (A script of the window is well under a megabyte.)
  platform::FileInfo found;
  if (target_.Found(&found) && !target_.Direct()) {
    if (const std::size_t line =
            translate::TranslatedLine(Contents(path, 64 << 20))) {
      message::Say(path, "holds a translation (line " + std::to_string(line) +
                             "); not overwritten");
      return false;
    }
  }
  path_ = path;
  return true;
}

void Output::Fixed(std::string_view text) {
  if (classic_) Put(text);
}

void Output::Put(std::string_view text) {
  if (to_file())
    kept_.append(text);
  else
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int Output::Finish(bool done) {
  if (done && to_file()) {
    const std::string bytes = native_ ? platform::NativeLineEnds(kept_) : kept_;
    if (!platform::WriteWhole(target_, bytes.data(), bytes.size())) {
      message::SayErrno(path_, errno);
      done = false;
    }
  }
  return message::Finish(done);
}

}  // namespace msgdump
