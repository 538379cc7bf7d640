// Putting a translation back: an Atlas script (as msgdump --atlas writes
// it and a translator edits it) inserted into a ROM image with a Thingy
// table.  msginsert, the page, the tests and the fuzzer use this one
// inserter.
//
// It reads what msgdump writes: #VAR, #ADDTBL, #ACTIVETBL, #JMP with one or
// two addresses, #FILL, "//" comments, blanks before any of them, <$XX> and
// ($XX) raw bytes, and text by the longest match in the table.  The bytes
// are Atlas 1.12's: a bounded block takes its text up to its bound; a
// #FILL pads from the end of a block's text to its bound, holds from where
// it stands on, and pads at the next #JMP (so also the block above it);
// hex digits are upper case; a CR before a line's LF is dropped, as Atlas
// on Windows reads a CR LF script.
//
// Every number is checked before anything is written, and the image never
// changes size.  By default each line must stay a line: a block whose text
// is cut, that leaves some of the original behind, that loses its text or
// its closing break, that lies outside the text window or overlaps another
// is a problem, and nothing is written.  With as_atlas those are warnings
// and the insertion goes on as Atlas's would.
#ifndef ZOL_TRANSLATE_INSERT_H
#define ZOL_TRANSLATE_INSERT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pairs.h"

namespace translate {

struct InsertOptions {
  int fill = -1;          // the #FILL byte in force from the start, or -1
  bool as_atlas = false;  // the layout checks only warn, as Atlas does not
};

struct Insertion {
  // One #JMP's block, with the text after it up to the next #JMP.
  struct Block {
    int line = 0;              // the script line of its first text, or #JMP
    std::uint32_t start = 0;   // where its bytes go
    std::int64_t bound = -1;   // its last byte, or -1 for a #JMP without one
    std::uint64_t budget = 0;  // its bytes, first to bound (0 with no bound)
    std::size_t text = 0;      // bytes its text makes
    std::size_t written = 0;   // of those, the ones within the bound
    std::size_t padded = 0;    // bytes of #FILL after them
    int fill = -1;             // the byte they were padded with
    std::size_t left = 0;      // bytes of the original left after them
  };
  std::vector<Block> blocks;

  enum class Kind {
    kCut,             // text longer than its block: the rest is dropped
    kShorterLeft,     // shorter, no fill: the original's last bytes stay
    kNoText,          // a line left with no text
    kLostBreak,       // a line that no longer ends with its original break
    kOutsideWindow,   // a block outside the text window
    kOverlap,         // a block over another one's bytes
    kNotEncodable,    // text the table has no line for
    kLowerCaseToken,  // a token written in lower case (<0a>, <$d1>)
    kNotUtf8,         // the script or the table is not UTF-8
    kLineEnds,        // a CR that ends no line (CR-only line ends)
    kBadNumber,       // above 32 bits, or a #FILL byte above $FF
    kOutsideImage,    // a #JMP, bound or text past the image's end
    kFillBeyond,      // a #FILL count past its block's bound
    kNoBlock,         // no #JMP at all, or text before the first
    kSyntax,          // a command or table line this inserter does not take
  };
  struct Problem {
    int line = 0;  // in the script (or the table, with in_table)
    bool in_table = false;
    std::string what;
    int block = -1;        // the block it is about, if any (an index of blocks)
    bool warning = false;  // said, but it did not stop the insertion
    std::uint64_t offset = 0;  // that block's first byte
    std::uint64_t budget = 0;  // and its bytes (0 where it has no bound)
    Kind kind = Kind::kSyntax;
    std::uint64_t image_size = 0;  // with kOutsideImage: the image's size
  };
  // The script's first #FILL($XX), which wins over the fill given at the
  // start: its line (0 if none) and byte.
  int fill_line = 0;
  int fill = -1;

  // A problem that is no warning means nothing was inserted.  Every
  // problem is named, each with its own block, in the order found: the
  // table's, then the script's.
  std::vector<Problem> problems;
};

// Inserts script into *image with table (Thingy text, UTF-8 HEX=text
// lines).  True when it went in, with warnings only; *image then holds
// what Atlas makes of it, at its own size.  False leaves *image as it was.
bool InsertScript(const std::string& script, const std::string& table,
                  const InsertOptions& options,
                  std::vector<unsigned char>* image, Insertion* report);

// The problems of table as a file, before its lines are read: not UTF-8,
// or a CR that ends no line (as warnings with as_atlas), as InsertScript
// names them.
std::vector<Insertion::Problem> TableFileProblems(const std::string& table,
                                                  bool as_atlas);

// The table's HEX=text lines by code (the walk's index: one byte, or 0xFF
// and one), the first line of a code winning; other lines are skipped.
ThingyTable ReadThingy(const std::string& table);

// Every bounded block of script that has text, read as InsertScript reads
// it, as a line for ChoosePairs: the text of each script line split into
// English (what no table line nor raw token reads) and raw bytes (raw
// tokens, and table texts that are no glyph code's starting with printable
// ASCII: control tokens and the original's characters).  With fills, also
// the bytes the script's #FILL commands pad with, which must stay blank.
std::vector<PairLine> PairLinesOf(const std::string& script,
                                  const ThingyTable& table,
                                  CodeSet* fills = nullptr);

// The glyph codes the text window of image uses outside lines' bytes: the
// codes of the lines no block of the script replaces.
CodeSet CodesOutside(const std::vector<unsigned char>& image,
                     const std::vector<PairLine>& lines);

}  // namespace translate

#endif  // ZOL_TRANSLATE_INSERT_H
