// Putting a translation back: an Atlas script (as msgdump --atlas writes
// it and a translator edits it) inserted into a ROM image with a Thingy
// table, byte for byte as Atlas 1.12 inserts it.  The page, the tests and
// the fuzzer use this one inserter.
//
// It reads what msgdump writes: #VAR, #ADDTBL, #ACTIVETBL, #JMP with one or
// two addresses, #FILL, "//" comments, blanks before any of them, <$XX> and
// ($XX) raw bytes, and text by the longest match in the table.  As Atlas
// does, it writes a bounded block up to its bound and drops the rest; a
// #FILL pads from the end of a block's text to its bound, holds from where
// it stands on, and pads at the next #JMP (so also the block above it);
// hex digits are upper case; a CR before a line's LF is dropped, as Atlas
// on Windows reads a CR LF script.  Any other command, or a table line of
// another kind, is a problem, and then nothing is inserted.
#ifndef ZOL_TRANSLATE_INSERT_H
#define ZOL_TRANSLATE_INSERT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace translate {

struct Insertion {
  // One #JMP's block, with the text after it up to the next #JMP.
  struct Block {
    int line = 0;             // the script line of its first text, or #JMP
    std::uint32_t start = 0;  // where its bytes go
    std::int64_t bound = -1;  // its last byte, or -1 for a #JMP without one
    std::size_t text = 0;     // bytes its text makes
    std::size_t written = 0;  // of those, the ones within the bound
    std::size_t padded = 0;   // bytes of #FILL after them
    int fill = -1;            // the byte they were padded with
  };
  std::vector<Block> blocks;
  struct Problem {
    int line = 0;  // in the script (or the table, with in_table)
    bool in_table = false;
    std::string what;
    int block = -1;  // the block it stopped, if any (an index of blocks)
  };
  // A problem in the script or the table means nothing was inserted; text
  // that the table cannot encode stops the insertion there, as in Atlas
  // (every such line is named).
  std::vector<Problem> problems;
};

// Inserts script into *image with table (Thingy text, UTF-8 HEX=text
// lines).  fill is the #FILL byte in force from the script's start, or -1.
// True when every block went in; *image then holds what Atlas makes of it.
bool InsertScript(const std::string& script, const std::string& table, int fill,
                  std::vector<unsigned char>* image, Insertion* report);

// How a script goes in: fill is the #FILL byte in force from the start,
// or -1; as_atlas asks for exactly what Atlas 1.12 makes of it.
struct InsertOptions {
  int fill = -1;
  bool as_atlas = false;
};

// InsertScript with options (every insertion is Atlas's for now).
inline bool InsertScript(const std::string& script, const std::string& table,
                         const InsertOptions& options,
                         std::vector<unsigned char>* image, Insertion* report) {
  return InsertScript(script, table, options.fill, image, report);
}

}  // namespace translate

#endif  // ZOL_TRANSLATE_INSERT_H
