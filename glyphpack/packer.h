// The table builder's core: turns one hand-edited grid into one page of the
// glyph table, and says when a grid's layout will put the page out of step.
//
// A grid is 16 lines, each 32 bytes of Shift-JIS (16 two-byte characters)
// followed by CR LF.  The packer does not look for line ends: row r is always
// the 32 bytes at offset 34r.  That fixed stride is the format, so a grid saved
// with LF-only line ends is read out of step; CheckGrid finds such grids so
// the user can be told.
#ifndef ZOL_GLYPHPACK_PACKER_H
#define ZOL_GLYPHPACK_PACKER_H

#include <cstddef>
#include <cstdio>

#include "glyph_table.h"

namespace glyphpack {

inline constexpr std::size_t kLineBytes = glyph_table::kRowBytes + 2;  // 34
// All of a grid that a page is made from; anything after it is ignored.
inline constexpr std::size_t kGridBytes = glyph_table::kGridSide * kLineBytes;

// The grid file of page p: "zol_00.txt", "zol_01.txt".
struct SourceName {
  explicit SourceName(int page);
  char text[256];
};

// Packs a grid's bytes into one 512-byte page: row r is the 32 bytes at
// offset 34r.  What a short grid cannot supply is zero-filled, so every page
// is exactly 512 bytes and reruns are byte-identical.
void PackPage(const unsigned char* grid, std::size_t size,
              unsigned char page[glyph_table::kPageBytes]);

// What is wrong with a grid's layout; all zero for a well-formed grid.
struct GridReport {
  int complete_rows = 0;    // rows the fixed stride finds whole (16 is right)
  int bad_ending_line = 0;  // first line not ending in CR LF (1-based), or 0
  int bad_length_line = 0;  // first line not holding 32 bytes (1-based), or 0
  std::size_t bad_length = 0;  // how many bytes that line holds
};

// Checks the first 16 lines of a grid (its first kGridBytes bytes suffice).
GridReport CheckGrid(const unsigned char* grid, std::size_t size);

// Prints one warning per kind of problem in report on standard error, as
// "program: name:line: ...".
void WarnAboutGrid(const char* program, const char* name,
                   const GridReport& report);

}  // namespace glyphpack

#endif  // ZOL_GLYPHPACK_PACKER_H
