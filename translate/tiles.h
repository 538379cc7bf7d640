// English letters drawn into the game's 16 x 16 glyphs: two half-width
// 8 x 16 characters side by side, from a public-domain Latin bitmap font
// (latin8x16.inc, made by tools/latin8x16.py).
#ifndef ZOL_TRANSLATE_TILES_H
#define ZOL_TRANSLATE_TILES_H

#include <array>
#include <string_view>

namespace translate {

// A 16 x 16 one-bit glyph: 16 rows from the top, 2 bytes each, bit 7 of a
// row's first byte its leftmost pixel.
using Tile = std::array<unsigned char, 32>;

// The glyph of text's first character in the left half and its second (if
// any) in the right; a character that is not printable ASCII draws nothing.
Tile DrawTile(std::string_view text);

}  // namespace translate

#endif  // ZOL_TRANSLATE_TILES_H
