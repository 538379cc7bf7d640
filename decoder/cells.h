// What each cell of a glyph table holds, as a translator needs to know it:
// the text the script shows for it and whether that text tells its code
// apart.  The page draws and words these; the glyphs to fill are made
// from them.
#ifndef ZOL_DECODER_CELLS_H
#define ZOL_DECODER_CELLS_H

#include <array>
#include <string>

#include "glyph_table.h"
#include "table.h"

namespace decoder {

struct Cell {
  int code = -1;     // the code index that shows it, or -1 (CodeOfEntry)
  std::string name;  // that code as a translator writes it ("0x41",
                     // "0xFF 0x41"); for a control code's cell, that code's;
                     // empty for the two cells past the kanji
  bool control = false;      // it stands behind a control code (0 to 15)
  int page = 0;              // where it is: its grid,
  int line = 0;              // its 1-based line there,
  int column = 0;            // and its 1-based cell in that line
  std::string text;          // as the UTF-8 script shows it (U+FFFD if bad)
  bool unreachable = false;  // no code shows it (0 to 15, 510, 511)
  bool empty = false;        // it shows nothing: its first byte is 0
  bool blank = false;        // it shows only spaces (U+3000 or ASCII)
  bool not_cp932 = false;    // its bytes are no CP932 text
  int same_as = -1;          // the first other reachable entry showing the same
                             // text, or -1 (never for empty or blank cells)
};
using Cells = std::array<Cell, glyph_table::kEntries>;

// Every entry of table, by entry.
Cells CellsOf(const GlyphTable& table);

// Why a translator must still draw a cell's glyph: its code shows nothing
// that tells it apart.
enum class FillReason {
  kNone,          // the cell tells its code apart
  kEmpty,         // it shows nothing
  kBlank,         // it shows only spaces
  kNotShiftJis,   // its bytes are no CP932 text
  kSameAsAnother  // its text is another reachable cell's (Cell::same_as)
};
FillReason ReasonToFill(const Cell& cell);

}  // namespace decoder

#endif  // ZOL_DECODER_CELLS_H
