// MsgConv, the walk that cuts the text window into the game's codes.  Every
// rendering of the script (Shift-JIS, UTF-8, Atlas, the glyphs to fill, the
// page's trace) is made from this one walk.
#ifndef ZOL_DECODER_WALK_H
#define ZOL_DECODER_WALK_H

#include <cstdint>

#include "glyph_table.h"
#include "window.h"

namespace decoder {

// One code as the walk finds it.
struct Code {
  std::uint32_t offset;  // where it starts in the image
  std::uint16_t index;   // c for a one-byte code, 256 + n for 0xFF n
  std::uint16_t size;    // bytes it took from the image: 1, or 2
};

// Codes two bytes wide: the kanji prefix with its n, and 0x05 and 0x0B,
// which take the byte after them without looking at it.
constexpr bool TakesNextByte(unsigned c) {
  return c == glyph_table::kKanjiPrefix || c == 0x05 || c == 0x0B;
}

// The codes after which the game starts a new line of text.
constexpr bool BreaksLine(unsigned c) {
  return c == 0x00 || c == 0x01 || c == 0x02 || c == 0x0B;
}

enum class WalkEnd {
  kWindowDone,  // every code up to end was decoded
  kEndOfImage,  // the image ended inside the window: the script says "[EOF]"
};

// Walks the window code by code from its start, calling visit(Code) for
// each.  A two-byte code at end still takes the byte after it; one at the
// image's last byte takes that byte alone (0xFF alone is index 0xFF) and
// the walk still steps two.  Nothing is visited when start > end.
template <typename Visit>
WalkEnd MsgConv(const Window& w, Visit&& visit) {
  if (w.start > w.end) return WalkEnd::kWindowDone;
  const unsigned char* const b = w.bytes.data();
  const std::uint64_t have = w.bytes.size();
  const std::uint64_t last = std::uint64_t{w.end} - w.start;  // index of end
  // Both bytes of every code before stop are in the window's bytes.
  const std::uint64_t stop = have == 0             ? 0
                             : have - 1 < last + 1 ? have - 1
                                                   : last + 1;
  std::uint64_t i = 0;
  while (i < stop) {
    // The step is a branch, not a looked-up width: the processor runs
    // ahead on the usual one-byte path instead of waiting for the load.
    const unsigned c = b[i];
    const auto offset = static_cast<std::uint32_t>(w.start + i);
    if (TakesNextByte(c)) {
      const unsigned index =
          c == glyph_table::kKanjiPrefix ? 256 + b[i + 1] : c;
      visit(Code{offset, static_cast<std::uint16_t>(index), 2});
      i += 2;
    } else {
      visit(Code{offset, static_cast<std::uint16_t>(c), 1});
      i += 1;
    }
  }
  if (i > last) return WalkEnd::kWindowDone;
  if (i + 1 == have) {  // the image's very last byte
    const unsigned c = b[i];
    visit(Code{static_cast<std::uint32_t>(w.start + i),
               static_cast<std::uint16_t>(c), 1});
    i += TakesNextByte(c) ? 2 : 1;
    if (i > last) return WalkEnd::kWindowDone;
  }
  return WalkEnd::kEndOfImage;
}

}  // namespace decoder

#endif  // ZOL_DECODER_WALK_H
