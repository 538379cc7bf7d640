// What the size of a ROM image says about it, for the hints of msgdump and
// the page.  A headerless SFC image is a whole number of 32 KiB banks;
// copier devices put a 512-byte header in front, which moves every offset,
// the text window's too, 512 bytes on.  An image that ends before or inside
// the window is the wrong file or a cut one.
#ifndef ZOL_DECODER_IMAGE_HINTS_H
#define ZOL_DECODER_IMAGE_HINTS_H

#include <cstdint>

namespace decoder {

// The bytes a copier device puts in front of an image.
inline constexpr std::uint32_t kCopierHeaderBytes = 512;

struct ImageSizeHints {
  bool copier_header = false;  // 512 bytes past a multiple of 32 KiB
  bool before_window = false;  // ends before the text window starts
  bool inside_window = false;  // ends inside it: the script stops early
};
ImageSizeHints HintsForImageSize(std::uint64_t size);

}  // namespace decoder

#endif  // ZOL_DECODER_IMAGE_HINTS_H
