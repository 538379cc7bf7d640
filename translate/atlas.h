// The formats translation tools read: the glyph table as a Thingy table
// (one "HEX=text" line per code, UTF-8), and the text window as a script
// for Atlas-style inserters, in which every code is a distinct token and
// every byte can be given back.
//
// An inserter reads the script with the table: it takes the longest table
// text that matches, reads <$XX> as the raw byte XX, ignores line breaks and
// "//" comment lines, and runs "#" lines as commands (insert.h is one, as
// Atlas 1.12 reads these scripts).  So that this gives
// back every byte the walk took, whatever the table holds, a table entry
// has no line when its text is empty, not CP932, holds a line break, is
// another lower code's text already, or is a proper prefix of another
// line's text or of a raw token (<$XX>, ($XX)); such codes are written as
// raw bytes in the script.
#ifndef ZOL_TRANSLATE_ATLAS_H
#define ZOL_TRANSLATE_ATLAS_H

#include <cstddef>
#include <string>
#include <vector>

#include "table.h"
#include "walk.h"
#include "window.h"

namespace translate {

using decoder::GlyphTable;
using decoder::Window;

// The raw tokens Atlas reads as one byte each: first <$XX> for every byte
// XX (the form scripts are written with, at index XX), then ($XX), then
// the lower-case forms Atlas also takes: <$1b> where the last digit is a
// letter, and ($0a) where it is a.
struct RawToken {
  std::string text;
  unsigned char byte;
};
const std::vector<RawToken>& RawTokens();

// The text of every code in the Thingy table, by the walk's index (c, or
// 256 + n for 0xFF n); empty where the code has no line.  The control codes
// are the tokens <00> to <0F>, 0xFF 0xFF is <FFFF>.
struct ThingyTable {
  std::string text[512];
};
ThingyTable MakeThingy(const GlyphTable& table);

// The table's lines in code order: 00=<00> ... FE=..., FF00=... FFFF=<FFFF>.
std::string ThingyText(const ThingyTable& thingy);

// The window as an Atlas script in the translator's layout: a header that
// says how to translate and names the table (zolvane.tbl), then one block
// per script line (a line ends at a line-break code: 0x00, 0x01, 0x02,
// 0x0B), its break in a block of its own right after it, so that #FILL
// pads between a line's text and its break:
//   //$2EF80C                     its offset
//   //<03><07>「ここだ。」<0A>       the original, as a comment
//   #JMP($2EF80C, $2EF816)        its first and last byte
//   <03><07>「ここだ。」<0A>         the copy to translate
//   #JMP($2EF817, $2EF817)        the break's bytes
//   <02>                          the break, with those of the empty lines
//                                 after it
// Empty lines with no line of text before them are a block as a line is.
// A run of one byte value at the end of what the walk took, 16 bytes or
// more (a window's padding), is one block of #JMP and #FILL.  No line
// starts the way Atlas reads a command or a comment ('#' or "//", after
// blanks or not) or is blank only: a glyph that would start it so is
// written raw.  An empty walk gives no #JMP, only a comment.
std::string AtlasScript(const ThingyTable& thingy, const Window& w);

}  // namespace translate

#endif  // ZOL_TRANSLATE_ATLAS_H
