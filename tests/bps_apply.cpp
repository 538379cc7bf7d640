// The tests' BPS patcher: every action, every check.
#include "bps_apply.h"

#include <cstdint>

namespace testing_util {

namespace {

std::uint32_t Crc(const unsigned char* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

}  // namespace

bool ApplyBps(const std::vector<unsigned char>& patch,
              const std::vector<unsigned char>& source,
              std::vector<unsigned char>* target, std::string* why) {
  auto fail = [&](const char* what) {
    *why = what;
    return false;
  };
  if (patch.size() < 4 + 3 + 12 ||
      std::string(patch.begin(), patch.begin() + 4) != "BPS1")
    return fail("no BPS1 header");
  const std::size_t end = patch.size() - 12;
  std::size_t at = 4;
  bool bad = false;
  auto number = [&] {
    std::uint64_t n = 0, shift = 1;
    for (;;) {
      if (at >= end || shift > (std::uint64_t{1} << 56)) {
        bad = true;
        return n;
      }
      const unsigned char x = patch[at++];
      n += (x & 0x7F) * shift;
      if ((x & 0x80) != 0) return n;
      shift <<= 7;
      n += shift;
    }
  };
  const std::uint64_t source_size = number();
  const std::uint64_t target_size = number();
  const std::uint64_t metadata = number();
  if (bad || source_size != source.size() || target_size > (1u << 30) ||
      metadata > end - at)
    return fail("bad sizes");
  at += metadata;
  std::vector<unsigned char>& out = *target;
  out.clear();
  std::uint64_t source_at = 0, target_at = 0;
  auto relative = [&](std::uint64_t* offset) {
    const std::uint64_t d = number();
    *offset = (d & 1) != 0 ? *offset - (d >> 1) : *offset + (d >> 1);
  };
  while (at < end) {
    const std::uint64_t run = number();
    const std::uint64_t length = (run >> 2) + 1;
    if (bad || out.size() + length > target_size) return fail("past the end");
    switch (run & 3) {
      case 0:  // SourceRead
        if (out.size() + length > source.size()) return fail("source read");
        out.insert(out.end(), source.begin() + out.size(),
                   source.begin() + out.size() + length);
        break;
      case 1:  // TargetRead
        if (length > end - at) return fail("target read");
        out.insert(out.end(), patch.begin() + at, patch.begin() + at + length);
        at += length;
        break;
      case 2:  // SourceCopy
        relative(&source_at);
        if (bad || source_at > source.size() ||
            length > source.size() - source_at)
          return fail("source copy");
        out.insert(out.end(), source.begin() + source_at,
                   source.begin() + source_at + length);
        source_at += length;
        break;
      default:  // TargetCopy, byte by byte: it may overlap what it writes
        relative(&target_at);
        if (bad || target_at >= out.size()) return fail("target copy");
        for (std::uint64_t k = 0; k < length; ++k)
          out.push_back(out[target_at++]);
    }
  }
  if (out.size() != target_size) return fail("short target");
  auto crc_at = [&](std::size_t from) {
    return std::uint32_t{patch[from]} | std::uint32_t{patch[from + 1]} << 8 |
           std::uint32_t{patch[from + 2]} << 16 |
           std::uint32_t{patch[from + 3]} << 24;
  };
  if (crc_at(end) != Crc(source.data(), source.size()))
    return fail("source CRC");
  if (crc_at(end + 4) != Crc(out.data(), out.size())) return fail("target CRC");
  if (crc_at(end + 8) != Crc(patch.data(), patch.size() - 4))
    return fail("patch CRC");
  return true;
}

}  // namespace testing_util
