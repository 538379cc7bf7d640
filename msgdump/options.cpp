// msgdump's command line, read.
#include "options.h"

#include <cstring>

#include "message.h"

namespace msgdump {

namespace {

struct Named {
  const char* name;
  Mode mode;
};
constexpr Named kModes[] = {
    {"--utf8", Mode::kUtf8},       {"--atlas", Mode::kAtlas},
    {"--thingy", Mode::kThingy},   {"--to-fill", Mode::kToFill},
    {"--suggest", Mode::kSuggest}, {"--find-font", Mode::kFindFont}};

}  // namespace

bool ParseOptions(int argc, char** argv, Options* o) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!options || a[0] != '-' || a[1] == '\0') {
      if (o->image == 0) o->image = i;
      continue;
    }
    if (std::strcmp(a, "--") == 0) {
      options = false;
    } else if (std::strcmp(a, "--help") == 0) {
      o->help = true;
    } else if (std::strcmp(a, "--version") == 0) {
      o->version = true;
    } else if (std::strcmp(a, "-o") == 0 || std::strcmp(a, "--table") == 0 ||
               std::strcmp(a, "--font") == 0) {
      const bool font = a[2] == 'f';
      int& slot = font ? o->font : a[1] == 'o' ? o->output : o->table;
      if (i + 1 == argc) {
        message::Say(a, font
                            ? "needs a layout: --font FORMAT:OFFSET[:KANJI]"
                            : std::string("needs a file name: ") + a + " FILE");
        return false;
      }
      if (slot != 0) {
        message::Say(a, font ? "given twice; one font at a time"
                             : "given twice; one file at a time");
        return false;
      }
      slot = ++i;
    } else {
      const Named* named = nullptr;
      for (const Named& m : kModes)
        if (std::strcmp(a, m.name) == 0) named = &m;
      if (named == nullptr) {
        message::Say(a, "unknown option; msgdump --help lists them");
        return false;
      }
      if (o->mode != Mode::kClassic && o->mode != named->mode) {
        message::Say(a,
                     "one of --utf8, --atlas, --thingy, --to-fill, --suggest "
                     "and --find-font at a time");
        return false;
      }
      o->mode = named->mode;
    }
  }
  if (!o->help && !o->version &&
      (o->mode == Mode::kSuggest) != (o->font != 0)) {
    message::Say(o->font != 0 ? "--font" : "--suggest",
                 "--suggest and --font LAYOUT go together");
    return false;
  }
  return true;
}

}  // namespace msgdump
