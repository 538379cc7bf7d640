// Output files: resolved against the run's inputs, written whole.
#include "output_file.h"

#include <cerrno>

#include "message.h"

namespace output_file {

bool Resolve(const std::string& path, const std::vector<Input>& inputs,
             platform::WriteTarget* target) {
  if (!platform::ResolveForWrite(path.c_str(), target)) {
    message::SayErrno(path, errno);
    return false;
  }
  const platform::FileInfo* found = target->Found();
  platform::FileInfo info;
  for (const Input& in : inputs) {
    if (found != nullptr && platform::Stat(in.path.c_str(), &info) &&
        info.Same(*found)) {
      message::Say(path, "is " + in.what + "; not overwritten");
      return false;
    }
  }
  return true;
}

bool Write(platform::WriteTarget& target, const std::string& path,
           const void* data, std::size_t size) {
  if (platform::WriteWhole(target, data, size)) return true;
  message::SayErrno(path, errno);
  return false;
}

}  // namespace output_file
