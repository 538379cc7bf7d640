// msginsert --pairs: English in pairs chosen for a translated script, the
// insertion table and grids they make, and their glyphs drawn into the
// patched image, with the report of what they made of each line.
#ifndef ZOL_MSGINSERT_PAIRS_H
#define ZOL_MSGINSERT_PAIRS_H

#include <string>
#include <vector>

#include "font.h"
#include "translate.h"

namespace msginsert {

struct Pairs {
  translate::PairChoice choice;
  std::string table;    // the insertion table (english.tbl)
  std::string grid[2];  // zol_00.txt and zol_01.txt
};

// Chooses the pairs for script (table: the original Thingy table's text)
// on the glyph codes that image's untranslated lines, and the padding (fill,
// if not -1, and the script's #FILL), leave free, and says
// on standard error, as "SCRIPT:LINE: ...", each translated line's bytes
// before and after, each that still does not fit, each letter left alone
// inside a line and each character that got no code.
Pairs ChooseAndReport(const std::string& script, const std::string& table,
                      int fill, const std::vector<unsigned char>& image,
                      const std::string& script_name);

// Draws each chosen code's glyph into *image where layout places it, in the
// format's every plane; false, said (image_name), when a glyph would lie
// past the image's end, and then *image is as it was.
bool DrawPairs(const font::Layout& layout, const translate::PairChoice& choice,
               const std::string& image_name,
               std::vector<unsigned char>* image);

}  // namespace msginsert

#endif  // ZOL_MSGINSERT_PAIRS_H
