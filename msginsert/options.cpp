// msginsert's command line, read.
#include "options.h"

#include <cstring>
#include <string>

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
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!options || a[0] != '-' || a[1] == '\0') {
      int& slot = o->script == 0 ? o->script : o->image;
      if (slot != 0) {
        message::Say(a, "one script and one image at a time");
        return false;
      }
      slot = i;
      continue;
    }
    int* slot = nullptr;
    if (std::strcmp(a, "--") == 0) {
      options = false;
    } else if (std::strcmp(a, "--help") == 0) {
      o->help = true;
    } else if (std::strcmp(a, "--version") == 0) {
      o->version = true;
    } else if (std::strcmp(a, "--as-atlas") == 0) {
      o->as_atlas = true;
    } else if (std::strcmp(a, "-o") == 0) {
      slot = &o->output;
    } else if (std::strcmp(a, "--bps") == 0) {
      slot = &o->bps;
    } else if (std::strcmp(a, "--table") == 0) {
      slot = &o->table;
    } else if (std::strcmp(a, "--font") == 0) {
      slot = &o->font;
    } else if (std::strcmp(a, "--pairs") == 0) {
      slot = &o->pairs;
    } else if (std::strcmp(a, "--fill") == 0) {
      if (i + 1 == argc || (o->fill = HexByte(argv[i + 1])) < 0) {
        message::Say(a, "needs a byte in hex: --fill D0");
        return false;
      }
      ++i;
    } else {
      message::Say(a, "unknown option; msginsert --help lists them");
      return false;
    }
    if (slot == nullptr) continue;
    const char* value = std::strcmp(a, "-o") == 0        ? " PATCHED"
                        : std::strcmp(a, "--bps") == 0   ? " PATCH"
                        : std::strcmp(a, "--font") == 0  ? " LAYOUT"
                        : std::strcmp(a, "--pairs") == 0 ? " DIR"
                                                         : " FILE";
    if (i + 1 == argc) {
      message::Say(a, std::string("needs a value: ") + a + value);
      return false;
    }
    if (*slot != 0) {
      message::Say(a, "given twice; one file at a time");
      return false;
    }
    *slot = ++i;
  }
  if ((o->pairs != 0) != (o->font != 0) && !o->help && !o->version) {
    message::Say(o->pairs != 0 ? "--pairs" : "--font",
                 "--pairs DIR and --font LAYOUT go together");
    return false;
  }
  return true;
}

}  // namespace msginsert
