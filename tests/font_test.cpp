// The font core: glyphs decoded from and encoded into each format, layouts
// read, where each entry's glyph lies, and the sample's font found and read.
#include "font.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "scene.h"

namespace {

using font::Format;

// Each format against bytes worked out by hand from its layout: a few set
// bytes, and the glyph rows they make.
TEST(FontGlyphTest, EachFormatDecodesAndEncodesBack) {
  struct Case {
    Format format;
    std::vector<std::pair<int, int>> bytes;  // index, value; the rest 0
    std::vector<std::pair<int, int>> rows;   // y, row; the rest 0
  };
  const std::vector<Case> cases = {
      // Row 0 is bytes 0-1, bit 7 of byte 0 the leftmost pixel.
      {Format::k1bpp,
       {{0, 0x80}, {1, 0x01}, {2, 0x12}, {3, 0x34}, {31, 0xFF}},
       {{0, 0x8001}, {1, 0x1234}, {15, 0x00FF}}},
      // Tiles of 16 bytes TL, TR, BL, BR; bytes 2r, 2r+1 planes 0, 1.
      {Format::k2bpp,
       {{0, 0x80}, {1, 0x01}, {22, 0x0F}, {47, 0xF0}, {48, 0x01}},
       {{0, 0x8100}, {3, 0x000F}, {15, 0xF000}, {8, 0x0001}}},
      // Tiles of 32 bytes; planes 2 and 3 in the tile's bytes 16-31.
      {Format::k4bpp,
       {{17, 0x40}, {58, 0x02}, {68, 0x80}, {111, 0xFF}, {88, 0x01}},
       {{0, 0x4000}, {5, 0x0002}, {10, 0x8000}, {15, 0x00FF}, {12, 0x0100}}},
  };
  for (const Case& c : cases) {
    const std::size_t size = font::GlyphBytes(c.format);
    std::vector<unsigned char> bytes(size, 0);
    for (auto [at, value] : c.bytes)
      bytes[at] = static_cast<unsigned char>(value);
    font::Glyph want{};
    for (auto [y, row] : c.rows) want[y] = static_cast<std::uint16_t>(row);
    const font::Glyph got = font::DecodeGlyph(c.format, bytes.data());
    EXPECT_EQ(got, want) << font::FormatName(c.format);
    // Encoded with any ink value, it decodes to itself; each plane holds the
    // ink's bit and nothing else.
    const unsigned inks = c.format == Format::k1bpp   ? 1
                          : c.format == Format::k2bpp ? 3
                                                      : 15;
    for (unsigned ink = 1; ink <= inks; ++ink) {
      std::vector<unsigned char> out(size, 0xAA);
      font::EncodeGlyph(c.format, want, ink, out.data());
      EXPECT_EQ(font::DecodeGlyph(c.format, out.data()), want)
          << font::FormatName(c.format) << " ink " << ink;
      if (c.format == Format::k1bpp) {
        EXPECT_EQ(out, bytes);
        continue;
      }
      std::vector<unsigned char> plane(size, 0);  // the glyph in plane 0 alone
      font::EncodeGlyph(c.format, want, 1, plane.data());
      for (std::size_t i = 0; i < size; ++i) {
        const unsigned p =
            (c.format == Format::k4bpp && i % 32 >= 16 ? 2 : 0) + i % 2;
        EXPECT_EQ(out[i], (ink >> p & 1) != 0
                              ? plane[i - i % 2 - (p >= 2 ? 16 : 0)]
                              : 0)
            << font::FormatName(c.format) << " ink " << ink << " byte " << i;
      }
    }
  }
}

TEST(FontLayoutTest, LayoutsReadAndRefused) {
  struct Case {
    const char* text;
    bool ok;
    Format format;
    std::uint64_t offset;
    bool has_kanji;
    std::uint64_t kanji;
    font::LayoutError::Kind kind;  // when refused, and where
    std::size_t at;
  };
  using E = font::LayoutError;
  const std::vector<Case> cases = {
      {"1bpp:0x10", true, Format::k1bpp, 16, false, 0, E::kFormat, 0},
      {"2bpp:4096:0x2000", true, Format::k2bpp, 4096, true, 0x2000, E::kFormat,
       0},
      {"4bpp:0XfF:0", true, Format::k4bpp, 255, true, 0, E::kFormat, 0},
      {"4bpp:18446744073709551615", true, Format::k4bpp, UINT64_MAX, false, 0,
       E::kFormat, 0},
      {"3bpp:0", false, Format::k1bpp, 0, false, 0, E::kFormat, 0},
      {"1bpp0x10", false, Format::k1bpp, 0, false, 0, E::kFormat, 0},
      {"1bpp", false, Format::k1bpp, 0, false, 0, E::kFormat, 0},
      {"1bpp:", false, Format::k1bpp, 0, false, 0, E::kOffset, 5},
      {"1bpp:0x", false, Format::k1bpp, 0, false, 0, E::kOffset, 5},
      {"1bpp:-1", false, Format::k1bpp, 0, false, 0, E::kOffset, 5},
      {"1bpp:18446744073709551616", false, Format::k1bpp, 0, false, 0,
       E::kOffset, 5},
      {"1bpp:16:", false, Format::k1bpp, 0, false, 0, E::kKanji, 8},
      {"1bpp:16:32x", false, Format::k1bpp, 0, false, 0, E::kTrailing, 10},
      {"1bpp:16:32:48", false, Format::k1bpp, 0, false, 0, E::kTrailing, 10},
      {"1bpp:0x1G", false, Format::k1bpp, 0, false, 0, E::kTrailing, 8},
  };
  for (const Case& c : cases) {
    font::Layout s;
    font::LayoutError e;
    ASSERT_EQ(font::ParseLayout(c.text, &s, &e), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(s.format, c.format) << c.text;
      EXPECT_EQ(s.offset, c.offset) << c.text;
      EXPECT_EQ(s.has_kanji, c.has_kanji) << c.text;
      EXPECT_EQ(s.kanji, c.kanji) << c.text;
      // Written out and read back, the same layout.
      font::Layout again;
      ASSERT_TRUE(font::ParseLayout(font::LayoutText(s), &again, &e)) << c.text;
      EXPECT_EQ(font::LayoutText(again), font::LayoutText(s));
    } else {
      EXPECT_EQ(e.kind, c.kind) << c.text;
      EXPECT_EQ(e.at, c.at) << c.text;
    }
  }
}

TEST(FontLayoutTest, WhereEachEntrysGlyphLies) {
  struct Case {
    const char* layout;
    unsigned entry;
    bool has;
    std::uint64_t at;
  };
  const std::vector<Case> cases = {
      {"2bpp:0x100:0x1000", 15, false, 0},  // behind the control codes
      {"2bpp:0x100:0x1000", 16, true, 0x100},
      {"2bpp:0x100:0x1000", 255, true, 0x100 + 239 * 64},  // also 0xFF 0x00
      {"2bpp:0x100:0x1000", 256, true, 0x1000},            // 0xFF 0x01
      {"2bpp:0x100:0x1000", 509, true, 0x1000 + 253 * 64},
      {"2bpp:0x100:0x1000", 510, false, 0},  // no code reaches it
      {"1bpp:0x100", 256, false, 0},         // no kanji page
      {"4bpp:0:0x100", 300, true, 0x100 + 44 * 128},
      {"1bpp:18446744073709551615", 17, false, 0},  // past the last offset
  };
  for (const Case& c : cases) {
    font::Layout s;
    font::LayoutError e;
    ASSERT_TRUE(font::ParseLayout(c.layout, &s, &e)) << c.layout;
    std::uint64_t at = 0;
    EXPECT_EQ(font::GlyphOffset(s, c.entry, &at), c.has)
        << c.layout << " " << c.entry;
    if (c.has) {
      EXPECT_EQ(at, c.at) << c.layout << " " << c.entry;
    }
  }
  // A glyph the image ends inside of is none.
  font::Layout s;
  font::LayoutError e;
  ASSERT_TRUE(font::ParseLayout("1bpp:0", &s, &e));
  const std::vector<unsigned char> image(32 + 31, 0xFF);
  font::Glyph g{};
  EXPECT_TRUE(font::GlyphOfEntry(s, image.data(), image.size(), 16, &g));
  EXPECT_FALSE(font::GlyphOfEntry(s, image.data(), image.size(), 17, &g));
}

// The sample image's font, drawn from a design the references do not hold:
// found where it is, and most of its glyphs read as their grid characters.
TEST(FontSampleTest, FoundAndReadFirstTime) {
  const std::vector<unsigned char> image = sample::ImageOf("");
  const font::Matcher matcher(font::BuiltInReferences());
  const std::vector<font::Found> found =
      font::FindFonts(matcher, image.data(), image.size());
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(font::LayoutText(found[0].layout), sample::kFontLayout);

  font::Layout layout;
  font::LayoutError e;
  ASSERT_TRUE(font::ParseLayout(sample::kFontLayout, &layout, &e));
  const std::vector<font::Suggestion> suggestions =
      font::Suggest(matcher, layout, image.data(), image.size());
  std::size_t first = 0;
  std::size_t five = 0;
  for (const font::Suggestion& s : suggestions) {
    ASSERT_EQ(s.codes.size(), font::kSuggestions);
    const unsigned want = sample::GridCode(s.entry);
    first += s.codes[0] == want ? 1 : 0;
    for (unsigned c : s.codes) five += c == want ? 1 : 0;
  }
  // Every inked cell of the grids (all but the ideographic spaces).
  std::size_t inked = 0;
  for (unsigned entry = 16; entry < 510; ++entry)
    inked += sample::GridCode(entry) != 0x8140 ? 1 : 0;
  EXPECT_EQ(suggestions.size(), inked);
  const double share = static_cast<double>(first) / static_cast<double>(inked);
  std::printf("sample font: %zu glyphs, first choice %.1f%%, top five %.1f%%\n",
              inked, 100 * share,
              100.0 * static_cast<double>(five) / static_cast<double>(inked));
  EXPECT_GE(share, 0.93);
}

// The sample's glyphs stored again in each format, at round and odd
// offsets, the kanji page apart, before the one-byte page, straight after
// it, or missing: found where they were put.
TEST(FontFindTest, FontsFoundWhereverTheyLie) {
  const std::vector<unsigned char> sample_image = sample::ImageOf("");
  font::Layout from;
  font::LayoutError e;
  ASSERT_TRUE(font::ParseLayout(sample::kFontLayout, &from, &e));
  const font::Matcher matcher(font::BuiltInReferences());
  const char* const cases[] = {
      "1bpp:0x10000:0x20000",
      "4bpp:0x40000:0x10000",  // the kanji page first
      "2bpp:0x8000:0xBC00",    // the kanji page straight after entry 255
      "1bpp:0x12345:0x30001",  // odd offsets
      "4bpp:0x60000",          // no kanji page
  };
  for (const char* text : cases) {
    font::Layout to;
    ASSERT_TRUE(font::ParseLayout(text, &to, &e)) << text;
    std::vector<unsigned char> image(std::size_t{1} << 19, 0);
    for (unsigned entry = 16; entry < 510; ++entry) {
      font::Glyph g{};
      std::uint64_t at = 0;
      if (font::GlyphOfEntry(from, sample_image.data(), sample_image.size(),
                             entry, &g) &&
          font::GlyphOffset(to, entry, &at))
        font::EncodeGlyph(to.format, g, 1, image.data() + at);
    }
    const std::vector<font::Found> found =
        font::FindFonts(matcher, image.data(), image.size());
    ASSERT_FALSE(found.empty()) << text;
    EXPECT_EQ(font::LayoutText(found[0].layout), font::LayoutText(to)) << text;
  }
}

// Images too small for a glyph, and no references at all: nothing found,
// nothing suggested, nothing read out of bounds.
TEST(FontFindTest, NothingToFindOrMatch) {
  const font::Matcher none({});
  const font::Matcher refs(font::BuiltInReferences());
  font::Layout layout;
  font::LayoutError e;
  ASSERT_TRUE(font::ParseLayout("4bpp:0:0", &layout, &e));
  for (std::size_t size : {0, 1, 31, 127, 300}) {
    const std::vector<unsigned char> image(size, 0xFF);
    EXPECT_TRUE(font::FindFonts(none, image.data(), size).empty()) << size;
    EXPECT_TRUE(font::FindFonts(refs, image.data(), size).empty()) << size;
    EXPECT_TRUE(font::Suggest(none, layout, image.data(), size).empty())
        << size;
  }
  std::vector<unsigned> codes;
  std::vector<float> scores;
  EXPECT_EQ(none.Match(font::Glyph{0xFFFF}, 5, &codes, &scores), 0U);
  EXPECT_TRUE(codes.empty());
}

}  // namespace
