#include "packer.h"

#include <cstring>

namespace glyphpack {

using glyph_table::kGridSide;
using glyph_table::kPageBytes;
using glyph_table::kRowBytes;

SourceName::SourceName(int page) {
  std::snprintf(text, sizeof text, "%s%.2d.txt", "zol_", page);
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

GridReport CheckGrid(const unsigned char* grid, std::size_t size) {
  if (size > kGridBytes) size = kGridBytes;
  GridReport report;
  for (std::size_t r = 0; r < kGridSide; ++r)
    if (r * kLineBytes + kRowBytes <= size) ++report.complete_rows;

  // Walk the real lines.  Shift-JIS never uses 0x0A or 0x0D as a trail
  // byte, so a LF in a grid is always a line end.
  std::size_t pos = 0;
  for (int line = 1; line <= static_cast<int>(kGridSide) && pos < size;
       ++line) {
    const void* lf = std::memchr(grid + pos, '\n', size - pos);
    std::size_t content;
    if (lf == nullptr) {
      // The last line, without a terminator (or cut off where the grid
      // stops mattering).  Only an over-long one shifts anything; a short
      // one shows up as incomplete rows.
      content = size - pos;
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
    if (!crlf && report.bad_ending_line == 0) report.bad_ending_line = line;
    if (content != kRowBytes && report.bad_length_line == 0) {
      report.bad_length_line = line;
      report.bad_length = content;
    }
    pos = lf_at + 1;
  }
  return report;
}

void WarnAboutGrid(const char* program, const char* name,
                   const GridReport& report) {
  if (report.bad_ending_line != 0)
    std::fprintf(stderr,
                 "%s: %s:%d: line does not end in CR LF; rows are read every "
                 "34 bytes, so this page is out of step\n",
                 program, name, report.bad_ending_line);
  if (report.bad_length_line != 0)
    std::fprintf(stderr,
                 "%s: %s:%d: line holds %zu bytes, not 32; rows are read every "
                 "34 bytes, so this page is out of step\n",
                 program, name, report.bad_length_line, report.bad_length);
  if (report.complete_rows < static_cast<int>(kGridSide))
    std::fprintf(stderr,
                 "%s: %s: only %d of 16 rows are complete; the rest are left "
                 "empty\n",
                 program, name, report.complete_rows);
}

}  // namespace glyphpack
