// What an image's size says about it.
#include "image_hints.h"

#include "window.h"

namespace decoder {

ImageSizeHints HintsForImageSize(std::uint64_t size) {
  constexpr std::uint64_t kBank = std::uint64_t{32} * 1024;
  ImageSizeHints hints;
  hints.copier_header = size > kBank && size % kBank == kCopierHeaderBytes;
  hints.before_window = size <= kWindowStart;
  hints.inside_window = size > kWindowStart && size <= kWindowEnd;
  return hints;
}

}  // namespace decoder
