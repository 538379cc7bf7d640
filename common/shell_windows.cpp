// The commands of the hints on Windows: PowerShell lines that cmd runs
// (and Windows PowerShell 5.1 and PowerShell 7 alike understand).
#include "shell.h"

namespace shell {

std::string Quote(const std::string& name) {
  // In UTF-8: ' and the four quotation marks PowerShell also ends a
  // single-quoted string at (U+2018 to U+201B).
  std::string quoted = "'";
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool curly = i + 2 < name.size() && name[i] == '\xE2' &&
                       name[i + 1] == '\x80' && name[i + 2] >= '\x98' &&
                       name[i + 2] <= '\x9B';
    if (name[i] == '\'') {
      quoted += "''";
    } else if (curly) {
      quoted += name.substr(i, 3) + name.substr(i, 3);
      i += 2;
    } else {
      quoted += name[i];
    }
  }
  return quoted + "'";
}

std::string StripHeader(const std::string& name) {
  return "powershell -c \"$b=[IO.File]::ReadAllBytes(" + Quote(name) +
         "); [IO.File]::WriteAllBytes('headerless.sfc', "
         "$b[512..($b.Length-1)])\"";
}

std::string ConvertToShiftJis(const std::string& name, bool /*bom*/) {
  // ReadAllText drops a byte order mark by itself.
  const std::string q = Quote(name);
  return "powershell -c \"[IO.File]::WriteAllText(" + q +
         ", [IO.File]::ReadAllText(" + q +
         "), [Text.Encoding]::GetEncoding(932))\"";
}

std::string FixLineEnds(const std::string& name) {
  // Latin-1 maps every byte to one character and back: the Shift-JIS
  // bytes pass through untouched.
  const std::string q = Quote(name);
  return "powershell -c \"$e=[Text.Encoding]::GetEncoding(28591); "
         "$n=[string][char]13+[char]10; [IO.File]::WriteAllText(" +
         q + ", ([IO.File]::ReadAllText(" + q +
         ", $e) -replace '\\r?\\n', $n), $e)\"";
}

}  // namespace shell
