#include "cp932.h"

#include <array>
#include <cstdint>

namespace cp932 {

namespace {

constexpr std::size_t kLeads = 60;    // 0x81-0x9F, 0xE0-0xFC
constexpr std::size_t kTrails = 188;  // 0x40-0x7E, 0x80-0xFC

// One row per lead byte: the characters of its trail bytes in UTF-8,
// U+FFFD where the code is undefined.
const char* const kRows[kLeads] = {
#include "cp932.inc"
};

bool In(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

int LeadRow(unsigned b) {
  if (In(b, 0x81, 0x9F)) return static_cast<int>(b - 0x81);
  if (In(b, 0xE0, 0xFC)) return static_cast<int>(b - 0xE0 + 0x1F);
  return -1;
}

int TrailColumn(unsigned b) {
  if (In(b, 0x40, 0x7E)) return static_cast<int>(b - 0x40);
  if (In(b, 0x80, 0xFC)) return static_cast<int>(b - 0x41);
  return -1;
}

// The rows as code points, 0 where undefined; read from kRows once.
const std::array<std::uint16_t, kLeads * kTrails>& Table() {
  static const auto table = [] {
    std::array<std::uint16_t, kLeads * kTrails> t{};
    for (std::size_t row = 0; row < kLeads; ++row) {
      const auto* p = reinterpret_cast<const unsigned char*>(kRows[row]);
      for (std::size_t k = 0; k < kTrails; ++k) {
        // Every character of the table is in the BMP: 1 to 3 UTF-8 bytes.
        char32_t u = *p++;
        if (u >= 0xE0) {
          u = (u & 0x0F) << 12 | (p[0] & 0x3FU) << 6 | (p[1] & 0x3FU);
          p += 2;
        } else if (u >= 0xC0) {
          u = (u & 0x1F) << 6 | (p[0] & 0x3FU);
          p += 1;
        }
        t[row * kTrails + k] = u == 0xFFFD ? 0 : static_cast<std::uint16_t>(u);
      }
    }
    return t;
  }();
  return table;
}

}  // namespace

char32_t DoubleByte(unsigned lead, unsigned trail) {
  const int row = LeadRow(lead);
  const int col = TrailColumn(trail);
  if (row < 0 || col < 0) return 0;
  return Table()[static_cast<std::size_t>(row) * kTrails +
                 static_cast<std::size_t>(col)];
}

void AppendUtf8(char32_t u, std::string* out) {
  if (u < 0x80) {
    *out += static_cast<char>(u);
  } else if (u < 0x800) {
    *out += static_cast<char>(0xC0 | u >> 6);
    *out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | u >> 12);
    *out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

bool ToUtf8(const unsigned char* bytes, std::size_t size, std::string* out) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned b = bytes[i];
    if (b < 0x80) {
      text += static_cast<char>(b);
    } else if (In(b, 0xA1, 0xDF)) {
      AppendUtf8(0xFF61 + (b - 0xA1), &text);
    } else {
      // 0x80, 0xA0 and 0xFD-0xFF are undefined in Microsoft's table.
      const char32_t u = i + 1 < size ? DoubleByte(b, bytes[i + 1]) : 0;
      if (u == 0) return false;
      AppendUtf8(u, &text);
      ++i;
    }
  }
  *out += text;
  return true;
}

}  // namespace cp932
