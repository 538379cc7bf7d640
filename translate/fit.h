// English made to fit: a translated script's pairs chosen, the script
// inserted with the table they make, and their glyphs drawn into the font,
// in one call that msginsert --pairs and the page's "Make it fit" share.
// What it finds comes back as records; the callers word them.
#ifndef ZOL_TRANSLATE_FIT_H
#define ZOL_TRANSLATE_FIT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "font.h"
#include "insert.h"
#include "pairs.h"

namespace translate {

struct Fit {
  PairChoice choice;
  std::string table;    // the insertion table (english.tbl)
  std::string grid[2];  // the grids that print the result (zol_00, zol_01)

  // A line that holds English, in the script's order.
  struct Line {
    int line = 0;              // its script line
    std::uint32_t offset = 0;  // where its first byte goes
    std::size_t budget = 0;    // the bytes it may take
    std::size_t before = 0;    // bytes with one code per character
    std::size_t after = 0;     // bytes with the pairs
    bool fits = false;         // after <= budget, no character left out
  };
  std::vector<Line> lines;

  Insertion insertion;    // what the inserter said
  bool inserted = false;  // it took the script
  // The insertion's table problems are the original table's (it is no
  // file to read: not UTF-8, or CR-only line ends), and nothing was chosen;
  // else they are those of the table the pairs make.
  bool original_table = false;
  // Why a chosen code's glyph could not be drawn (and then none is):
  enum class Undrawn {
    kNoRoom,        // the layout places it past the image's end
    kOverKept,      // over the text window or the cartridge's header
    kPagesOverlap,  // the kanji page lies over the one-byte page
  };
  int undrawn = -1;  // that code (the walk's index), or -1
  Undrawn why = Undrawn::kNoRoom;
  // The image with the script in and the glyphs drawn; empty unless ok().
  std::vector<unsigned char> patched;

  [[nodiscard]] bool ok() const { return inserted && undrawn < 0; }
};

// Chooses the pairs for script (table: the original Thingy table's text)
// on the glyph codes that image's untranslated lines and the padding
// (options.fill and the script's #FILL) leave free, inserts it into a copy
// of image with the table they make (options.fill, where -1, the choice's
// blank), and draws each chosen code's glyph where layout places it, in the
// format's every plane.
Fit MakeFit(const std::string& script, const std::string& table,
            const std::vector<unsigned char>& image, const font::Layout& layout,
            InsertOptions options);

// The glyph entries the game shows for bytes [offset, offset + budget) of
// image, walked from offset: one row per screen line, a new one after each
// code that breaks a line; codes that draw no glyph are left out.
std::vector<std::vector<int>> ShownRows(const std::vector<unsigned char>& image,
                                        std::uint32_t offset,
                                        std::size_t budget);

}  // namespace translate

#endif  // ZOL_TRANSLATE_FIT_H
