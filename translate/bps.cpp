// BPS patches and the CRC-32 they are checked by.
#include "bps.h"

#include <array>

namespace translate {

namespace {

void PutNumber(std::uint64_t n, std::vector<unsigned char>* out) {
  for (;;) {
    const auto low = static_cast<unsigned char>(n & 0x7F);
    n >>= 7;
    if (n == 0) {
      out->push_back(0x80 | low);
      return;
    }
    out->push_back(low);
    --n;  // so that every number has one spelling
  }
}

void PutCrc(std::uint32_t crc, std::vector<unsigned char>* out) {
  for (int k = 0; k < 4; ++k)
    out->push_back(static_cast<unsigned char>(crc >> (8 * k)));
}

// A run of length bytes: action 0 reads them from the source, 1 stores them.
void PutRun(unsigned action, std::uint64_t length,
            std::vector<unsigned char>* out) {
  PutNumber((length - 1) << 2 | action, out);
}

}  // namespace

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) != 0 ? 0xEDB88320 ^ c >> 1 : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ crc >> 8;
  return crc ^ 0xFFFFFFFF;
}

std::vector<unsigned char> MakeBps(const std::vector<unsigned char>& source,
                                   const std::vector<unsigned char>& target) {
  std::vector<unsigned char> patch = {'B', 'P', 'S', '1'};
  PutNumber(source.size(), &patch);
  PutNumber(target.size(), &patch);
  PutNumber(0, &patch);  // no metadata
  auto same = [&](std::size_t i) {
    return i < source.size() && source[i] == target[i];
  };
  for (std::size_t i = 0; i < target.size();) {
    std::size_t j = i;
    if (same(i)) {
      while (j < target.size() && same(j)) ++j;
      PutRun(0, j - i, &patch);
    } else {
      while (j < target.size() && !same(j)) ++j;
      PutRun(1, j - i, &patch);
      patch.insert(patch.end(), target.begin() + static_cast<std::ptrdiff_t>(i),
                   target.begin() + static_cast<std::ptrdiff_t>(j));
    }
    i = j;
  }
  PutCrc(Crc32(source.data(), source.size()), &patch);
  PutCrc(Crc32(target.data(), target.size()), &patch);
  PutCrc(Crc32(patch.data(), patch.size()), &patch);
  return patch;
}

}  // namespace translate
