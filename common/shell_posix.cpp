// The commands of the hints in POSIX sh, with tools every Linux has.
#include "shell.h"

namespace shell {

std::string Quote(const std::string& name) {
  bool plain = !name.empty();
  for (const char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      (c >= '0' && c <= '9') ||
                      std::string("_-./+,:=@%").find(c) != std::string::npos;
    plain = plain && safe;
  }
  if (plain) return name;
  std::string quoted = "'";
  for (const char c : name) quoted += c == '\'' ? "'\\''" : std::string(1, c);
  return quoted + "'";
}

namespace {

// name as an argument of a command: a name that starts with a dash would be
// read as an option.
std::string Argument(const std::string& name) {
  return Quote(name[0] == '-' ? "./" + name : name);
}

}  // namespace

std::string StripHeader(const std::string& name) {
  return "tail -c +513 " + Argument(name) + " > headerless.sfc";
}

std::string ConvertToShiftJis(const std::string& name, bool bom) {
  const std::string q = Argument(name);
  return (bom ? "tail -c +4 " + q + " | iconv -f UTF-8 -t CP932"
              : "iconv -f UTF-8 -t CP932 " + q) +
         " > sjis.txt && mv sjis.txt " + q;
}

std::string FixLineEnds(const std::string& name) {
  return R"(perl -pi -e 's/\r?\n/\r\n/' )" + Argument(name);
}

}  // namespace shell
