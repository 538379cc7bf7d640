// Where msgdump's output goes: standard output as it comes, or -o FILE,
// kept until the job is done and only then written, safely and never over
// one of the run's inputs.
#ifndef ZOL_MSGDUMP_OUTPUT_H
#define ZOL_MSGDUMP_OUTPUT_H

#include <string>
#include <string_view>
#include <vector>

#include "output_file.h"
#include "platform.h"

namespace msgdump {

// A file the run reads, which -o must not name.
using Input = output_file::Input;

class Output {
 public:
  // classic: the original tools' fixed lines belong to it.  native: its
  // "\n" are the system's line ends (CR LF on Windows), as a text-mode
  // stream writes them; otherwise LF everywhere.
  Output(bool classic, bool native);

  // Sends the output to the file path instead; false, said on standard
  // error, if it cannot be written or is one of inputs (then nothing is
  // ever written).
  bool ToFile(const std::string& path, const std::vector<Input>& inputs);
  [[nodiscard]] bool to_file() const { return !path_.empty(); }

  // The original tools' fixed lines: only in the classic output.
  void Fixed(std::string_view text);
  void Put(std::string_view text);

  // Ends the run: writes the file if done and it holds no translator's work
  // that the output would lose (else says so), flushes standard output,
  // and gives the exit status.
  int Finish(bool done);

 private:
  bool classic_;
  bool native_;
  std::string path_;
  platform::WriteTarget target_;
  std::string kept_;
};

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_OUTPUT_H
