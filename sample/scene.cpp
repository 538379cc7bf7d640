// The sample's scene read, and its image made.
#include "scene.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "font.h"
#include "window.h"

namespace sample {

namespace {

// The grids (Shift-JIS, CR LF) and the font's glyphs of their characters
// (records of font::FontData), as the build embeds them.
const unsigned char kGrid0[] = {
#include "zol_00.inc"
};
const unsigned char kGrid1[] = {
#include "zol_01.inc"
};
const unsigned char kMincho[] = {
#include "mincho.inc"
};

// Draws the sample font into image where kFontLayout says.
void DrawFont(std::vector<unsigned char>* image) {
  font::Layout layout;
  font::LayoutError error;
  font::ParseLayout(kFontLayout, &layout, &error);
  for (unsigned e = 0; e < 512; ++e) {
    const unsigned code = GridCode(e);
    std::uint64_t at = 0;
    if (code == 0 || !font::GlyphOffset(layout, e, &at)) continue;
    for (std::size_t r = 0; r + 34 <= sizeof kMincho; r += 34)
      if (static_cast<unsigned>(kMincho[r] << 8 | kMincho[r + 1]) == code)
        font::EncodeGlyph(
            layout.format,
            font::DecodeGlyph(font::Format::k1bpp, kMincho + r + 2), 3,
            image->data() + at);
  }
}

}  // namespace

unsigned GridCode(unsigned e) {
  const unsigned char* grid = e < 256 ? kGrid0 : kGrid1;
  const std::size_t size = e < 256 ? sizeof kGrid0 : sizeof kGrid1;
  const std::size_t at = (e % 256 / 16) * 34 + (e % 16) * 2;  // 32 bytes, CR LF
  return at + 1 < size ? static_cast<unsigned>(grid[at] << 8 | grid[at + 1])
                       : 0;
}

bool ParseScene(const std::string& text, std::string* bytes, std::string* why) {
  int line = 1;
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (c == '\n' || std::isspace(c) != 0) {
      line += c == '\n' ? 1 : 0;
      ++at;
    } else {
      std::size_t end = at;
      while (end < text.size() &&
             std::isspace(static_cast<unsigned char>(text[end])) == 0 &&
             text[end] != '#')
        ++end;
      const std::string token = text.substr(at, end - at);
      if (token.size() != 2 ||
          std::isxdigit(static_cast<unsigned char>(token[0])) == 0 ||
          std::isxdigit(static_cast<unsigned char>(token[1])) == 0) {
        *why = "line " + std::to_string(line) + ": '" + token +
               "' is not a two-digit hex byte";
        return false;
      }
      *bytes += static_cast<char>(std::strtoul(token.c_str(), nullptr, 16));
      at = end;
    }
  }
  return true;
}

std::vector<unsigned char> ImageOf(const std::string& scene) {
  constexpr std::size_t kSize = 3 << 20;
  constexpr unsigned char kPadding = 0x08;
  std::vector<unsigned char> image(kSize, 0);
  const std::size_t start = decoder::kWindowStart;
  const std::size_t end = decoder::kWindowEnd;
  std::fill(image.begin() + start, image.begin() + end + 1, kPadding);
  std::copy_n(scene.begin(), std::min(scene.size(), end + 1 - start),
              image.begin() + start);
  DrawFont(&image);
  return image;
}

}  // namespace sample
