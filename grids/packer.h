// The table builder's core: turns one hand-edited grid into one page of the
// glyph table, and finds what in a grid's layout will make the page come
// out wrong.  glyphpack words the findings in warnings.cpp, the page in
// its own words.
//
// A grid is 16 lines, each 32 bytes of Shift-JIS (16 two-byte characters)
// followed by CR LF.  The packer does not look for line ends: row r is always
// the 32 bytes at offset 34r.  That fixed stride is the format, so a grid saved
// with LF-only line ends is read out of step; CheckGrid finds such grids so
// the user can be told.
//
// This header is the whole grids library, and where to start reading it.
// Like every library, it says nothing: glyphpack and the page word its
// findings.
#ifndef ZOL_GRIDS_PACKER_H
#define ZOL_GRIDS_PACKER_H

#include <cstddef>
#include <string>
#include <vector>

#include "glyph_table.h"

namespace grids {

inline constexpr std::size_t kLineBytes = glyph_table::kRowBytes + 2;  // 34
// All of a grid that a page is made from; anything after it is ignored.
inline constexpr std::size_t kGridBytes = glyph_table::kGridSide * kLineBytes;

// The grid file of page p: "zol_00.txt", "zol_01.txt".
std::string GridName(int page);

// Packs a grid's bytes into one 512-byte page: row r is the 32 bytes at
// offset 34r.  What a short grid cannot supply is zero-filled, so every page
// is exactly 512 bytes and reruns are byte-identical.
void PackPage(const unsigned char* grid, std::size_t size,
              unsigned char page[glyph_table::kPageBytes]);

// The grid that packs to page: 16 lines of its 32-byte rows, each ending in
// CR LF.  A blank grid is one of full-width spaces (81 40).
std::string GridOfPage(const unsigned char page[glyph_table::kPageBytes]);
std::string BlankGrid();

// The grid with every LF that has no CR before it given one.
std::string FixLineEnds(const unsigned char* grid, std::size_t size);

// A cell that holds neither one double-byte Shift-JIS character nor two
// single-byte ones: split across two characters, or not Shift-JIS at all.
struct SplitCell {
  int line = 0;    // 1-based grid line
  int column = 0;  // 1-based cell within the line
  unsigned char bytes[2] = {0, 0};
};

// What is wrong with a grid; all zero or empty for a well-formed grid.
struct GridReport {
  int complete_rows = 0;    // rows the fixed stride finds whole (16 is right)
  int bad_ending_line = 0;  // first line not ending in CR LF (1-based), or 0
  int bad_length_line = 0;  // first line not holding 32 bytes (1-based), or 0
  std::size_t bad_length = 0;  // how many bytes that line holds
  int line_end_column = 0;     // a last line so short that its line end is
                               // read as this cell (1-based), or 0
  bool utf8 = false;           // the grid looks like UTF-8, not Shift-JIS
  bool utf8_bom = false;       // ... and starts with a byte order mark
  std::vector<SplitCell> split_cells;  // the first per line
};

// Checks the first 16 lines of the grid of page (0 or 1), given as much of
// the file as it takes to measure them (kCheckBytes at most).  Cells no code
// reaches (the control codes' row of page 0, the last two cells of page 1)
// are not checked, and neither are the lines from the first one whose layout
// is off (the layout warning already explains what follows it).  The last
// line's terminator is never read, so it is not checked either.
GridReport CheckGrid(const unsigned char* grid, std::size_t size, int page);
inline constexpr std::size_t kCheckBytes = std::size_t{1} << 20;

// One thing to tell a user about a grid, in the order glyphpack and the page
// tell them.
enum class FindingKind {
  kLineEnd,       // a line ends in LF alone
  kUtf8,          // the grid is UTF-8, not Shift-JIS
  kUtf8LineEnd,   // ... and a line ends in LF alone (to fix after that)
  kLineEndCell,   // the short last line's line end is read as column
  kLastLineLong,  // the last line holds more than 32 bytes: only 32 read
  kLineLength,    // a line holds `count` bytes, not 32
  kSplitCell,     // column holds `bytes`, not one character
  kIncomplete,    // only `count` of the 16 rows are whole
};
// What fixes a finding, where a fix can be worked out.
enum class FindingFix { kNone, kLineEnds, kShiftJis };
struct Finding {
  FindingKind kind = FindingKind::kLineEnd;
  int line = 0;    // 1-based grid line, or 0 for the whole grid
  int column = 0;  // 1-based cell of the line, or 0
  FindingFix fix = FindingFix::kNone;
  std::size_t count = 0;            // the line's bytes, or the whole rows
  unsigned char bytes[2] = {0, 0};  // a split cell's
  bool bom = false;                 // a UTF-8 grid starts with a BOM
  int first_entry = 0;              // the table entries it puts out of step:
  int entries = 0;                  // that many from first_entry
};

// The report of the grid of page as findings, in order.
std::vector<Finding> FindingsOf(const GridReport& report, int page);

// The grid of a table's page (a short table zero-filled): packs back to it.
std::string GridOfTable(const unsigned char* table, std::size_t size, int page);

// The grid with the cell of table entry `entry` (on its page) holding
// bytes.  A grid too short to hold every row is first made whole from the
// page it packs to, its own bytes kept; an empty one starts blank.
std::string WithCell(const unsigned char* grid, std::size_t size,
                     std::size_t entry, const unsigned char bytes[2]);

// A grid saved as UTF-8 (a BOM dropped), in Shift-JIS: every character
// with no Shift-JIS code becomes ？ and is listed once in lost.
struct Converted {
  std::string bytes;
  std::string lost;  // UTF-8
};
Converted GridFromUtf8(const std::string& text);

// The sizes a file can have to be a grid: Shift-JIS with LF line ends and
// no last one, up to UTF-8 with a BOM and half as much again.
inline constexpr std::size_t kLeastGridBytes =
    glyph_table::kGridSide * glyph_table::kRowBytes + glyph_table::kGridSide -
    1;  // 527
inline constexpr std::size_t kMostGridBytes =
    glyph_table::kGridSide * (glyph_table::kGridSide * 3 + 2) * 3 / 2;  // 1200

}  // namespace grids

#endif  // ZOL_GRIDS_PACKER_H
