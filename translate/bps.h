// BPS patches, the format ROM hacks are shared in: the bytes that turn the
// original image into the patched one, which any BPS patcher (Flips,
// RomPatcher.js, beat) applies.  Only what no copy can make is stored.
#ifndef ZOL_TRANSLATE_BPS_H
#define ZOL_TRANSLATE_BPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace translate {

// The CRC-32 of data (the zlib and PNG one) that BPS checks files by.
std::uint32_t Crc32(const unsigned char* data, std::size_t size);

// A BPS patch from source to target: "BPS1", the sizes, then actions
// that read the source where the bytes are unchanged, copy spans of the
// source that moved and of the target already made (runs of one byte
// among them), and store the rest; then the CRC-32s of source, target and
// patch.  Time and memory grow linearly with the images.
std::vector<unsigned char> MakeBps(const std::vector<unsigned char>& source,
                                   const std::vector<unsigned char>& target);

}  // namespace translate

#endif  // ZOL_TRANSLATE_BPS_H
