// CP932 to UTF-8 and back, from Microsoft's table.
#include "cp932.h"

#include <cstdint>

#include "utf8.h"

namespace cp932 {

namespace {

constexpr std::size_t kLeads = 60;    // 0x81-0x9F, 0xE0-0xFC
constexpr std::size_t kTrails = 188;  // 0x40-0x7E, 0x80-0xFC

// One row per lead byte: the characters of its trail bytes, U+FFFD where
// the code is undefined.
const char16_t* const kRows[kLeads] = {
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

unsigned LeadOfRow(std::size_t row) {
  return static_cast<unsigned>(row < 0x1F ? 0x81 + row : 0xE0 + row - 0x1F);
}

unsigned TrailOfColumn(std::size_t col) {
  return static_cast<unsigned>(col < 0x3F ? 0x40 + col : 0x41 + col);
}

// The character of the double-byte code lead, trail; 0 where it has none.
char32_t DoubleByte(unsigned lead, unsigned trail) {
  const int row = LeadRow(lead);
  const int col = TrailColumn(trail);
  if (row < 0 || col < 0) return 0;
  const char16_t u = kRows[row][col];
  return u == 0xFFFD ? 0 : u;
}

// The code each character of the double-byte table is written with, by
// character (0 for none): the first code of a character wins, as the rows
// run, but for the NEC rows 0xED and 0xEE, which Windows only reads.  Made
// once, for the few who type.
const std::vector<std::uint16_t>& Codes() {
  static const auto codes = [] {
    std::vector<std::uint16_t> c(0x10000);
    for (std::size_t row = 0; row < kLeads; ++row) {
      const unsigned lead = LeadOfRow(row);
      if (lead == 0xED || lead == 0xEE) continue;
      for (std::size_t col = 0; col < kTrails; ++col) {
        std::uint16_t& code = c[kRows[row][col]];
        if (kRows[row][col] != 0xFFFD && code == 0)
          code = static_cast<std::uint16_t>(lead << 8 | TrailOfColumn(col));
      }
    }
    return c;
  }();
  return codes;
}

// The JIS forms that input methods type, and CP932's characters for them.
constexpr Substitution kJisForms[] = {
    {0x301C, 0xFF5E},  // WAVE DASH -> FULLWIDTH TILDE
    {0x2016, 0x2225},  // DOUBLE VERTICAL LINE -> PARALLEL TO
    {0x2212, 0xFF0D},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    {0x2014, 0x2015},  // EM DASH -> HORIZONTAL BAR
    {0x00A2, 0xFFE0},  // CENT SIGN -> FULLWIDTH CENT SIGN
    {0x00A3, 0xFFE1},  // POUND SIGN -> FULLWIDTH POUND SIGN
    {0x00AC, 0xFFE2},  // NOT SIGN -> FULLWIDTH NOT SIGN
};

}  // namespace

bool ToUtf8(const unsigned char* bytes, std::size_t size, std::string* out) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned b = bytes[i];
    if (b < 0x80) {
      text += static_cast<char>(b);
    } else if (In(b, 0xA1, 0xDF)) {
      utf8::Append(0xFF61 + (b - 0xA1), &text);
    } else {
      // 0x80, 0xA0 and 0xFD-0xFF are undefined in Microsoft's table.
      const char32_t u = i + 1 < size ? DoubleByte(b, bytes[i + 1]) : 0;
      if (u == 0) return false;
      utf8::Append(u, &text);
      ++i;
    }
  }
  *out += text;
  return true;
}

bool FromUtf8(const std::string& text, std::string* bytes, char32_t* bad,
              std::vector<Substitution>* substituted) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    char32_t typed = utf8::Next(text, &at);
    if (typed == utf8::kCut) typed = utf8::kBad;
    char32_t u = typed;
    for (const Substitution& s : kJisForms) {
      if (s.typed == typed) {
        u = s.stored;
        substituted->push_back(s);
      }
    }
    if (u >= 0x20 && u < 0x7F) {
      out += static_cast<char>(u);
      continue;
    }
    if (u >= 0xFF61 && u <= 0xFF9F) {
      out += static_cast<char>(0xA1 + (u - 0xFF61));
      continue;
    }
    const std::uint16_t code = u > 0xFFFF ? 0 : Codes()[u];
    if (code == 0) {
      *bad = typed;
      return false;
    }
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace cp932
