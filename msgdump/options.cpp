// msgdump's command line, read.
#include "options.h"

#include <cstring>
#include <vector>

#include "arguments.h"
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
  const std::vector<arguments::Valued> valued = {
      {"-o", &o->output, "needs a file name", "FILE", "file"},
      {"--table", &o->table, "needs a file name", "FILE", "file"},
      {"--font", &o->font, "needs a layout", "FORMAT:OFFSET[:KANJI]", "font"}};
  // The modes, one at a time.
  const auto mode = [&](const int* i) {
    const char* a = argv[*i];
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
    return true;
  };
  // The image; later operands are ignored.
  const auto image = [o](int i) {
    if (o->image == 0) o->image = i;
    return true;
  };
  return arguments::Walk(argc, argv,
                         {&o->help, &o->version, valued, mode, image}) &&
         (o->help || o->version ||
          arguments::Together("--suggest", o->mode == Mode::kSuggest,
                              "--font LAYOUT", o->font != 0));
}

}  // namespace msgdump
