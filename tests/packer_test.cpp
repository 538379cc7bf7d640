// The grid packer on grids in memory: exact rows, the fixed 34-byte stride
// and the shift it causes, extra lines, short grids, and the layout checks.
#include "packer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using glyph_table::kPageBytes;
using grids::CheckGrid;
using grids::GridReport;
using grids::PackPage;

// Cell k of line r: two bytes that name the line and the column.
std::string Cell(int r, int k) {
  return {static_cast<char>(0x88 + r), static_cast<char>(0x40 + k)};
}
std::string Line(int r) {
  std::string s;
  for (int k = 0; k < 16; ++k) s += Cell(r, k);
  return s;
}
std::string Grid(int lines, const std::string& eol) {
  std::string g;
  for (int r = 0; r < lines; ++r) g += Line(r) + eol;
  return g;
}

std::string Pack(const std::string& grid) {
  unsigned char page[kPageBytes];
  PackPage(reinterpret_cast<const unsigned char*>(grid.data()), grid.size(),
           page);
  return std::string(reinterpret_cast<const char*>(page), kPageBytes);
}

std::string Rows(int from, int to) {  // lines from..to-1, no terminators
  std::string s;
  for (int r = from; r < to; ++r) s += Line(r);
  return s;
}

TEST(PackPageTest, GridsToExactBytes) {
  const std::string crlf = Grid(16, "\r\n");
  std::string lf_shifted;  // row r starts r bytes into line r
  const std::string lf = Grid(16, "\n");
  for (int r = 0; r < 16; ++r) {
    std::string row = lf.substr(std::min<std::size_t>(34 * r, lf.size()), 32);
    row.resize(32, '\0');
    lf_shifted += row;
  }
  struct Case {
    const char* name;
    std::string grid, page;
  };
  const std::vector<Case> cases = {
      {"CR LF grid", crlf, Rows(0, 16)},
      {"extra lines ignored", Grid(20, "\r\n") + "trailing junk", Rows(0, 16)},
      {"no final line end", crlf.substr(0, crlf.size() - 2), Rows(0, 16)},
      {"LF-only grid read at 34-byte steps", lf, lf_shifted},
      {"short grid zero-filled", Grid(7, "\r\n"),
       Rows(0, 7) + std::string(9 * 32, '\0')},
      {"partial row zero-filled", Grid(2, "\r\n") + Line(2).substr(0, 5),
       Rows(0, 2) + Line(2).substr(0, 5) + std::string(27 + 13 * 32, '\0')},
      {"empty grid", "", std::string(512, '\0')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pack(c.grid), c.page) << c.name;
  }
  // The LF-only shift as a translator meets it: row 1 starts one byte into
  // the grid's second line, so its lead and trail bytes trade places.
  EXPECT_EQ(Pack(lf).substr(32, 2), Line(1).substr(1, 2));
  // And back: the grid of a page is one that packs to it.
  const std::string page = Rows(0, 16);
  EXPECT_EQ(
      grids::GridOfPage(reinterpret_cast<const unsigned char*>(page.data())),
      crlf);
}

// Grid with the two bytes of line r, column k (0-based) replaced.
std::string WithCell(std::string grid, int r, int k, const std::string& cell) {
  grid.replace(34 * r + 2 * k, 2, cell);
  return grid;
}

TEST(CheckGridTest, FindsWhatPutsAPageOutOfStepOrSplitsACell) {
  std::string long_line = Grid(16, "\r\n");
  long_line.insert(34 * 2 + 32, "xy");  // line 3 holds 34 bytes
  std::string bare_lf = Grid(16, "\r\n");
  bare_lf.erase(34 * 4 + 32, 1);  // line 5 ends in LF only
  const std::string crlf = Grid(16, "\r\n");
  std::string balanced = crlf;  // line 4: "A", 15 characters, "B"
  balanced.replace(34 * 3, 32, "A" + Line(3).substr(0, 30) + "B");
  std::string utf8;  // 16 x "ア" a line, as a UTF-8 editor saves it
  for (int r = 0; r < 16; ++r) {
    for (int k = 0; k < 16; ++k) utf8 += "\xE3\x82\xA2";
    utf8 += "\r\n";
  }
  struct Case {
    const char* name;
    std::string grid;
    int rows, bad_ending, bad_length;
    int page = 0, split_line = 0, split_column = 0;
    bool utf8 = false;
    int line_end_column = 0;
  };
  std::string short_last = crlf;  // line 16: 30 bytes, then CR LF
  short_last.erase(34 * 15 + 30, 2);
  const std::vector<Case> cases = {
      {"well formed", crlf, 16, 0, 0},
      {"well formed, more lines", Grid(30, "\r\n"), 16, 0, 0},
      {"well formed, no final line end", crlf.substr(0, 542), 16, 0, 0},
      {"LF-only", Grid(16, "\n"), 15, 1, 0},
      {"one LF-only line", bare_lf, 16, 5, 0},
      {"one long line", long_line, 16, 0, 3},
      {"short", Grid(7, "\r\n"), 7, 0, 0},
      {"empty", "", 0, 0, 0},
      {"half-width character balanced by another", balanced, 16, 0, 0, 1, 4, 1},
      {"invalid lead byte", WithCell(crlf, 1, 4, "\x80\x40"), 16, 0, 0, 1, 2,
       5},
      {"full-width space", WithCell(crlf, 1, 4, "\x81\x40"), 16, 0, 0},
      {"two ASCII letters", WithCell(crlf, 1, 4, "AB"), 16, 0, 0},
      {"two half-width katakana", WithCell(crlf, 1, 4, "\xB1\xB2"), 16, 0, 0},
      {"one ASCII letter alone", WithCell(crlf, 1, 4, std::string("A\0", 2)),
       16, 0, 0},
      {"control codes' row holds anything",
       WithCell(WithCell(crlf, 0, 0, std::string(2, '\0')), 0, 15, "\xFF\xFF"),
       16, 0, 0},
      {"kanji page's unreachable cells hold anything",
       WithCell(WithCell(crlf, 15, 14, std::string(2, '\0')), 15, 15,
                "\xFF\x01"),
       16, 0, 0, 1},
      {"kanji page's first row is checked", WithCell(crlf, 0, 0, "A\x88"), 16,
       0, 0, 1, 1, 1},
      {"UTF-8", utf8, 16, 0, 1, 0, 0, 0, true},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + utf8, 16, 0, 1, 0, 0, 0,
       true},
      {"short last line: its CR LF read as a cell", short_last, 16, 0, 16, 0, 0,
       0, false, 16},
      {"a blank grid", grids::BlankGrid(), 16, 0, 0},
  };
  for (const Case& c : cases) {
    const GridReport r =
        CheckGrid(reinterpret_cast<const unsigned char*>(c.grid.data()),
                  c.grid.size(), c.page);
    EXPECT_EQ(r.complete_rows, c.rows) << c.name;
    EXPECT_EQ(r.bad_ending_line, c.bad_ending) << c.name;
    EXPECT_EQ(r.bad_length_line, c.bad_length) << c.name;
    EXPECT_EQ(r.utf8, c.utf8) << c.name;
    EXPECT_EQ(r.line_end_column, c.line_end_column) << c.name;
    EXPECT_EQ(r.split_cells.empty(), c.split_line == 0) << c.name;
    if (!r.split_cells.empty()) {
      EXPECT_EQ(r.split_cells[0].line, c.split_line) << c.name;
      EXPECT_EQ(r.split_cells[0].column, c.split_column) << c.name;
      EXPECT_EQ(r.split_cells.size(), 1u) << c.name;
    }
  }
}

// The findings glyphpack and the page both word, in their order, with the
// cells they put out of step.
TEST(CheckGridTest, FindingsInOrderWithTheCellsTheyMark) {
  using K = grids::FindingKind;
  const std::string crlf = Grid(16, "\r\n");
  std::string lf_and_long = crlf;  // line 3 holds 34 bytes, line 5 ends in LF
  lf_and_long.erase(34 * 4 + 32, 1);
  lf_and_long.insert(34 * 2 + 32, "xy");
  std::string utf8_lf = "\xEF\xBB\xBF" + crlf;
  utf8_lf.erase(3 + 34 * 1 + 32, 1);
  struct Case {
    const char* name;
    std::string grid;
    int page;
    std::vector<K> kinds;
    int line, first_entry, entries;  // of the first finding
  };
  const std::vector<Case> cases = {
      {"an LF and a long line: both said",
       lf_and_long,
       0,
       {K::kLineEnd, K::kLineLength},
       5,
       4 * 16,
       16},
      {"UTF-8 with an LF", utf8_lf, 0, {K::kUtf8, K::kUtf8LineEnd}, 0, 0, 0},
      {"a split cell of the kanji page",
       WithCell(crlf, 2, 4, "\x80\x40"),
       1,
       {K::kSplitCell},
       3,
       256 + 2 * 16 + 4,
       1},
      {"short", Grid(7, "\r\n"), 0, {K::kIncomplete}, 0, 0, 0},
      {"well formed", crlf, 0, {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const std::vector<grids::Finding> found = grids::FindingsOf(
        CheckGrid(reinterpret_cast<const unsigned char*>(c.grid.data()),
                  c.grid.size(), c.page),
        c.page);
    std::vector<K> kinds;
    for (const grids::Finding& f : found) kinds.push_back(f.kind);
    EXPECT_EQ(kinds, c.kinds) << c.name;
    if (found.empty()) continue;
    EXPECT_EQ(found[0].line, c.line) << c.name;
    EXPECT_EQ(found[0].first_entry, c.first_entry) << c.name;
    EXPECT_EQ(found[0].entries, c.entries) << c.name;
  }
}

// The page's grid edits: a cell written where the packer reads it, on
// whole grids, short ones and none; a table's page back as a grid; a UTF-8
// grid in Shift-JIS.
TEST(PackPageTest, EditsAndConversions) {
  const unsigned char star[2] = {0x81, 0x96};  // ＊
  const std::string crlf = Grid(16, "\r\n");
  struct Case {
    const char* name;
    std::string grid;
    std::size_t entry;
    std::string page;  // what the edited grid packs to
  };
  auto with = [](std::string page, std::size_t cell) {
    return page.replace(2 * cell, 2, "\x81\x96");
  };
  std::string blank(kPageBytes, '\0');
  for (std::size_t i = 0; i < kPageBytes; i += 2)
    blank.replace(i, 2, "\x81\x40");
  const std::vector<Case> cases = {
      {"whole grid", crlf, 0x23, with(Rows(0, 16), 0x23)},
      {"the kanji page's last cell", crlf, 511, with(Rows(0, 16), 255)},
      {"a short grid made whole", Grid(3, "\r\n"), 0x54,
       with(Rows(0, 3) + std::string(13 * 32, '\0'), 0x54)},
      {"no grid: a blank one", "", 0x110, with(blank, 0x10)},
  };
  for (const Case& c : cases) {
    const std::string edited =
        grids::WithCell(reinterpret_cast<const unsigned char*>(c.grid.data()),
                        c.grid.size(), c.entry, star);
    EXPECT_EQ(Pack(edited), c.page) << c.name;
    if (c.grid.size() > 34 * 15 + 32) {
      EXPECT_EQ(edited.size(), c.grid.size()) << c.name;
    }
  }
  const std::string table = Rows(0, 16) + Rows(0, 5);  // page 1 cut short
  EXPECT_EQ(Pack(grids::GridOfTable(
                reinterpret_cast<const unsigned char*>(table.data()),
                table.size(), 1)),
            Rows(0, 5) + std::string(11 * 32, '\0'));
  const grids::Converted c = grids::GridFromUtf8(
      "\xEF\xBB\xBF\xE3\x82\xA2\xF0\x9F\x98\x80"
      "A\r\n");
  EXPECT_EQ(c.bytes,
            "\x83\x41\x81\x48"
            "A\r\n");  // ア, ？ for 😀, A
  EXPECT_EQ(c.lost, "\xF0\x9F\x98\x80");
}

}  // namespace
