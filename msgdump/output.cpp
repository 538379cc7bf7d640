// msgdump's output: to standard output, or kept for -o FILE.
#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_io.h"
#include "keep.h"
#include "message.h"

namespace msgdump {

namespace {

// Whether target, the file found at path, may be written over with bytes:
// not where it holds a translator's work that bytes would lose (an edited
// Atlas script or Thingy table), nor where it cannot be read to tell; that
// is said.  (No script or table is near 64 MiB: a larger file is no one's.)
bool MayWriteOver(const std::string& path, const platform::WriteTarget& target,
                  const std::string& bytes) {
  const platform::FileInfo* found = target.Found();
  if (found == nullptr || target.Direct()) return true;
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File f(platform::OpenInput(path.c_str(), &info, &why));
  std::string held;
  std::size_t got = 0;
  if (f && !info.Same(*found))
    why = "it changed during the run";
  else if (f && info.size > (64U << 20))
    return true;
  else if (f)
    held.resize(static_cast<std::size_t>(info.size));
  if (!f || why != nullptr ||
      !file_io::ReadUpTo(f.get(), held.data(), held.size(), &got)) {
    message::Say(path, std::string("cannot be read (") +
                           (why != nullptr ? why : std::strerror(errno)) +
                           "), so it may hold a translation; not overwritten");
    return false;
  }
  held.resize(got);
  if (const std::size_t line = translate::LostLine(held, bytes)) {
    message::Say(path, "holds work this dump would lose (line " +
                           std::to_string(line) +
                           ": an edited Atlas script or Thingy table); not "
                           "overwritten");
    return false;
  }
  return true;
}

}  // namespace

Output::Output(bool classic, bool native) : classic_(classic), native_(native) {
  if (!native_) platform::KeepLineEnds(stdout);
}

bool Output::ToFile(const std::string& path, const std::vector<Input>& inputs) {
  if (!output_file::Resolve(path, inputs, &target_)) return false;
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
    // Decided now that the output is known, before anything is written.
    if (!MayWriteOver(path_, target_, bytes)) {
      done = false;
    } else {
      done = output_file::Write(target_, path_, bytes.data(), bytes.size());
    }
  }
  return message::Finish(done);
}

}  // namespace msgdump
