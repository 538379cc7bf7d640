// What the matcher keeps of each reference glyph, shared by the matcher and
// the font finder (inside font/ only).
#ifndef ZOL_FONT_MATCH_IMPL_H
#define ZOL_FONT_MATCH_IMPL_H

#include <cstdint>
#include <vector>

#include "font.h"

namespace font {

// A glyph's coarse features (blurred ink and stroke directions, pooled),
// zero-mean and scaled to a norm of kOne: a dot product of two is their
// correlation times kOne squared.
inline constexpr int kCoarse = 128;
inline constexpr int kOne = 1 << 12;
using Coarse = std::array<std::int16_t, kCoarse>;

// The coarse features of glyph, unshifted.
Coarse CoarseOf(const Glyph& glyph);

// The dot product of two coarse features.
std::int32_t Dot(const Coarse& a, const Coarse& b);

struct Matcher::Impl {
  struct Ref {
    unsigned code;
    Glyph glyph;
  };
  std::vector<Ref> refs;
  std::vector<Coarse> coarse;        // one per ref
  std::vector<unsigned> characters;  // distinct codes, ascending
  mutable std::vector<std::vector<std::int16_t>> fine;  // filled when needed
};

// Whether a Shift-JIS code is kana (JIS X 0208 rows 4 and 5).
constexpr bool IsKana(unsigned code) {
  return code >= 0x829F && code <= 0x8396;
}

// Whether a Shift-JIS code is a kanji (JIS X 0208 row 16 on).
constexpr bool IsKanji(unsigned code) { return code >= 0x889F; }

}  // namespace font

#endif  // ZOL_FONT_MATCH_IMPL_H
