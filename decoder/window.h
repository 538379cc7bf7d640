// The text window: where in the ROM image the script lies, and its bytes,
// read with one read.
#ifndef ZOL_DECODER_WINDOW_H
#define ZOL_DECODER_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace decoder {

// The game's script lies at these offsets of the ROM image, inclusive at both
// ends.  They are plain file offsets: a copier header in front moves them.
inline constexpr std::uint32_t kWindowStart = 0x2EF800;
inline constexpr std::uint32_t kWindowEnd = 0x2FFEB8;

struct Window {
  std::uint32_t start = 0;  // first and last offset of the window
  std::uint32_t end = 0;
  // The image's bytes from start on, up to end + 1 (a two-byte code whose
  // first byte is end takes the byte after it); fewer where the image ends.
  std::vector<unsigned char> bytes;
};

// Reads the window start..end of the image fp, which holds size bytes,
// with one read.  False, with errno set, on a read error.
bool ReadWindow(std::FILE* fp, std::uint64_t size, std::uint32_t start,
                std::uint32_t end, Window* window);

// The window start..end of an image held in memory.
Window WindowOf(const unsigned char* image, std::size_t size,
                std::uint32_t start, std::uint32_t end);

}  // namespace decoder

#endif  // ZOL_DECODER_WINDOW_H
