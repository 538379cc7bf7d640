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

}  // namespace grids

#endif  // ZOL_GRIDS_PACKER_H
