// Grids to pages, and what is wrong with a grid.
#include "packer.h"

#include <cstring>

#include "cp932.h"
#include "utf8.h"

namespace grids {

using glyph_table::kGridSide;
using glyph_table::kPageBytes;
using glyph_table::kRowBytes;

std::string GridName(int page) { return glyph_table::kGridNames[page]; }

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

std::vector<Finding> FindingsOf(const GridReport& r, int page) {
  std::vector<Finding> out;
  // A finding at line (1-based); out_of_step marks that line's row.
  auto add = [&](FindingKind kind, int line, bool out_of_step) -> Finding& {
    Finding f;
    f.kind = kind;
    f.line = line;
    if (out_of_step) {
      f.first_entry = static_cast<int>(glyph_table::EntryAt(page, line - 1, 0));
      f.entries = static_cast<int>(kGridSide);
    }
    out.push_back(f);
    return out.back();
  };
  if (r.bad_ending_line != 0 && !r.utf8)
    add(FindingKind::kLineEnd, r.bad_ending_line, true).fix =
        FindingFix::kLineEnds;
  if (r.utf8) {
    Finding& f = add(FindingKind::kUtf8, 0, false);
    f.fix = FindingFix::kShiftJis;
    f.bom = r.utf8_bom;
    if (r.bad_ending_line != 0)
      add(FindingKind::kUtf8LineEnd, r.bad_ending_line, false);
  } else if (r.line_end_column != 0) {
    Finding& f = add(FindingKind::kLineEndCell, r.bad_length_line, true);
    f.column = r.line_end_column;
    f.count = r.bad_length;
  } else if (r.bad_length_line == static_cast<int>(kGridSide) &&
             r.bad_length > kRowBytes) {
    // Nothing is read after the last row: its extra bytes shift nothing.
    add(FindingKind::kLastLineLong, r.bad_length_line, false).count =
        r.bad_length;
  } else if (r.bad_length_line != 0) {
    add(FindingKind::kLineLength, r.bad_length_line, true).count = r.bad_length;
  }
  if (!r.utf8)
    for (const SplitCell& s : r.split_cells) {
      Finding& f = add(FindingKind::kSplitCell, s.line, false);
      f.column = s.column;
      f.bytes[0] = s.bytes[0];
      f.bytes[1] = s.bytes[1];
      f.first_entry = static_cast<int>(
          glyph_table::EntryAt(page, s.line - 1, s.column - 1));
      f.entries = 1;
    }
  if (r.complete_rows < static_cast<int>(kGridSide))
    add(FindingKind::kIncomplete, 0, false).count =
        static_cast<std::size_t>(r.complete_rows);
  return out;
}

std::string GridOfTable(const unsigned char* table, std::size_t size,
                        int page) {
  unsigned char bytes[kPageBytes] = {};
  const std::size_t at = static_cast<std::size_t>(page) * kPageBytes;
  if (size > at)
    std::memcpy(bytes, table + at,
                size - at < kPageBytes ? size - at : kPageBytes);
  return GridOfPage(bytes);
}

std::string WithCell(const unsigned char* grid, std::size_t size,
                     std::size_t entry, const unsigned char bytes[2]) {
  std::string whole;
  if (size == 0) {
    whole = BlankGrid();
  } else if (size >= kGridBytes - 2) {  // every row's cells, kept as they are
    whole.assign(reinterpret_cast<const char*>(grid), size);
  } else {
    unsigned char packed[kPageBytes];
    PackPage(grid, size, packed);
    whole = GridOfPage(packed);
    whole.replace(0, size, reinterpret_cast<const char*>(grid), size);
  }
  const std::size_t cell = entry % glyph_table::kPageEntries;
  const std::size_t at = cell / kGridSide * kLineBytes + cell % kGridSide * 2;
  whole[at] = static_cast<char>(bytes[0]);
  whole[at + 1] = static_cast<char>(bytes[1]);
  return whole;
}

Converted GridFromUtf8(const std::string& text) {
  Converted out;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < text.size()) {
    const std::size_t from = at;
    utf8::Next(p, text.size(), &at);
    const std::string c = text.substr(from, at - from);
    std::string b;
    char32_t bad = 0;
    std::vector<cp932::Substitution> subs;
    if (c == "\r" || c == "\n") {
      out.bytes += c;
    } else if (cp932::FromUtf8(c, &b, &bad, &subs)) {
      out.bytes += b;
    } else {
      out.bytes += "\x81\x48";  // ？
      if (out.lost.find(c) == std::string::npos) out.lost += c;
    }
  }
  return out;
}

}  // namespace grids
