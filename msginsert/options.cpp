// msginsert's command line, read.
#include "options.h"

#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"
#include "message.h"

namespace msginsert {

namespace {

// A byte in hex, as "D0", "$D0" or "0xD0"; -1 if s is none.
int HexByte(const char* s) {
  if (s[0] == '$')
    ++s;
  else if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    s += 2;
  const std::size_t n = std::strlen(s);
  if (n == 0 || n > 2 || std::strspn(s, "0123456789abcdefABCDEF") != n)
    return -1;
  return static_cast<int>(std::stoul(s, nullptr, 16));
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* o) {
  const std::vector<arguments::Valued> valued = {
      {"-o", &o->output, "needs a value", "PATCHED", "file"},
      {"--bps", &o->bps, "needs a value", "PATCH", "file"},
      {"--table", &o->table, "needs a value", "FILE", "file"},
      {"--font", &o->font, "needs a value", "LAYOUT", "layout"},
      {"--pairs", &o->pairs, "needs a value", "DIR", "folder"}};
  // --as-atlas, and --fill with its byte.
  const auto option = [&](int* i) {
    const char* a = argv[*i];
    if (std::strcmp(a, "--as-atlas") == 0) {
      o->as_atlas = true;
    } else if (std::strcmp(a, "--fill") != 0) {
      message::Say(a, "unknown option; msginsert --help lists them");
      return false;
    } else if (*i + 1 == argc || (o->fill = HexByte(argv[*i + 1])) < 0) {
      message::Say(a, "needs a byte in hex: --fill D0");
      return false;
    } else {
      ++*i;
    }
    return true;
  };
  // The script, then the image.
  const auto operand = [&](int i) {
    int& slot = o->script == 0 ? o->script : o->image;
    if (slot != 0) {
      message::Say(argv[i], "one script and one image at a time");
      return false;
    }
    slot = i;
    return true;
  };
  return arguments::Walk(argc, argv,
                         {&o->help, &o->version, valued, option, operand}) &&
         (o->help || o->version ||
          arguments::Together("--pairs DIR", o->pairs != 0, "--font LAYOUT",
                              o->font != 0));
}

}  // namespace msginsert
