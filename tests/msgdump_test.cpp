// msgdump's core over bytes in memory: every row of the code table in
// Shift-JIS and UTF-8, both lookups, the window's edges, the end of the
// image, table loading, the Thingy table and the Atlas script (which must
// insert back to the bytes they came from), insertion of edited scripts as
// Atlas inserts them, BPS patches, CP932 typed in, and the cells to fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "atlas.h"
#include "bps.h"
#include "bps_apply.h"
#include "cells.h"
#include "cp932.h"
#include "insert.h"
#include "script.h"
#include "table.h"
#include "test_util.h"
#include "to_fill_text.h"
#include "walk.h"
#include "window.h"

namespace {

using decoder::Encoding;
using decoder::GlyphTable;
using decoder::WalkEnd;
using decoder::Window;

// A table whose every entry is two distinct bytes, so any mix-up of entries
// shows in the output.
std::string E(unsigned i) {
  return {static_cast<char>(0x88 + (i >> 6)),
          static_cast<char>(0x40 + (i & 63))};
}

GlyphTable TableOf(const std::string& bytes) {
  GlyphTable t;
  decoder::TableFromBytes(reinterpret_cast<const unsigned char*>(bytes.data()),
                          bytes.size(), t);
  return t;
}

const GlyphTable& Table() {
  static const GlyphTable t = [] {
    std::string bytes;
    for (unsigned i = 0; i < glyph_table::kEntries; ++i) bytes += E(i);
    return TableOf(bytes);
  }();
  return t;
}

Window WindowOf(const std::string& image, std::uint32_t start,
                std::uint32_t end) {
  return decoder::WindowOf(reinterpret_cast<const unsigned char*>(image.data()),
                           image.size(), start, end);
}

struct Decoded {
  std::string text;
  WalkEnd end;
};

Decoded Decode(const Window& w, const GlyphTable& table = Table(),
               Encoding encoding = Encoding::kShiftJis) {
  static decoder::Renderings r;
  decoder::Render(table, encoding, &r);
  const decoder::Script script = decoder::RenderScript(r, w);
  return {std::string(script.text()), script.end};
}

Decoded Decode(const std::string& image, std::uint32_t start,
               std::uint32_t end) {
  return Decode(WindowOf(image, start, end));
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

const std::string kSamoruta = "\x82\xB3\x82\xE0\x82\xE9\x82\xBD";
const std::string kRotan = "\x83\x8D\x83\x5E\x83\x93";
const std::string kQq = "\x81\x48\x81\x48";

// Each code is followed by the glyph code 0x20 and the whole is decoded, so
// a wrong width shows up as a missing or extra glyph after it.
TEST(MsgConvTest, EveryCodeRendersAndAdvancesByItsWidth) {
  struct Case {
    std::string code;      // the code's bytes
    std::string expected;  // what it prints
  };
  const std::vector<Case> cases = {
      {Bytes({0x00}), "\n"},         {Bytes({0x01}), "\n"},
      {Bytes({0x02}), "\n"},         {Bytes({0x03}), "[03]"},
      {Bytes({0x04}), "[04]"},       {Bytes({0x05, 0x41}), ""},
      {Bytes({0x05, 0xFF}), ""},  // the skipped byte is not looked at
      {Bytes({0x06}), kSamoruta},    {Bytes({0x07}), kRotan},
      {Bytes({0x08}), ""},           {Bytes({0x09}), kQq},
      {Bytes({0x0A}), "[0A]"},       {Bytes({0x0B, 0x41}), "\n"},
      {Bytes({0x0B, 0x05}), "\n"},   {Bytes({0x0C}), kQq},
      {Bytes({0x0D}), "[0D]"},       {Bytes({0x0E}), "[0E]"},
      {Bytes({0x0F}), ""},           {Bytes({0x10}), E(0x10)},
      {Bytes({0x7F}), E(0x7F)},      {Bytes({0xFE}), E(0xFE)},
      {Bytes({0xFF, 0x00}), E(255)},  // reaches back to the one-byte page
      {Bytes({0xFF, 0x01}), E(256)}, {Bytes({0xFF, 0x10}), E(271)},
      {Bytes({0xFF, 0xFE}), E(509)}, {Bytes({0xFF, 0xFF}), ""},
  };
  for (const Case& c : cases) {
    const std::string bytes = c.code + Bytes({0x20});
    const Decoded d =
        Decode(bytes, 0, static_cast<std::uint32_t>(bytes.size() - 1));
    EXPECT_EQ(d.text, c.expected + E(0x20))
        << "code " << testing::PrintToString(c.code);
    EXPECT_EQ(d.end, WalkEnd::kWindowDone);
  }
}

TEST(MsgConvTest, MixedRunDecodesFiveCodes) {
  const Window w =
      WindowOf(Bytes({0x10, 0x0A, 0xFF, 0x01, 0x05, 0x3C, 0x00}), 0, 6);
  const Decoded d = Decode(w);
  EXPECT_EQ(d.text, E(16) + "[0A]" + E(256) + "\n");
  EXPECT_EQ(d.end, WalkEnd::kWindowDone);
  // The walk names each code: its offset, index (c, or 256 + n for 0xFF n)
  // and the bytes it took.
  std::string codes;
  decoder::MsgConv(w, [&](const decoder::Code& c) {
    codes += std::to_string(c.offset) + ":" + std::to_string(c.index) + ":" +
             std::to_string(c.size) + " ";
  });
  EXPECT_EQ(codes, "0:16:1 1:10:1 2:257:2 4:5:2 6:0:1 ");
}

TEST(MsgConvTest, WindowEdgesAndEndOfImage) {
  struct Case {
    const char* name;
    std::string image;
    std::uint32_t start, end;
    std::string expected;
    WalkEnd walk_end;
  };
  const std::string pad(8, '\x20');
  const std::vector<Case> cases = {
      {"last byte starts a kanji pair", Bytes({0x10, 0xFF, 0x02, 0x11}), 0, 1,
       E(16) + E(257), WalkEnd::kWindowDone},
      {"last byte starts a skip code", Bytes({0x10, 0x0B, 0x12, 0x11}), 0, 1,
       E(16) + "\n", WalkEnd::kWindowDone},
      {"start equal to end", Bytes({0x10, 0x11}), 1, 1, E(17),
       WalkEnd::kWindowDone},
      {"start greater than end", Bytes({0x10, 0x11}), 1, 0, "",
       WalkEnd::kWindowDone},
      {"image ends inside the window", Bytes({0x10, 0x11}), 0, 5,
       E(16) + E(17) + "[EOF]", WalkEnd::kEndOfImage},
      {"image ends at the window's last byte", Bytes({0x10, 0x11}), 0, 1,
       E(16) + E(17), WalkEnd::kWindowDone},
      {"image ends one byte after the window", Bytes({0x10, 0x11, 0x12}), 0, 1,
       E(16) + E(17), WalkEnd::kWindowDone},
      {"window starts past the image", Bytes({0x10, 0x11}), 2, 9, "[EOF]",
       WalkEnd::kEndOfImage},
      {"empty image", "", 0, 0, "[EOF]", WalkEnd::kEndOfImage},
      {"0xFF is the image's last byte, window goes on",
       Bytes({0x20, 0x10, 0xFF}), 0, 9, E(0x20) + E(0x10) + "[EOF]",
       WalkEnd::kEndOfImage},
      {"0xFF is the image's and the window's last byte",
       Bytes({0x20, 0x10, 0xFF}), 1, 2, E(0x10), WalkEnd::kWindowDone},
      {"0x05 is the image's last byte", Bytes({0x10, 0x05}), 0, 3,
       E(0x10) + "[EOF]", WalkEnd::kEndOfImage},
      {"0x0B is the image's last byte", Bytes({0x10, 0x0B}), 0, 3,
       E(0x10) + "\n[EOF]", WalkEnd::kEndOfImage},
      {"0x05 is the last byte, window ends after its width",
       Bytes({0x10, 0x05}), 0, 1, E(0x10), WalkEnd::kWindowDone},
      {"window begins on a kanji pair's second byte", Bytes({0xFF, 0x41, 0x20}),
       1, 2, E(0x41) + E(0x20), WalkEnd::kWindowDone},
      {"window begins on the byte a 0x05 skips", Bytes({0x05, 0x0A, 0x20}), 1,
       2, "[0A]" + E(0x20), WalkEnd::kWindowDone},
      {"window ends at the last 32-bit offset", pad, 6, 0xFFFFFFFFu,
       E(0x20) + E(0x20) + "[EOF]", WalkEnd::kEndOfImage},
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.image, c.start, c.end);
    EXPECT_EQ(d.text, c.expected) << c.name;
    EXPECT_EQ(d.end, c.walk_end) << c.name;
  }
}

// A window whose last offset is the last 32-bit one, with bytes at every
// offset: the walk must stop there, not wrap around to offset 0.
TEST(MsgConvTest, WindowAtTheTopOfTheOffsetRangeEnds) {
  Window w;
  w.start = 0xFFFFFFFDu;
  w.end = 0xFFFFFFFFu;
  w.bytes.assign(4, 0x10);
  const Decoded d = Decode(w);
  EXPECT_EQ(d.text, E(0x10) + E(0x10) + E(0x10));
  EXPECT_EQ(d.end, WalkEnd::kWindowDone);
}

// Entries print as C strings: a zero first byte hides the second; a zero
// second byte leaves the first alone.  A table only 512 bytes long still
// serves 0xFF 0x00 from entry 255.
TEST(MsgConvTest, EntriesPrintAsShortStrings) {
  GlyphTable t{};
  t.entry[0x10][1] = 'x';  // first byte 0: nothing
  t.entry[0x11][0] = 'y';  // second byte 0: one byte
  t.entry[255][0] = 'a';
  t.entry[255][1] = 'b';
  const Decoded d = Decode(
      WindowOf(Bytes({0x10, 0x11, 0xFF, 0x00, 0xFF, 0x01, 0x12}), 0, 6), t);
  EXPECT_EQ(d.text, "yab");
}

// The UTF-8 script: each entry through Microsoft's CP932 table, U+FFFD for
// one that is not CP932, and those codes named.
TEST(MsgConvTest, Utf8RendersEntriesAsCp932) {
  struct Case {
    std::string entry, utf8;
  };
  const std::string bad = "\xEF\xBF\xBD";
  // (Every double-byte code alone, and every single byte, is held to
  // iconv end to end; here the entries that are more than one of those.)
  const std::vector<Case> cases = {
      {"\x82\xA0", "\u3042"},        // あ
      {"A\\", "A\\"},                // two ASCII, 0x5C a backslash
      {"\xB1\xDF", "\uFF71\uFF9F"},  // two half-width katakana
      {"\x81\x7F", bad},             // 0x7F is no trail byte
      {"A\xFD", bad},                // 0xFD is no character
  };
  for (const Case& c : cases) {
    std::string table(2 * 0x12, '\0');
    table.replace(2 * 0x11, c.entry.size(), c.entry);
    const Window w = WindowOf(Bytes({0x11, 0x06, 0x11, 0x0A}), 0, 3);
    const Decoded d = Decode(w, TableOf(table), Encoding::kUtf8);
    EXPECT_EQ(d.text, c.utf8 + "\u3055\u3082\u308B\u305F" + c.utf8 + "[0A]")
        << testing::PrintToString(c.entry);
    decoder::Renderings r;
    decoder::Render(TableOf(table), Encoding::kUtf8, &r);
    EXPECT_EQ(decoder::CodesNotCp932(r, w),
              (c.utf8 == bad ? std::vector<unsigned>{0x11}
                             : std::vector<unsigned>{}));
  }
}

// Table loading, from files of every interesting length.
TEST(LoadTableTest, FilesOfEveryLength) {
  struct Case {
    const char* name;
    std::size_t size;
    // entry index -> expected printed bytes
    std::vector<std::pair<unsigned, std::string>> expect;
  };
  // File byte i is (i % 200) + 0x21: nonzero, so lengths are what matter.
  auto byte = [](std::size_t i) { return static_cast<char>(0x21 + i % 200); };
  auto entry = [&](unsigned i) {
    return std::string{byte(2 * i), byte(2 * i + 1)};
  };
  const std::vector<Case> cases = {
      {"empty", 0, {{0x10, ""}, {255, ""}, {256, ""}}},
      {"one byte", 1, {{0, std::string{byte(0)}}, {1, ""}}},
      {"odd length keeps its last byte",
       5,
       {{1, entry(1)}, {2, std::string{byte(4)}}, {3, ""}}},
      {"one-byte page only",
       512,
       {{0x10, entry(0x10)}, {255, entry(255)}, {256, ""}}},
      {"full",
       1024,
       {{0x10, entry(0x10)}, {256, entry(256)}, {509, entry(509)}}},
      {"over-long", 2000, {{256, entry(256)}, {511, entry(511)}}},
  };
  testing_util::TempDir dir;
  for (const Case& c : cases) {
    std::string bytes;
    for (std::size_t i = 0; i < c.size; ++i) bytes += byte(i);
    testing_util::WriteFile(dir / "t", bytes);
    std::FILE* f = std::fopen((dir / "t").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    GlyphTable table;
    std::memset(&table, 0x55, sizeof table);  // loading must clear leftovers
    EXPECT_TRUE(decoder::LoadTable(f, table)) << c.name;
    std::fclose(f);
    for (const auto& [index, printed] : c.expect) {
      EXPECT_EQ(reinterpret_cast<const char*>(table.entry[index]), printed)
          << c.name << " entry " << index;
    }
  }
}

#ifndef _WIN32  // Windows opens no directory as a stream
TEST(LoadTableTest, DirectoryIsNoTable) {
  testing_util::TempDir dir;
  std::FILE* f = std::fopen(dir.path().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  GlyphTable table;
  EXPECT_FALSE(decoder::LoadTable(f, table));
  EXPECT_EQ(errno, EISDIR);
  std::fclose(f);
}
#endif

// The window read from a file holds what the same image holds in memory,
// up to the byte after its end, wherever the image ends.
TEST(ReadWindowTest, MatchesTheImageInMemory) {
  std::mt19937 rng(7);
  std::string image(200 * 1024 + 3, '\0');
  for (char& b : image) b = static_cast<char>(rng());
  testing_util::TempDir dir;
  testing_util::WriteFile(dir / "img", image);
  const auto size = static_cast<std::uint32_t>(image.size());
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> windows = {
      {0, size - 1},        {65535, 131073},  {1000, 0x7FFFFFFF},
      {size - 1, size + 5}, {size, size + 5}, {9, 8},
  };
  for (const auto& [start, end] : windows) {
    std::FILE* f = std::fopen((dir / "img").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    Window w;
    EXPECT_TRUE(decoder::ReadWindow(f, image.size(), start, end, &w));
    std::fclose(f);
    EXPECT_EQ(w.bytes, WindowOf(image, start, end).bytes)
        << start << ".." << end;
  }
}

// Which entries get a Thingy line: not the empty, the non-CP932 or those
// with a line break; a repeated text only for the lowest code; no text that
// begins another line's text or a raw token.
TEST(ThingyTest, OnlyTextsAnInserterReadsBackUnambiguously) {
  std::string bytes(1024, '\0');
  auto set = [&](unsigned entry, const std::string& e) {
    bytes.replace(2 * entry, e.size(), e);
  };
  set(0x10, "\x82\xA0");  // あ
  set(0x11, "\x82\xA0");  // あ again: 0x10 keeps it
  set(256, "\x82\xA0");   // and again on the kanji page (0xFF 0x01)
  set(0x12, "\x88\x40");  // not CP932
  set(0x13, "A\n");       // a line break
  set(0x14, "A");         // begins "AB"
  set(0x15, "AB");
  set(0x16, "<");  // begins <00> and <$XX>
  set(0x17, "(");  // begins ($XX)
  set(0x18, "<$");
  set(0x19, "<F");       // begins <FFFF>
  set(0x1A, "<A");       // begins nothing
  set(0x1B, "#/");       // fine, though not at a line's start
  set(255, "\x81\x9A");  // ★, as 0xFF 0x00
  set(509, "\x88\x9F");  // 亜, as 0xFF 0xFE
  const std::string text =
      translate::ThingyText(translate::MakeThingy(TableOf(bytes)));
  std::string want;
  for (int c = 0; c < 16; ++c)
    want += decoder::CodeName(c).substr(2) + "=<" +
            decoder::CodeName(c).substr(2) + ">\n";
  want +=
      "10=\u3042\n15=AB\n1A=<A\n1B=#/\nFF00=\u2605\nFFFE=\u4E9C\n"
      "FFFF=<FFFF>\n";
  EXPECT_EQ(text, want);
}

// The Atlas script, inserted with the Thingy table, gives back every byte
// the walk took: with tables full of traps, and on images that end
// anywhere.
TEST(AtlasTest, InsertsBackToTheBytesItCameFrom) {
  std::string trap_bytes(1024, '\0');
  const std::vector<std::string> traps = {
      "\x82\xA0", "\x82\xA0", "A",  "AB", "B",  "<",  "$4", "1>",
      "(",        "<$",       "<F", "F>", "#",  "/",  "/A", "\n",
      "\x88\x40", "\x82\xA2", " ",  "\t", " #", "//", " /", "  "};
  for (unsigned e = 16; e < 512; ++e) {
    const std::string& t = traps[e % traps.size()];
    trap_bytes.replace(2 * e, t.size(), t);
  }
  std::mt19937 rng(11);
  for (const GlyphTable& table : {Table(), TableOf(trap_bytes)}) {
    const translate::ThingyTable thingy = translate::MakeThingy(table);
    for (const std::size_t size : {0, 1, 2, 3, 1000, 4096}) {
      std::string image(size, '\0');
      // Mostly the codes of the traps' first cells, so that they meet; a
      // run of one byte at the end, as padding.
      for (char& b : image)
        b = static_cast<char>(rng() % 4 == 0 ? rng() : 0x10 + rng() % 24);
      if (size > 100) image.replace(size - 40, 40, 40, '\x08');
      for (const std::uint32_t end : {999u, 9999u}) {
        const Window w = WindowOf(image, 0, end);
        std::uint64_t taken = 0;
        decoder::MsgConv(
            w, [&](const decoder::Code& c) { taken = c.offset + c.size; });
        std::vector<unsigned char> scratch(image.begin(), image.end());
        for (std::uint64_t i = 0; i < taken; ++i) scratch[i] ^= 0x5A;
        translate::Insertion report;
        // (The window is not the game's: as Atlas, that is only said.  A
        // script of no block is refused.)
        EXPECT_EQ(translate::InsertScript(translate::AtlasScript(thingy, w),
                                          translate::ThingyText(thingy),
                                          {-1, true}, &scratch, &report),
                  taken > 0)
            << (report.problems.empty() ? "" : report.problems[0].what);
        if (taken == 0) continue;
        EXPECT_EQ(std::string(scratch.begin(), scratch.end()), image)
            << size << " " << end;
        // Over its own bytes, it breaks no line.
        scratch.assign(image.begin(), image.end());
        translate::InsertScript(translate::AtlasScript(thingy, w),
                                translate::ThingyText(thingy), {-1, true},
                                &scratch, &report);
        for (const translate::Insertion::Problem& p : report.problems)
          EXPECT_EQ(p.kind, translate::Insertion::Kind::kOutsideWindow)
              << p.line << ": " << p.what;
      }
    }
  }
}

// An edited script, inserted: every line keeps its bytes and its break,
// padded only where #FILL says and between its text and its break.  By
// default a line that would be cut, leave the original's bytes behind or
// lose its text or break is refused; as Atlas (a warning) it goes in as
// Atlas 1.12 puts it.  Every number is checked first, and each problem is
// named with its own block.
TEST(InsertTest, EditedScriptsGoInOrAreRefusedWithTheirBlock) {
  using Kind = translate::Insertion::Kind;
  std::string letters(1024, '\0');  // codes 0x41-0x5A print A-Z
  for (char c = 'A'; c <= 'Z'; ++c) letters[2 * static_cast<unsigned>(c)] = c;
  const GlyphTable table = TableOf(letters);
  const std::uint32_t at = decoder::kWindowStart;
  std::string image(decoder::kWindowEnd + 1, '\0');
  image.replace(at, 7, "HI" + Bytes({0}) + "BYE" + Bytes({0}));
  const std::string script = translate::AtlasScript(
      translate::MakeThingy(table), WindowOf(image, at, at + 6));
  const std::string thingy =
      translate::ThingyText(translate::MakeThingy(table));
  auto edit = [](std::string s, const std::string& from,
                 const std::string& to) {
    const std::size_t k = s.rfind(from);  // the copy, not the comment
    return k == std::string::npos ? s : s.replace(k, from.size(), to);
  };
  auto edited = [&](const std::string& from, const std::string& to) {
    return edit(script, from, to);
  };
  const std::string first = "#JMP($2EF800, $2EF801)\nHI\n";
  // A problem: its kind, the text its line holds (the last such line; the
  // line after a leading newline), its block's offset and budget, and
  // whether it is a warning.
  struct Want {
    Kind kind;
    std::string line;
    std::uint64_t offset = 0, budget = 0;
    bool warning = false;
  };
  struct Case {
    const char* name;
    std::string script;
    std::vector<Want> problems = {};
    translate::InsertOptions options = {};
    std::string bytes = "";  // the window's 7 bytes after, or "" for refused
    // A refused row Atlas takes: the name of the row as Atlas, and the
    // bytes it makes (the same problems, as warnings).
    const char* atlas = nullptr;
    std::string atlas_bytes = "";
    std::string table = "";  // or the Thingy table's text
  };
  const std::string none, atlas_row = "HI" + Bytes({0}) + "BYE" + Bytes({0});
  const translate::InsertOptions as_atlas{-1, true};
  const std::uint64_t kBye = at + 3;
  // A refused row with its twin as Atlas: that row's name and bytes.
  auto twin = [](Case c, const char* atlas, std::string bytes) {
    c.atlas = atlas;
    c.atlas_bytes = std::move(bytes);
    return c;
  };
  std::vector<Case> cases = {
      {"untouched", script, {}, {}, atlas_row},
      {"CR LF line ends",
       [&] {
         std::string crlf;
         for (const char c : script)
           crlf += c == '\n' ? "\r\n" : std::string(1, c);
         return crlf;
       }(),
       {},
       {},
       atlas_row},
      {"CR-only line ends are refused, not read as one comment",
       [&] {
         std::string cr = script;
         for (char& c : cr) c = c == '\n' ? '\r' : c;
         return cr;
       }(),
       {{Kind::kLineEnds, "//"}}},
      twin({"shorter, no fill: refused, with the bytes it leaves",
            edited("BYE\n", "AB\n"),
            {{Kind::kShorterLeft, "AB", kBye, 3}}},
           "as Atlas: the original's last byte stays",
           "HI" + Bytes({0}) + "ABE" + Bytes({0})),
      {"shorter, with fill: padded between its text and its break",
       edited("BYE\n", "BY\n"),
       {},
       {0x20, false},
       "HI" + Bytes({0}) + "BY " + Bytes({0})},
      {"#FILL in the script wins over the start's",
       "#FILL($21)\n" + edited("BYE\n", "B\n"),
       {},
       {0x20, false},
       "HI" + Bytes({0}) + "B!!" + Bytes({0})},
      twin({"longer: refused",
            edited("HI\n", "HELLO\n"),
            {{Kind::kCut, "HELLO", at, 2}}},
           "longer, as Atlas: cut at its own bound",
           "HE" + Bytes({0}) + "BYE" + Bytes({0})),
      twin({"text and break in one block: padding after the break loses it",
            edit(script, first + "#JMP($2EF802, $2EF802)\n<00>\n",
                 "#JMP($2EF800, $2EF802)\nH<00>\n"),
            {{Kind::kLostBreak, "H<00>", at, 3}},
            {0x20, false}},
           "as Atlas, the same is a warning",
           "H" + Bytes({0}) + " BYE" + Bytes({0})),
      {"a line commented out is left with no text",
       edited("HI\n", "//HI\n"),
       {{Kind::kNoText, "#JMP($2EF800", at, 2}},
       {0x2A, false}},
      {"a break deleted is lost",
       edited("<00>\n\n", "\n\n"),
       {{Kind::kLostBreak, "#JMP($2EF802", at + 2, 1}},
       {0x2A, false}},
      {"raw bytes, and the lower case Atlas takes",
       edited("HI\n", "<$48><$0a>\n"),
       {},
       {},
       "H\n" + Bytes({0}) + "BYE" + Bytes({0})},
      {"<$a0> is no raw byte to Atlas: tokens are upper case",
       edited("HI\n", "<$a0>\n"),
       {{Kind::kLowerCaseToken, "<$a0>", at, 2}},
       as_atlas},
      {"<0a>: tokens are upper case",
       edited("HI\n", "H<0a>\n"),
       {{Kind::kLowerCaseToken, "H<0a>", at, 2}}},
      {"lower-case hex in a command",
       edit(script, "#JMP($2EF803, $2EF805)", "#JMP($2EF803, $2ef805)"),
       {{Kind::kLowerCaseToken, "$2ef805"}}},
      {"a command we do not take",
       "#HDR($200)\n" + script,
       {{Kind::kSyntax, "#HDR"}}},
      {"blanks before # make a command",
       edited("HI\n", " #HI\n"),
       {{Kind::kSyntax, " #HI"}}},
      {"each line the table lacks, in its own block",
       edited("BYE\n", "Bye\n").replace(script.rfind("HI\n"), 2, "Hi"),
       {{Kind::kNotEncodable, "Hi", at, 2},
        {Kind::kNotEncodable, "Bye", kBye, 3}}},
      {"and each layout problem after an earlier one",
       edited("BYE\n", "BYEE\n").replace(script.rfind("HI\n"), 2, "Hi"),
       {{Kind::kNotEncodable, "Hi", at, 2}, {Kind::kCut, "BYEE", kBye, 3}}},
      {"a script or table not UTF-8 says so",
       edited("HI\n", "\x82\xA0\n"),
       {{Kind::kNotUtf8, "41=\x82"}, {Kind::kNotUtf8, "\x82\xA0"}},
       {},
       none,
       nullptr,
       "",
       "41=\x82\xA0\n" + thingy},
      {"no #JMP before the text",
       edit(script, "#JMP($2EF800, $2EF801)\n", ""),
       {{Kind::kNoBlock, "HI"}}},
      {"no #JMP at all", "#FILL($20)\n", {{Kind::kNoBlock, ""}}},
      {"a bound past the image, with #FILL",
       edit(script, "2EF803, $2EF805", "2EF803, $2FFFFFFF") + "#FILL($08)\n",
       {{Kind::kOutsideImage, "$2FFFFFFF"}}},
      {"a #FILL byte above $FF",
       "#FILL($1234)\n" + script,
       {{Kind::kBadNumber, "#FILL($1234)"}}},
      {"a #FILL count of 64 bits",
       edited("HI\n", "#FILL($41, 18446744073709551615)\n"),
       {{Kind::kBadNumber, "#FILL($41"}}},
      {"a #FILL count past its block",
       edited("HI\n", "#FILL($41, 4000000000)\n"),
       {{Kind::kFillBeyond, "#FILL($41", at, 2}}},
      {"a #FILL count within its block, as Atlas",
       edited("HI\n", "#FILL($41, 2)\n"),
       {{Kind::kNoText, "#JMP($2EF800", at, 2, true}},
       as_atlas,
       "AA" + Bytes({0}) + "BYE" + Bytes({0})},
      // The layout the script came from.
      {"a block outside the text window",
       edit(script, "2EF803, $2EF805", "00FFC0, $00FFC2"),
       {{Kind::kLostBreak, "BYE", 0xFFC0, 3},  // (zeros were there)
        {Kind::kOutsideWindow, "BYE", 0xFFC0, 3}}},
      {"a bound too far: the blocks overlap",
       edit(script, "2EF800, $2EF801", "2EF800, $2EF803"),
       {{Kind::kOverlap, "\n<00>\n\n", at + 2, 1},
        {Kind::kOverlap, "BYE", kBye, 3}},
       {0x20, false}},
  };
  // Numbers past what the image or 32 bits hold, in the first #JMP: refused,
  // with the number named.
  const struct {
    const char* name;
    const char* jmp;  // what stands for "2EF800, $2EF801"
    Kind kind;
    const char* named;
  } numbers[] = {
      {"#JMP far past the image", "7FFFFFFF", Kind::kOutsideImage, "$7FFFFFFF"},
      {"#JMP just past the image", "3FFFFF", Kind::kOutsideImage, "$3FFFFF"},
      {"#JMP one digit too many", "2EF8000, $2EF8001", Kind::kOutsideImage,
       "$2EF8000"},
      {"#JMP of 64 bits", "FFFFFFFFFFFFFFFF", Kind::kBadNumber,
       "$FFFFFFFFFFFFFFFF"},
      {"#JMP above 32 bits, not cut to them", "100002EF800, $100002EF801",
       Kind::kBadNumber, "$100002EF800"},
      {"a bound of 63 bits", "0, $7FFFFFFFFFFFFFFF", Kind::kBadNumber,
       "$7FFFFFFFFFFFFFFF"},
  };
  for (const auto& n : numbers)
    cases.push_back(
        {n.name, edit(script, "2EF800, $2EF801", n.jmp), {{n.kind, n.named}}});
  // As Atlas, a refused row's problems are warnings, and it goes in.
  for (std::size_t k = 0, rows = cases.size(); k < rows; ++k) {
    if (cases[k].atlas == nullptr) continue;
    Case twin = cases[k];
    twin.name = twin.atlas;
    twin.options.as_atlas = true;
    twin.bytes = twin.atlas_bytes;
    for (Want& w : twin.problems) w.warning = true;
    cases.push_back(twin);
  }
  for (const Case& c : cases) {
    std::vector<unsigned char> got(image.begin(), image.end());
    translate::Insertion report;
    const bool ok = translate::InsertScript(
        c.script, c.table.empty() ? thingy : c.table, c.options, &got, &report);
    EXPECT_EQ(ok, !c.bytes.empty()) << c.name;
    ASSERT_EQ(got.size(), image.size()) << c.name;
    std::string want = image;
    if (ok) want.replace(at, 7, c.bytes);
    EXPECT_EQ(std::string(got.begin(), got.end()), want) << c.name;
    ASSERT_EQ(report.problems.size(), c.problems.size())
        << c.name << ": "
        << (report.problems.empty() ? "" : report.problems[0].what);
    for (std::size_t k = 0; k < c.problems.size(); ++k) {
      const translate::Insertion::Problem& p = report.problems[k];
      const Want& w = c.problems[k];
      const std::string& file = p.in_table ? c.table : c.script;
      const std::size_t line =
          w.line.empty()
              ? 0
              : std::count(file.begin(),
                           file.begin() + static_cast<std::ptrdiff_t>(
                                              file.rfind(w.line) +
                                              (w.line[0] == '\n' ? 1 : 0)),
                           '\n') +
                    1;
      EXPECT_EQ(p.kind, w.kind) << c.name << " " << k << ": " << p.what;
      EXPECT_EQ(p.line, static_cast<int>(line)) << c.name << " " << k;
      EXPECT_EQ(p.offset, w.offset) << c.name << " " << k;
      EXPECT_EQ(p.budget, w.budget) << c.name << " " << k;
      EXPECT_EQ(p.warning, w.warning) << c.name << " " << k;
      if (p.kind == Kind::kOutsideImage) {
        EXPECT_EQ(p.image_size, image.size()) << c.name;
      }
    }
    // The script's #FILL, which wins over the start's, is named.
    const bool fills = c.script.compare(0, 6, "#FILL(") == 0 && ok;
    EXPECT_EQ(report.fill_line, fills ? 1 : 0) << c.name;
  }
}

// Any two images give a patch that a patcher of the tests' own (every
// action, every CRC checked) turns back into the target: random pairs, and
// the shapes an insertion makes (fills, moved spans, nothing changed,
// empty ones).  Runs and copies keep patches small.
TEST(BpsTest, AnyTwoImagesPatchBackToTheTarget) {
  EXPECT_EQ(
      translate::Crc32(reinterpret_cast<const unsigned char*>("123456789"), 9),
      0xCBF43926u);
  using Image = std::vector<unsigned char>;
  std::mt19937 rng(3);
  auto random = [&](std::size_t size, unsigned values = 256) {
    Image v(size);
    for (auto& b : v) b = static_cast<unsigned char>(rng() % values);
    return v;
  };
  const Image base = random(200000);
  auto with = [&](Image v, std::size_t at, const Image& bytes) {
    std::copy(bytes.begin(), bytes.end(), v.begin() + at);
    return v;
  };
  Image every_other = base;
  for (std::size_t i = 1; i < every_other.size(); i += 2) every_other[i] ^= 1;
  Image shifted(base.begin() + 7, base.end());  // every byte moved
  shifted.insert(shifted.end(), base.begin(), base.begin() + 7);
  struct Case {
    const char* name;
    Image source, target;
    std::size_t at_most = SIZE_MAX;  // bytes of patch
  };
  std::vector<Case> cases = {
      {"equal", base, base, 40},
      {"both empty", {}, {}, 40},
      {"empty source", {}, random(3000)},
      {"empty target", base, {}, 40},
      {"a 64 KiB fill of one byte", base, with(base, 5000, Image(65536, 0)),
       100},
      {"a fill past the source's end", random(10), Image(70000, 0xD0), 100},
      {"every other byte changed", base, every_other, base.size() + 100},
      {"every byte shifted", base, shifted, 100},
      {"a span moved", base,
       with(base, 100000, Image(base.begin() + 300, base.begin() + 9000)), 200},
      {"longer, and the start repeated at the end", base,
       [&] {
         Image v = base;
         v.insert(v.end(), base.begin(), base.begin() + 50000);
         return v;
       }(),
       100},
      {"shorter", base, Image(base.begin(), base.begin() + 1234), 40},
  };
  for (int k = 0; k < 60; ++k) {  // random pairs, of few values to match
    const unsigned values = k % 3 == 0 ? 2 : k % 3 == 1 ? 16 : 256;
    Image source = random(rng() % 3000, values);
    Image target = k % 2 == 0 ? source : random(rng() % 3000, values);
    for (int edits = 0; edits < 10 && !target.empty(); ++edits)
      target[rng() % target.size()] = static_cast<unsigned char>(rng());
    cases.push_back({"random", std::move(source), std::move(target)});
  }
  for (const Case& c : cases) {
    const Image patch = translate::MakeBps(c.source, c.target);
    Image made;
    std::string why;
    EXPECT_TRUE(testing_util::ApplyBps(patch, c.source, &made, &why))
        << c.name << ": " << why;
    EXPECT_EQ(made, c.target) << c.name;
    EXPECT_LE(patch.size(), c.at_most) << c.name;
  }
}

// What a typed character is stored as: CP932's first code, the NEC rows
// never, the JIS forms as CP932's characters.
TEST(Cp932Test, TypedTextToCellBytes) {
  struct Case {
    std::string typed, bytes;
    std::size_t substituted = 0;
  };
  const std::vector<Case> cases = {
      {"\u3042", "\x82\xA0"},        // あ
      {"A~", "A~"},                  // ASCII
      {"\uFF71\uFF9F", "\xB1\xDF"},  // half-width katakana
      {"\u2235", "\x81\xE6"},        // ∵: 81 E6, not 87 9A or FA 5B
      {"\u7E8A", "\xFA\x5C"},        // 纊: IBM's FA 5C, not NEC's ED 40
      {"\u301C", "\x81\x60", 1},     // WAVE DASH typed: CP932's ～
      {"\u2212", "\x81\x7C", 1},     // MINUS SIGN typed: CP932's －
      {"\x01", ""},                  // a control character: none
      {"\xF0\x9F\x98\x80", ""},      // outside the table
      {"\xE0\x81\x81", ""},          // "A" in an overlong form: no character
  };
  for (const Case& c : cases) {
    std::string bytes;
    char32_t bad = 0;
    std::vector<cp932::Substitution> subs;
    EXPECT_EQ(cp932::FromUtf8(c.typed, &bytes, &bad, &subs), !c.bytes.empty())
        << testing::PrintToString(c.typed);
    EXPECT_EQ(bytes, c.bytes) << testing::PrintToString(c.typed);
    EXPECT_EQ(subs.size(), c.substituted);
  }
}

// Which cells tell their codes apart, and the glyphs to fill that the
// window's codes then need, most used first.
TEST(ToFillTest, CellsAndTheGlyphsToFill) {
  std::string bytes(1024, '\0');
  auto set = [&](unsigned entry, const std::string& e) {
    bytes.replace(2 * entry, e.size(), e);
  };
  set(0x10, "\x81\x40");  // 　 blank
  set(0x11, " ");         // blank too
  set(0x12, "\x87\x54");  // Ⅰ (NEC)
  set(0x13, "\xFA\x4A");  // Ⅰ again (IBM): the same text
  set(0x14, "\x88\x40");  // not CP932
  set(0x15, "\x82\xA0");  // あ: fine
  // 0x16 empty
  set(0x0A, "\x82\xA0");  // behind a control code: no code shows it
  const GlyphTable table = TableOf(bytes);
  const decoder::Cells cells = decoder::CellsOf(table);
  using decoder::FillReason;
  EXPECT_EQ(decoder::ReasonToFill(cells[0x10]), FillReason::kBlank);
  EXPECT_EQ(decoder::ReasonToFill(cells[0x11]), FillReason::kBlank);
  EXPECT_EQ(cells[0x12].same_as, 0x13);
  EXPECT_EQ(cells[0x13].same_as, 0x12);
  EXPECT_EQ(decoder::ReasonToFill(cells[0x14]), FillReason::kNotShiftJis);
  EXPECT_EQ(decoder::ReasonToFill(cells[0x15]), FillReason::kNone);
  EXPECT_EQ(decoder::ReasonToFill(cells[0x16]), FillReason::kEmpty);
  EXPECT_TRUE(cells[0x0A].unreachable);
  // Each cell's code, its name and its place, as the page shows them.
  struct Place {
    unsigned entry;
    int code;
    const char* name;
    bool control;
    int page, line, column;
  };
  for (const Place& p :
       std::vector<Place>{{0x0A, -1, "0x0A", true, 0, 1, 11},
                          {0x35, 0x35, "0x35", false, 0, 4, 6},
                          {0xFF, 0x100, "0xFF 0x00", false, 0, 16, 16},
                          {0x100, 0x101, "0xFF 0x01", false, 1, 1, 1},
                          {0x1FE, -1, "", false, 1, 16, 15}}) {
    const decoder::Cell& c = cells[p.entry];
    EXPECT_EQ(c.code, p.code) << p.entry;
    EXPECT_EQ(c.name, p.name) << p.entry;
    EXPECT_EQ(c.control, p.control) << p.entry;
    EXPECT_EQ((std::vector<int>{c.page, c.line, c.column}),
              (std::vector<int>{p.page, p.line, p.column}))
        << p.entry;
  }
  const Window w =
      WindowOf(Bytes({0x15, 0x13, 0x10, 0x00, 0x13, 0x16, 0x15, 0x15}), 0, 7);
  EXPECT_EQ(msgdump::ToFillText(decoder::GlyphsToFill(table, w)),
            "13\t2\tsame as 12\t$000001\t…あ«Ⅰ»　⏎Ⅰああ…\n"
            "10\t1\tblank\t$000002\t…あⅠ«　»⏎Ⅰああ…\n"
            "16\t1\tempty\t$000005\t…あⅠ　⏎Ⅰ«»ああ…\n");
}

}  // namespace
