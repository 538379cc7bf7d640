// Output files: resolved against the run's inputs, written whole.
#include "output_file.h"

#include <algorithm>
#include <cerrno>

#include "message.h"

namespace output_file {

bool Resolve(const std::string& path, const std::vector<Input>& inputs,
             platform::WriteTarget* target) {
  if (!platform::ResolveForWrite(path.c_str(), target)) {
    message::SayErrno(path, errno);
    return false;
  }
  const auto in =
      std::find_if(inputs.begin(), inputs.end(), [&](const Input& i) {
        return platform::WouldWrite(*target, i.path.c_str());
      });
  if (in == inputs.end()) return true;
  message::Say(path, std::string("is ") + in->what + "; not overwritten");
  return false;
}

bool Write(platform::WriteTarget& target, const std::string& path,
           const void* data, std::size_t size) {
  if (platform::WriteWhole(target, data, size)) return true;
  message::SayErrno(path, errno);
  return false;
}

}  // namespace output_file
