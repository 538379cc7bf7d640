// BPS patches, the format ROM hacks are shared in: the bytes that turn the
// original image into the patched one, which any BPS patcher (Flips,
// RomPatcher.js, beat) applies.  Only changed runs are stored.
#ifndef ZOL_TRANSLATE_BPS_H
#define ZOL_TRANSLATE_BPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace translate {

// The CRC-32 of data (the zlib and PNG one) that BPS checks files by.
std::uint32_t Crc32(const unsigned char* data, std::size_t size);

// A BPS patch from source to target: "BPS1", the sizes, then runs read
// from the source where the bytes are unchanged and stored where they
// differ, then the CRC-32s of source, target and patch.
std::vector<unsigned char> MakeBps(const std::vector<unsigned char>& source,
                                   const std::vector<unsigned char>& target);

}  // namespace translate

#endif  // ZOL_TRANSLATE_BPS_H
