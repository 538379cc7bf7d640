// The programs' command lines walked, and --help and --version answered.
#include "arguments.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace arguments {

bool Walk(int argc, char** argv, const Grammar& grammar) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!options || a[0] != '-' || a[1] == '\0') {
      if (!grammar.operand(i)) return false;
      continue;
    }
    const Valued* valued = nullptr;
    for (const Valued& v : grammar.valued)
      if (std::strcmp(a, v.name) == 0) valued = &v;
    if (std::strcmp(a, "--") == 0) {
      options = false;
    } else if (std::strcmp(a, "--help") == 0) {
      *grammar.help = true;
    } else if (std::strcmp(a, "--version") == 0) {
      *grammar.version = true;
    } else if (valued == nullptr) {
      if (!grammar.option(&i)) return false;
    } else if (i + 1 == argc) {
      message::Say(a,
                   std::string(valued->needs) + ": " + a + " " + valued->form);
      return false;
    } else if (*valued->slot != 0) {
      message::Say(
          a, std::string("given twice; one ") + valued->one + " at a time");
      return false;
    } else {
      *valued->slot = ++i;
    }
  }
  return true;
}

bool Together(const char* a, bool has_a, const char* b, bool has_b) {
  if (has_a == has_b) return true;
  const std::string given = has_a ? a : b;
  message::Say(given.substr(0, given.find(' ')),
               std::string(a) + " and " + b + " go together");
  return false;
}

int Answer(const char* program, bool help, const char* usage) {
  if (help)
    std::fputs(usage, stdout);
  else
    std::printf("%s %s\n", program, ZOL_VERSION);
  return message::Finish(true);
}

}  // namespace arguments
