// The reference fonts built into the programs, from font/refs/ (made by
// tools/mkfonts.py; their licences are in font/refs/LICENSES).
#include "font.h"

namespace font {

namespace {

const unsigned char kGothic[] = {
#include "gothic.inc"
};
const unsigned char kBold[] = {
#include "bold.inc"
};
const unsigned char kJiskan[] = {
#include "jiskan.inc"
};

}  // namespace

std::vector<FontData> BuiltInReferences() {
  return {{kGothic, sizeof kGothic},
          {kBold, sizeof kBold},
          {kJiskan, sizeof kJiskan}};
}

}  // namespace font
