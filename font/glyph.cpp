// Glyphs in and out of the image's three formats, and where the layout puts
// each table entry's glyph.
#include <cctype>
#include <cstdio>

#include "font.h"

namespace font {

namespace {

// The byte of tile t's row r, plane p (within its pair of planes) in a
// 2bpp or 4bpp glyph.
std::size_t TileByte(Format format, std::size_t tile, std::size_t row,
                     unsigned plane) {
  const std::size_t tile_bytes = format == Format::k2bpp ? 16 : 32;
  return tile * tile_bytes + (plane >= 2 ? 16 : 0) + 2 * row + (plane & 1);
}

unsigned Planes(Format format) {
  return format == Format::k1bpp ? 1 : format == Format::k2bpp ? 2 : 4;
}

// Reads a decimal or 0x-hexadecimal number at text[*at]; false if there is
// none or it overflows.
bool ReadNumber(std::string_view text, std::size_t* at, std::uint64_t* value) {
  std::size_t i = *at;
  unsigned base = 10;
  if (text.size() - i >= 2 && text[i] == '0' && (text[i + 1] | 0x20) == 'x') {
    base = 16;
    i += 2;
  }
  const std::size_t first = i;
  std::uint64_t v = 0;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    unsigned digit = 0;
    if (std::isdigit(c) != 0)
      digit = c - '0';
    else if (base == 16 && std::isxdigit(c) != 0)
      digit = (c | 0x20) - 'a' + 10;
    else
      break;
    if (v > (UINT64_MAX - digit) / base) return false;
    v = v * base + digit;
  }
  if (i == first) return false;
  *at = i;
  *value = v;
  return true;
}

}  // namespace

const char* FormatName(Format format) {
  return format == Format::k1bpp   ? "1bpp"
         : format == Format::k2bpp ? "2bpp"
                                   : "4bpp";
}

Glyph DecodeGlyph(Format format, const unsigned char* bytes) {
  Glyph g{};
  if (format == Format::k1bpp) {
    for (std::size_t y = 0; y < 16; ++y)
      g[y] = static_cast<std::uint16_t>(bytes[2 * y] << 8 | bytes[2 * y + 1]);
    return g;
  }
  // (The same as TileByte's layout, written out: this runs at every offset
  // of an image.)
  const bool four = format == Format::k4bpp;
  const std::size_t tile_bytes = four ? 32 : 16;
  for (std::size_t tile = 0; tile < 4; ++tile) {
    const unsigned char* t = bytes + tile * tile_bytes;
    const std::size_t top = (tile / 2) * 8;
    const int shift = (tile & 1) != 0 ? 0 : 8;
    for (std::size_t r = 0; r < 8; ++r) {
      unsigned ink = t[2 * r] | t[2 * r + 1];
      if (four) ink |= t[16 + 2 * r] | t[16 + 2 * r + 1];
      g[top + r] = static_cast<std::uint16_t>(g[top + r] | ink << shift);
    }
  }
  return g;
}

void EncodeGlyph(Format format, const Glyph& glyph, unsigned ink,
                 unsigned char* bytes) {
  if (format == Format::k1bpp) {
    for (std::size_t y = 0; y < 16; ++y) {
      bytes[2 * y] = static_cast<unsigned char>(glyph[y] >> 8);
      bytes[2 * y + 1] = static_cast<unsigned char>(glyph[y] & 0xFF);
    }
    return;
  }
  for (std::size_t i = 0; i < GlyphBytes(format); ++i) bytes[i] = 0;
  for (unsigned tile = 0; tile < 4; ++tile)
    for (unsigned r = 0; r < 8; ++r) {
      const unsigned y = (tile / 2) * 8 + r;
      const auto row =
          static_cast<unsigned char>(glyph[y] >> ((tile & 1) ? 0 : 8));
      for (unsigned p = 0; p < Planes(format); ++p)
        if ((ink >> p & 1) != 0) bytes[TileByte(format, tile, r, p)] = row;
    }
}

bool ParseLayout(std::string_view text, Layout* layout, LayoutError* error) {
  Layout s;
  std::size_t at = 4;
  bool named = false;
  for (Format f : kFormats)
    if (text.substr(0, 4) == FormatName(f)) {
      s.format = f;
      named = true;
    }
  if (!named || text.size() < 5 || text[4] != ':') {
    *error = {LayoutError::kFormat, 0};
    return false;
  }
  ++at;
  if (!ReadNumber(text, &at, &s.offset)) {
    *error = {LayoutError::kOffset, at};
    return false;
  }
  if (at < text.size() && text[at] == ':') {
    ++at;
    if (!ReadNumber(text, &at, &s.kanji)) {
      *error = {LayoutError::kKanji, at};
      return false;
    }
    s.has_kanji = true;
  }
  if (at != text.size()) {
    *error = {LayoutError::kTrailing, at};
    return false;
  }
  *layout = s;
  return true;
}

std::string LayoutText(const Layout& layout) {
  char s[64];
  int n = std::snprintf(s, sizeof s, "%s:0x%llX", FormatName(layout.format),
                        static_cast<unsigned long long>(layout.offset));
  if (layout.has_kanji)
    std::snprintf(s + n, sizeof s - static_cast<std::size_t>(n), ":0x%llX",
                  static_cast<unsigned long long>(layout.kanji));
  return s;
}

bool GlyphOffset(const Layout& layout, unsigned entry, std::uint64_t* at) {
  const std::uint64_t size = GlyphBytes(layout.format);
  std::uint64_t base = 0;
  std::uint64_t index = 0;
  if (entry >= 16 && entry <= 255) {
    base = layout.offset;
    index = entry - 16;
  } else if (entry >= 256 && entry <= 509 && layout.has_kanji) {
    base = layout.kanji;
    index = entry - 256;
  } else {
    return false;
  }
  if (base > UINT64_MAX - index * size) return false;
  *at = base + index * size;
  return true;
}

bool GlyphOfEntry(const Layout& layout, const unsigned char* image,
                  std::size_t size, unsigned entry, Glyph* glyph) {
  std::uint64_t at = 0;
  if (!GlyphOffset(layout, entry, &at) || at > size ||
      size - at < GlyphBytes(layout.format))
    return false;
  *glyph = DecodeGlyph(layout.format, image + at);
  return true;
}

}  // namespace font
