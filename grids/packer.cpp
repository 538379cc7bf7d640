// Grids to pages, and what is wrong with a grid.
#include "packer.h"

#include <cstdio>
#include <cstring>

#include "utf8.h"

namespace grids {

using glyph_table::kGridSide;
using glyph_table::kPageBytes;
using glyph_table::kRowBytes;

std::string GridName(int page) {
  char name[16];
  std::snprintf(name, sizeof name, "zol_%.2d.txt", page);
  return name;
}

void PackPage(const unsigned char* grid, std::size_t size,
              unsigned char page[kPageBytes]) {
  std::memset(page, 0, kPageBytes);
  for (std::size_t r = 0; r < kGridSide; ++r) {
    const std::size_t at = r * kLineBytes;
    if (at >= size) break;
    const std::size_t n = size - at < kRowBytes ? size - at : kRowBytes;
    std::memcpy(page + r * kRowBytes, grid + at, n);
  }
}

std::string GridOfPage(const unsigned char page[kPageBytes]) {
  std::string grid;
  for (std::size_t r = 0; r < kGridSide; ++r)
    grid.append(reinterpret_cast<const char*>(page) + r * kRowBytes, kRowBytes)
        .append("\r\n");
  return grid;
}

std::string BlankGrid() {
  unsigned char page[kPageBytes];
  for (std::size_t i = 0; i < kPageBytes; i += 2) {
    page[i] = 0x81;  // U+3000, the full-width space
    page[i + 1] = 0x40;
  }
  return GridOfPage(page);
}

std::string FixLineEnds(const unsigned char* grid, std::size_t size) {
  std::string fixed;
  for (std::size_t i = 0; i < size; ++i) {
    if (grid[i] == '\n' && (i == 0 || grid[i - 1] != '\r')) fixed += '\r';
    fixed += static_cast<char>(grid[i]);
  }
  return fixed;
}

namespace {

bool In(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// One Shift-JIS character of two bytes.
bool DoubleByte(unsigned lead, unsigned trail) {
  return (In(lead, 0x81, 0x9F) || In(lead, 0xE0, 0xFC)) &&
         (In(trail, 0x40, 0x7E) || In(trail, 0x80, 0xFC));
}

// A single-byte character: printable ASCII or half-width katakana.
bool SingleByte(unsigned b) { return In(b, 0x20, 0x7E) || In(b, 0xA1, 0xDF); }

// One double-byte character, two single-byte ones, or one single-byte one
// alone (then a NUL, which the table prints as nothing).
bool WholeCell(const unsigned char* cell) {
  return DoubleByte(cell[0], cell[1]) ||
         (SingleByte(cell[0]) && (SingleByte(cell[1]) || cell[1] == 0));
}

// Whether a cell of page can be reached by any text code.
bool Reachable(int page, std::size_t row, std::size_t col) {
  const std::size_t entry = glyph_table::EntryAt(page, row, col);
  return entry >= glyph_table::kGridSide &&  // codes 0x00..0x0F: control
         entry < glyph_table::KanjiEntry(0xFE) + 1;  // 510, 511: never
}

// Well-formed UTF-8 with at least one character of several bytes; one cut
// off by the end of the data counts as well-formed.
bool Utf8WithMultiByte(const unsigned char* p, std::size_t size) {
  bool multi = false;
  for (std::size_t i = 0; i < size;) {
    const char32_t u = utf8::Next(p, size, &i);
    if (u == utf8::kBad) return false;
    multi = multi || u >= 0x80;
  }
  return multi;
}

}  // namespace

GridReport CheckGrid(const unsigned char* grid, std::size_t size, int page) {
  // Lines are measured in all of it, the rest in what the packer reads.
  const std::size_t all = size;
  if (size > kGridBytes) size = kGridBytes;
  GridReport report;
  for (std::size_t r = 0; r < kGridSide; ++r)
    if (r * kLineBytes + kRowBytes <= size) ++report.complete_rows;

  // Walk the real lines.  Shift-JIS never uses 0x0A or 0x0D as a trail
  // byte, so a LF in a grid is always a line end.
  std::size_t pos = 0;
  for (int line = 1; line <= static_cast<int>(kGridSide) && pos < all; ++line) {
    const void* lf = std::memchr(grid + pos, '\n', all - pos);
    std::size_t content;
    if (lf == nullptr) {
      // The last line, without a terminator (or cut off where the grid
      // stops mattering).  Only an over-long one shifts anything; a short
      // one shows up as incomplete rows.
      content = all - pos;
      if (content > kRowBytes && report.bad_length_line == 0) {
        report.bad_length_line = line;
        report.bad_length = content;
      }
      break;
    }
    const auto lf_at =
        static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - grid);
    const bool crlf = lf_at > pos && grid[lf_at - 1] == '\r';
    content = lf_at - pos - (crlf ? 1 : 0);
    // The last row's line end is never read: it cannot shift anything.
    if (!crlf && report.bad_ending_line == 0 &&
        line < static_cast<int>(kGridSide))
      report.bad_ending_line = line;
    if (content != kRowBytes && report.bad_length_line == 0) {
      report.bad_length_line = line;
      report.bad_length = content;
    }
    pos = lf_at + 1;
  }

  // A last line so short that its line end is read as its last cells.
  if (report.bad_length_line == static_cast<int>(kGridSide) &&
      report.bad_length < kRowBytes)
    report.line_end_column = static_cast<int>(report.bad_length / 2) + 1;

  // The cells, where the packer takes them: row r at offset 34r.
  int in_step = static_cast<int>(kGridSide);  // lines laid out right
  for (const int bad : {report.bad_ending_line, report.bad_length_line})
    if (bad != 0 && bad - 1 < in_step) in_step = bad - 1;
  for (std::size_t r = 0; r < static_cast<std::size_t>(in_step) &&
                          r * kLineBytes + kRowBytes <= size;
       ++r) {
    for (std::size_t k = 0; k < kGridSide; ++k) {
      const unsigned char* cell = grid + r * kLineBytes + k * 2;
      if (!Reachable(page, r, k) || WholeCell(cell)) continue;
      SplitCell split;
      split.line = static_cast<int>(r) + 1;
      split.column = static_cast<int>(k) + 1;
      split.bytes[0] = cell[0];
      split.bytes[1] = cell[1];
      report.split_cells.push_back(split);
      break;  // the first per line
    }
  }

  // Editors on Linux and macOS save UTF-8: kana take three bytes there, so
  // every line is too long or every cell split.  Name that, once.
  report.utf8_bom =
      size >= 3 && grid[0] == 0xEF && grid[1] == 0xBB && grid[2] == 0xBF;
  report.utf8 = report.utf8_bom ||
                (Utf8WithMultiByte(grid, size) &&
                 (report.bad_length_line != 0 || !report.split_cells.empty()));
  return report;
}

}  // namespace grids
