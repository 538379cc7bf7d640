// Output files: resolved against the run's inputs, written whole.
#include "output_file.h"

#include <cerrno>

#include "message.h"

namespace output_file {

bool Resolve(const std::string& path, const std::vector<Input>& inputs,
             platform::WriteTarget* target) {
  const char* why = nullptr;
  if (!platform::ResolveForWrite(path.c_str(), target, &why)) {
    message::SayWhy(path, why);
    return false;
  }
  for (const Input& in : inputs) {
    if (platform::WouldWrite(*target, in.path.c_str())) {
      message::Say(path, std::string("is ") + in.what + "; not overwritten");
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
