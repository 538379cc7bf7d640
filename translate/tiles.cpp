// Pairs of half-width letters drawn as one glyph.
#include "tiles.h"

#include <cstddef>

namespace translate {

namespace {

constexpr unsigned char kLatin[95][16] = {
#include "latin8x16.inc"
};

}  // namespace

Tile DrawTile(std::string_view text) {
  Tile tile{};
  for (std::size_t half = 0; half < 2 && half < text.size(); ++half) {
    const auto c = static_cast<unsigned char>(text[half]);
    if (c < 0x20 || c > 0x7E) continue;
    for (std::size_t row = 0; row < 16; ++row)
      tile[2 * row + half] = kLatin[c - 0x20][row];
  }
  return tile;
}

}  // namespace translate
