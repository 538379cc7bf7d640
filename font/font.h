// The game's font as the image holds it: 16 x 16 glyphs in one of three
// formats, where they lie for each table entry, which characters they look
// like, and where in an image a font lies at all.  Pure: nothing here prints
// or calls the system.
#ifndef ZOL_FONT_FONT_H
#define ZOL_FONT_FONT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace font {

// A glyph: 16 rows, bit 15 of a row its leftmost pixel, set where inked.
using Glyph = std::array<std::uint16_t, 16>;

// How a glyph is stored.
//   k1bpp: 16 rows of 2 bytes; bit 7 of a row's first byte is its leftmost
//          pixel.  32 bytes.
//   k2bpp: four SNES 2bpp 8 x 8 tiles (top-left, top-right, bottom-left,
//          bottom-right); in a tile, bytes 2r and 2r+1 are planes 0 and 1 of
//          row r, pixel x is bit 7 - x.  64 bytes.
//   k4bpp: four SNES 4bpp tiles in that order: planes 0 and 1 as in 2bpp in
//          bytes 0-15, planes 2 and 3 in bytes 16-31.  128 bytes.
// Any pixel value but 0 is ink.
enum class Format { k1bpp, k2bpp, k4bpp };
inline constexpr Format kFormats[] = {Format::k1bpp, Format::k2bpp,
                                      Format::k4bpp};

// The bytes one glyph takes in format.
constexpr std::size_t GlyphBytes(Format format) {
  return format == Format::k1bpp ? 32 : format == Format::k2bpp ? 64 : 128;
}

// "1bpp", "2bpp", "4bpp".
const char* FormatName(Format format);

// The glyph stored at bytes (GlyphBytes(format) of them).
Glyph DecodeGlyph(Format format, const unsigned char* bytes);

// Stores glyph at bytes in format, its ink as pixel value ink (1 to 3 in
// 2bpp, 1 to 15 in 4bpp; 1bpp has only 1) and the rest 0.
void EncodeGlyph(Format format, const Glyph& glyph, unsigned ink,
                 unsigned char* bytes);

// Where the font lies: FORMAT:OFFSET[:KANJI].  The glyph of table entry e,
// for 16 <= e <= 255, is at offset + (e - 16) * size; entry 256 + i at
// kanji + i * size.  Without kanji the kanji page has no glyphs.
struct Layout {
  Format format = Format::k1bpp;
  std::uint64_t offset = 0;
  bool has_kanji = false;
  std::uint64_t kanji = 0;
};

// Why a layout could not be read: the byte of the text where it went wrong,
// and what was wrong there.
struct LayoutError {
  enum Kind { kFormat, kOffset, kKanji, kTrailing };
  Kind kind = kFormat;
  std::size_t at = 0;
};

// Reads text ("2bpp:0xC8000:0xCC000"; offsets in hex with 0x, or decimal);
// false, with *error, if it is no layout.
bool ParseLayout(std::string_view text, Layout* layout, LayoutError* error);

// The layout as ParseLayout reads it, offsets in hex.
std::string LayoutText(const Layout& layout);

// Where table entry e's glyph starts in the image, or false where the layout
// gives entry e none (entries below 16 and above 509, the kanji page without
// a KANJI offset).
bool GlyphOffset(const Layout& layout, unsigned entry, std::uint64_t* at);

// The glyph of table entry e in image[0, size); false where it has none or
// the image ends before the glyph does.
bool GlyphOfEntry(const Layout& layout, const unsigned char* image,
                  std::size_t size, unsigned entry, Glyph* glyph);

// One reference font: records of 34 bytes, a character's Shift-JIS code
// (high byte first) and its glyph as 1bpp, in ascending code order.
struct FontData {
  const unsigned char* records;
  std::size_t size;
};

// The references built in: Shinonome 16-dot gothic and bold, and jiskan16
// (font/refs/).  Only programs that call this carry them.
std::vector<FontData> BuiltInReferences();

// Matches glyphs against reference fonts.  Building it reads the fonts'
// records (a partial record at the end is ignored); the fonts must outlive
// it.
class Matcher {
 public:
  explicit Matcher(const std::vector<FontData>& fonts);
  ~Matcher();
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // The Shift-JIS codes of the n characters glyph looks most like, best
  // first, with their scores (1 a perfect match), into *codes and *scores;
  // their count (fewer where the references hold fewer characters).
  std::size_t Match(const Glyph& glyph, std::size_t n,
                    std::vector<unsigned>* codes,
                    std::vector<float>* scores) const;

  // How many characters and how many glyphs the references hold.
  [[nodiscard]] std::size_t characters() const;
  [[nodiscard]] std::size_t glyphs() const;

  // (What the matcher keeps, for the font finder.)
  struct Impl;
  [[nodiscard]] const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

inline constexpr std::size_t kSuggestions = 5;

// The suggestions for one table entry whose glyph has ink: the likeliest
// characters' Shift-JIS codes, best first.
struct Suggestion {
  unsigned entry = 0;
  std::vector<unsigned> codes;
  std::vector<float> scores;
};

// Every inked entry's suggestions, in entry order.  Where two glyphs both
// look most like one character, the one it fits best keeps it first; the
// other puts its next choice first, if that scores almost as well.
std::vector<Suggestion> Suggest(const Matcher& matcher, const Layout& layout,
                                const unsigned char* image, std::size_t size);

// A font found in an image, and how well its glyphs matched (0 to 1).
struct Found {
  Layout layout;
  float score = 0;
};

// The likeliest fonts in image[0, size), best first: runs of glyphs in each
// format that look like the references, the one-byte page told from the
// kanji page by what it holds.
std::vector<Found> FindFonts(const Matcher& matcher, const unsigned char* image,
                             std::size_t size);

}  // namespace font

#endif  // ZOL_FONT_FONT_H
