// libFuzzer target: the grid packer with arbitrary grid bytes.
//
// What must always hold:
//   - each page is exactly 512 bytes: row r is the grid's bytes at 34r, and
//     whatever the grid cannot supply is zero, never leftovers;
//   - the layout check never reports more rows than there are, and its
//     findings mark only cells of the grid's own page;
//   - a cell edited in any grid packs to the grid's page with that one
//     cell changed;
//   - the input's first 512 bytes, laid out as a well-formed CR LF grid,
//     pack back cell for cell, and the check finds nothing wrong with them
//     (unless a cell holds a LF byte, which no Shift-JIS character does).
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "packer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using glyph_table::kPageBytes;
  using glyph_table::kRowBytes;
  using grids::kLineBytes;

  unsigned char page[kPageBytes + 1];
  page[kPageBytes] = 0xA5;  // a guard byte just past the page
  grids::PackPage(data, size, page);
  Check(page[kPageBytes] == 0xA5, "page stays 512 bytes");
  for (std::size_t r = 0; r < 16; ++r) {
    for (std::size_t j = 0; j < kRowBytes; ++j) {
      const std::size_t at = r * kLineBytes + j;
      Check(page[r * kRowBytes + j] == (at < size ? data[at] : 0),
            "row r is the 32 bytes at 34r, zero where the grid ends");
    }
  }
  const grids::GridReport any =
      grids::CheckGrid(data, size, static_cast<int>(size % 2));
  Check(any.complete_rows >= 0 && any.complete_rows <= 16, "row count");
  const int own = static_cast<int>(size % 2);
  constexpr int kCells = static_cast<int>(glyph_table::kPageEntries);
  for (const grids::Finding& f : grids::FindingsOf(any, own))
    Check(f.entries == 0 || (f.first_entry / kCells == own &&
                             (f.first_entry + f.entries - 1) / kCells == own),
          "findings mark the grid's own cells");
  {
    unsigned char before[kPageBytes];
    grids::PackPage(data, size, before);
    const std::size_t entry = size > 0 ? data[0] : 0;
    const unsigned char cell[2] = {0xEA, 0xA4};
    const std::string edited = grids::WithCell(data, size, entry, cell);
    unsigned char after[kPageBytes];
    grids::PackPage(reinterpret_cast<const unsigned char*>(edited.data()),
                    edited.size(), after);
    if (size > 0) std::memcpy(before + 2 * entry, cell, 2);
    Check(size == 0 || std::memcmp(before, after, kPageBytes) == 0,
          "an edited cell changes only that cell of the page");
  }

  // The same bytes as cells of a well-formed grid.
  std::string cells(reinterpret_cast<const char*>(data),
                    size < kPageBytes ? size : kPageBytes);
  cells.resize(kPageBytes, '\x81');
  std::string grid;
  for (std::size_t r = 0; r < 16; ++r)
    grid += cells.substr(r * kRowBytes, kRowBytes) + "\r\n";
  const auto* g = reinterpret_cast<const unsigned char*>(grid.data());
  grids::PackPage(g, grid.size(), page);
  Check(std::memcmp(page, cells.data(), kPageBytes) == 0,
        "CR LF grid round-trips");
  const grids::GridReport well = grids::CheckGrid(g, grid.size(), 0);
  Check(well.complete_rows == 16, "well-formed grid is complete");
  if (cells.find('\n') == std::string::npos)
    Check(well.bad_ending_line == 0 && well.bad_length_line == 0,
          "well-formed grid draws no warning");
  return 0;
}
