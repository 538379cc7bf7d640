// English in pairs: which codes are chosen, that the lines they encode go
// in through the insertion table as the inserter reads it and print back
// through the grids, and the glyphs drawn for them.
#include "pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fit.h"
#include "insert.h"
#include "packer.h"
#include "script.h"
#include "tiles.h"
#include "window.h"

namespace translate {
namespace {

// The first ones one-byte codes from 0x10 and kanji codes from 0xFF 0x01.
CodeSet Codes(unsigned ones, unsigned kanji) {
  CodeSet s;
  for (unsigned c = 0; c < ones; ++c) s.set(0x10 + c);
  for (unsigned n = 0; n < kanji; ++n) s.set(0x101 + n);
  return s;
}

// Lines of text alone (a raw piece is written between '|' marks as bytes).
std::vector<PairLine> Lines(const std::vector<std::string>& texts,
                            std::size_t budget) {
  std::vector<PairLine> lines;
  for (const std::string& t : texts) {
    PairLine l;
    l.line = static_cast<int>(10 + lines.size());
    l.offset = static_cast<std::uint32_t>(0x100 * (lines.size() + 1));
    l.budget = budget;
    bool raw = false;
    for (std::size_t at = 0; at <= t.size();) {
      std::size_t bar = t.find('|', at);
      if (bar == std::string::npos) bar = t.size();
      if (bar > at) l.pieces.push_back({t.substr(at, bar - at), raw});
      raw = !raw;
      at = bar + 1;
    }
    lines.push_back(l);
  }
  return lines;
}

// What must hold of every choice: no code taken that is kept, used by the
// lines' own bytes or not offered; the lines, inserted by the inserter with
// the insertion table, give the bytes reported; the grids print the text.
void CheckChoice(const std::vector<PairLine>& lines, const CodeSet& kept,
                 const CodeSet& exists, const PairChoice& c) {
  CodeSet raw_codes;
  for (const PairLine& l : lines)
    for (const PairLine::Piece& p : l.pieces)
      for (std::size_t i = 0; p.raw && i < p.text.size(); ++i)
        raw_codes.set(p.text[i] == '\xFF'
                          ? 0x100 + static_cast<unsigned char>(p.text[++i])
                          : static_cast<unsigned char>(p.text[i]));
  for (unsigned i = 0; i < glyph_table::kCodes; ++i)
    EXPECT_TRUE(c.text[i].empty() || (exists[i] && !kept[i] && !raw_codes[i]))
        << std::hex << i;
  ASSERT_EQ(c.lines.size(), lines.size());
  // A letter goes without a code only when every free code is taken.
  const CodeSet free = exists & GlyphCodes() & ~kept & ~raw_codes;
  const auto taken = static_cast<std::size_t>(
      std::count_if(c.text.begin(), c.text.end(),
                    [](const std::string& t) { return !t.empty(); }));
  for (const PairPlace& p : c.missing)
    EXPECT_TRUE(p.what < 0x20 || p.what > 0x7E || taken == free.count());
  if (!c.missing.empty() || lines.empty()) return;

  std::string script = "#VAR(S, TABLE)\n#ADDTBL(\"t\", S)\n#ACTIVETBL(S)\n";
  for (const PairLine& l : lines) {
    char jmp[32];
    std::snprintf(jmp, sizeof jmp, "#JMP($%X)\n",
                  static_cast<unsigned>(l.offset));
    script += jmp;
    for (const PairLine::Piece& p : l.pieces) {
      for (const char ch : p.text) {
        std::snprintf(jmp, sizeof jmp, "<$%02X>",
                      static_cast<unsigned char>(ch));
        script += p.raw ? std::string(jmp) : std::string(1, ch);
      }
    }
    script += '\n';
  }
  const ThingyTable none = MakeThingy(decoder::GlyphTable{});
  std::vector<unsigned char> image(0x100 * (lines.size() + 2), 0xEE);
  Insertion report;
  ASSERT_TRUE(InsertScript(script, PairThingyText(none, c), {-1, true}, &image,
                           &report))  // (not the game's window)
      << (report.problems.empty() ? "" : report.problems[0].what);

  unsigned char raw_table[glyph_table::kFileBytes];
  for (int page = 0; page < 2; ++page) {
    const std::string grid = PairGrid(decoder::GlyphTable{}, c, page);
    grids::PackPage(reinterpret_cast<const unsigned char*>(grid.data()),
                    grid.size(), raw_table + page * glyph_table::kPageBytes);
  }
  decoder::GlyphTable table;
  decoder::TableFromBytes(raw_table, sizeof raw_table, table);
  static decoder::Renderings r;
  decoder::Render(table, decoder::Encoding::kUtf8, &r);

  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::vector<unsigned char>& bytes = c.lines[k].bytes;
    EXPECT_EQ(c.lines[k].after, bytes.size());
    EXPECT_TRUE(
        std::equal(bytes.begin(), bytes.end(), image.begin() + lines[k].offset))
        << "line " << k;
    std::string text;
    for (const PairLine::Piece& p : lines[k].pieces)
      if (!p.raw) text += p.text;
    if (lines[k].pieces.size() != 1 || bytes.empty()) continue;
    const decoder::Window w =
        decoder::WindowOf(bytes.data(), bytes.size(), 0,
                          static_cast<std::uint32_t>(bytes.size() - 1));
    EXPECT_EQ(decoder::RenderScript(r, w).text(), text);
  }
}

struct ChoiceCase {
  const char* name;
  std::vector<std::string> texts;
  std::size_t budget;
  CodeSet kept, exists;
  std::vector<std::string> chosen, not_chosen;
  std::vector<std::size_t> after;  // each line's bytes
  std::vector<int> overflows;      // their script lines
  std::size_t singles, missing;
};

TEST(PairsTest, ChoosesCodes) {
  const CodeSet none;
  const ChoiceCase cases[] = {
      // bc saves 3; then ab would save nothing (a|bc stays), " x" saves 1.
      {"savings recounted as pairs are taken",
       {"abcabc xbc"},
       99,
       none,
       Codes(7, 0),
       {"bc", " x"},
       {"ab"},
       {6},
       {},
       2,
       0},
      {"equal savings: the first pair in ASCII order",
       {"the the the"},
       99,
       none,
       Codes(5, 0),
       {"he"},
       {"th"},
       {8},
       {},
       5,
       0},
      // ab saves 4; " a" saves nothing but leaves b last: no gap.
      {"kept codes and the line's own codes are not taken",
       {"ab ab|\x12\xFF\x03|ab ab"},
       99,
       Codes(2, 0),
       Codes(9, 4),
       {"ab", " a"},
       {"b "},
       {9},
       {},
       0,
       0},
      {"a line that still does not fit",
       {"abc abc abc", "abc"},
       3,
       none,
       Codes(40, 0),
       {"ab"},
       {},
       {6, 2},
       {10},
       0,
       0},
      {"without kanji codes single letters stay",
       {"Rotan, where are you?", "Over here."},
       99,
       none,
       Codes(24, 0),
       {},
       {},
       {15, 6},
       {},
       9,
       0},
      {"kanji codes leave no single letter before another",
       {"Rotan, where are you?", "Over here."},
       99,
       none,
       Codes(24, 40),
       {},
       {},
       {19, 6},
       {},
       0,
       0},
      {"... but never make a line that fits overflow",
       {"Rotan, where are you?", "Over here."},
       15,
       none,
       Codes(24, 40),
       {},
       {},
       {15, 6},
       {},
       3,
       0},
      // Codes for a, b, c only (the space, used least, gets none).
      {"a letter without a code, and a non-ASCII byte, are missing",
       {"abcd\xE9"},
       99,
       none,
       Codes(3, 0),
       {},
       {},
       {3},
       {},
       2,
       2},
      {"a character of two bytes is missing once",
       {"ab\xC3\xA9"},
       99,
       none,
       Codes(2, 0),
       {},
       {},
       {2},
       {},
       1,
       1},
      {"no English: no code taken, not even the blank",
       {"|\x12\xFF\x03|"},
       99,
       none,
       Codes(9, 4),
       {},
       {" "},
       {3},
       {},
       0,
       0},
      {"no line at all", {}, 99, none, Codes(9, 4), {}, {" "}, {}, {}, 0, 0},
  };
  for (const ChoiceCase& t : cases) {
    SCOPED_TRACE(t.name);
    const std::vector<PairLine> lines = Lines(t.texts, t.budget);
    const PairChoice c = ChoosePairs(lines, t.kept, t.exists);
    auto has = [&](const std::string& s) {
      return std::find(c.text.begin(), c.text.end(), s) != c.text.end();
    };
    for (const std::string& s : t.chosen) EXPECT_TRUE(has(s)) << s;
    for (const std::string& s : t.not_chosen) EXPECT_FALSE(has(s)) << s;
    std::vector<std::size_t> after;
    for (const PairChoice::Line& l : c.lines) after.push_back(l.after);
    EXPECT_EQ(after, t.after);
    std::vector<int> overflows;
    for (const PairPlace& p : c.overflows) overflows.push_back(p.line);
    EXPECT_EQ(overflows, t.overflows);
    EXPECT_EQ(c.singles.size(), t.singles);
    EXPECT_EQ(c.missing.size(), t.missing);
    EXPECT_TRUE(c.blank < 0 ||
                c.text[static_cast<std::size_t>(c.blank)] == " ");
    CheckChoice(lines, t.kept, t.exists, c);
  }
}

// Random texts of a few letters (so that pairs overlap and compete), codes
// and budgets: every choice keeps CheckChoice's facts.
TEST(PairsTest, RandomTranslationsInsertAndPrintBack) {
  std::mt19937 rng(33);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> texts(1 + rng() % 4);
    for (std::string& t : texts) {
      t = "a";  // (a line of blanks alone would insert nothing)
      for (unsigned n = rng() % 40; n > 0; --n) t += " abe(<"[rng() % 6];
      if (rng() % 3 == 0) t += "|\x04\x0A|" + t;
    }
    const CodeSet kept = Codes(rng() % 3, rng() % 3);
    const CodeSet exists = Codes(rng() % 30, rng() % 30);
    const std::vector<PairLine> lines = Lines(texts, rng() % 40);
    CheckChoice(lines, kept, exists, ChoosePairs(lines, kept, exists));
    if (HasFailure()) return;
  }
}

// A translated script read for the choice: English apart from the tokens
// and the original's characters, one piece per script line, each bounded
// block a line; and the codes the window uses outside those lines.
TEST(PairsTest, ScriptLinesSplitIntoEnglishAndRawBytes) {
  const ThingyTable table = ReadThingy(
      "04=<04>\n0A=<0A>\n75=\xE3\x80\x8C\n76=\xE3\x80\x8D\n80=H\n"
      "FF01=\xE6\x9D\xB1\nFF02=x\n");
  struct Row {
    const char* name;
    std::string script;
    std::vector<std::string> pieces;  // "=" before a raw piece
    int line;
    std::size_t budget;
  };
  const Row rows[] = {
      {"tokens and the original's characters are raw; a glyph's ASCII "
       "line is English",
       "#JMP($10, $1F)\n<04>\xE3\x80\x8CHi <$2A>\xE3\x80\x8D<0A>",
       {"=\x04\x75", "Hi ", "=\x2A\x76\x0A"},
       2,
       16},
      {"a piece per script line, comments and blank lines skipped",
       "// c\n#JMP($10, $11)\n\nab\n// d\ncd\xE6\x9D\xB1x\n",
       {"ab", "cd", "=\xFF\x01", "x"},
       4,
       2},
      {"a block without a bound is none", "#JMP($10)\nab\n", {}, 0, 0},
      {"a token in lower case is neither English nor raw",
       "#JMP($10, $1F)\nHi<0a>",
       {"Hi"},
       2,
       16},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<PairLine> lines = PairLinesOf(row.script, table);
    ASSERT_EQ(lines.size(), row.pieces.empty() ? 0U : 1U);
    if (lines.empty()) continue;
    std::vector<std::string> pieces;
    for (const PairLine::Piece& p : lines[0].pieces)
      pieces.push_back((p.raw ? "=" : "") + p.text);
    EXPECT_EQ(pieces, row.pieces);
    EXPECT_EQ(lines[0].line, row.line);
    EXPECT_EQ(lines[0].offset, 0x10U);
    EXPECT_EQ(lines[0].budget, row.budget);
  }
  // The bytes #FILL pads with are named.
  CodeSet fills;
  PairLinesOf("#JMP($10, $1F)\n#FILL($D0)\nab\n#FILL($D1, 2)", table, &fills);
  EXPECT_EQ(fills.count(), 2U);
  EXPECT_TRUE(fills[0xD0] && fills[0xD1]);
  // The window: 10 11 | FF 05 05 12 | 13, with the middle a line.
  std::vector<unsigned char> image(decoder::kWindowStart, 0);
  for (const unsigned char b : {0x10, 0x11, 0xFF, 0x05, 0x05, 0x12, 0x13})
    image.push_back(b);
  PairLine middle;
  middle.offset = decoder::kWindowStart + 2;
  middle.budget = 4;
  const CodeSet kept = CodesOutside(image, {middle});
  CodeSet want;
  for (const unsigned c : {0x10, 0x11, 0x13}) want.set(c);
  EXPECT_EQ(kept, want);
}

TEST(PairsTest, PairTilesAreTheLettersSideBySide) {
  const Tile a = DrawTile("A"), b = DrawTile("b"), blank = DrawTile(" ");
  EXPECT_EQ(blank, Tile{});
  for (const char* pair : {"Ab", "bA", "A ", " b", "A\x01"}) {
    SCOPED_TRACE(pair);
    const Tile t = DrawTile(pair);
    const Tile& left = pair[0] == 'A' ? a : pair[0] == 'b' ? b : blank;
    const Tile& right = pair[1] == 'A' ? a : pair[1] == 'b' ? b : blank;
    for (std::size_t row = 0; row < 16; ++row) {
      EXPECT_EQ(t[2 * row], left[2 * row]);
      EXPECT_EQ(t[2 * row + 1], right[2 * row]);
      EXPECT_EQ(a[2 * row + 1], 0);  // a single letter: its right half blank
    }
  }
  for (char c = '!'; c <= '~'; ++c)  // every printable letter draws
    EXPECT_NE(DrawTile(std::string(1, c)), Tile{}) << c;
}

// A line as the game shows it: the glyphs of its bytes in the walk's codes,
// a new row after each break, the codes that draw nothing left out.
TEST(PairsTest, ShownRowsAreTheLineGlyphsRowByRow) {
  struct Row {
    const char* name;
    std::vector<unsigned char> bytes;  // at 0x100 of an image that ends there
    std::size_t budget;
    std::vector<std::vector<int>> rows;
  };
  const Row rows[] = {
      {"glyphs and kanji; <02> and <0B><$XX> break; controls draw nothing",
       {0x04, 0x10, 0xFF, 0x01, 0x02, 0x11, 0x0B, 0x2A, 0x12},
       9,
       {{0x10, 256}, {0x11}, {0x12}}},
      {"<05> takes its argument", {0x05, 0x10, 0x11}, 3, {{0x11}}},
      {"the budget bounds it; a break at its end opens no row",
       {0x10, 0x11, 0x00, 0x12},
       3,
       {{0x10, 0x11}}},
      {"the image's end bounds it", {0x10, 0x11}, 16, {{0x10, 0x11}}},
      {"no bytes, one empty row", {0x10}, 0, {{}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<unsigned char> image(0x100 + row.bytes.size(), 0x10);
    std::copy(row.bytes.begin(), row.bytes.end(), image.begin() + 0x100);
    EXPECT_EQ(ShownRows(image, 0x100, row.budget), row.rows);
  }
}

}  // namespace
}  // namespace translate
