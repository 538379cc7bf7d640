// English in pairs: choosing what the free glyph codes hold so that a
// translation fits its lines and reads as proportional text.  Each chosen
// code draws one or two half-width characters in its 16 x 16 glyph (tiles.h
// draws them); a translated line is then encoded by the longest match, as
// an Atlas-style inserter reads it with the table PairThingyText writes.
//
// The one-byte codes go first to the single characters the translation
// uses (and the space, so that there is always a blank to pad with), then,
// one at a time, to the pair that saves the most bytes given the pairs
// already taken.  What is left, and then the kanji codes (0xFF n, two
// bytes, so they save nothing), take pairs that leave no single character
// standing before another one in the same text: a single one draws in the
// left half of its glyph and leaves a half-width gap.
#ifndef ZOL_TRANSLATE_PAIRS_H
#define ZOL_TRANSLATE_PAIRS_H

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "atlas.h"
#include "glyph_table.h"
#include "table.h"

namespace translate {

// Codes by the walk's index: c for the one-byte code c, 256 + n for 0xFF n.
using CodeSet = std::bitset<glyph_table::kCodes>;

// The codes that draw a glyph: 0x10 to 0xFE and 0xFF 0x00 to 0xFF 0xFE
// (the control codes, 0xFF alone and 0xFF 0xFF draw none).
CodeSet GlyphCodes();

// One translated line as it stands between its #JMP's bounds: English text
// (printable ASCII) and, between it, bytes that stay as they are (control
// codes and their arguments, the original's glyphs such as 「」).  No pair
// spans two pieces, and none ends in '<' or '(' (an inserter would read it
// into the raw token after it), so each script line's text is a piece of
// its own: an inserter encodes line by line.
struct PairLine {
  struct Piece {
    std::string text;  // the English, or the raw bytes themselves
    bool raw = false;
  };
  int line = 0;              // the script line it stands on
  std::uint32_t offset = 0;  // where its first byte goes
  std::size_t budget = 0;    // the bytes it may take
  std::vector<Piece> pieces;
};

// A place in the translation: the script line, and the offset in the image
// its byte would have (for a line that does not fit, its first byte).
struct PairPlace {
  int line = 0;
  std::uint32_t offset = 0;
  char what = 0;  // the character, where the place is one
};

struct PairChoice {
  // What each chosen code draws (one or two characters), by the walk's
  // index; empty for the codes left as they were.
  std::array<std::string, glyph_table::kCodes> text;
  struct Line {
    std::vector<unsigned char> bytes;  // the line encoded, unpadded
    std::size_t before = 0;            // bytes with one code per character
    std::size_t after = 0;             // bytes.size()
  };
  std::vector<Line> lines;           // one per PairLine, in their order
  std::vector<PairPlace> overflows;  // lines whose bytes exceed their budget
  std::vector<PairPlace> singles;    // a character alone in its glyph with
                                     // more text after it
  std::vector<PairPlace> missing;    // characters that got no code (not
                                     // printable ASCII, or no code was free;
                                     // what is the first byte of one), left
                                     // out of the bytes
  int blank = -1;  // a one-byte code that draws nothing (the space), to pad
                   // shorter lines with; -1 if none was free
};

// Chooses the codes of the free glyph codes (in exists, not in kept, and no
// code the lines' raw bytes use) for lines, and encodes them.  Equal
// savings go to the pair first in ASCII order, so a choice is repeatable.
PairChoice ChoosePairs(const std::vector<PairLine>& lines, const CodeSet& kept,
                       const CodeSet& exists = GlyphCodes());

// The insertion table: original's lines with each chosen code's text
// instead, and without the other glyph codes' lines that start with
// printable ASCII (a longest-match inserter would take them for English).
std::string PairThingyText(const ThingyTable& original,
                           const PairChoice& choice);

// Grid page (0: zol_00.txt, 1: zol_01.txt) of original with each chosen
// cell holding its characters (a single one followed by a NUL byte, which
// prints nothing), so that msgdump prints the English as it is; empty for
// another page.
std::string PairGrid(const decoder::GlyphTable& original,
                     const PairChoice& choice, int page);

// The first cell (0 to 255) of the grid text old, a file that new_grid is
// to replace, that holds something else than new_grid and than an earlier
// choice's letters (printable ASCII, a NUL or nothing): work the
// translator made by hand, as the original's grids; -1 if there is none.
int LostCell(const std::string& old, const std::string& new_grid);

}  // namespace translate

#endif  // ZOL_TRANSLATE_PAIRS_H
