// Shift-JIS as Windows reads it: code page 932, Microsoft's table.  The
// glyph table's entries are in it; the UTF-8 formats are made through here,
// so msgdump on every system and the page give the same text, and the
// page's typed characters become cell bytes through here too.
#ifndef ZOL_COMMON_CP932_H
#define ZOL_COMMON_CP932_H

#include <cstddef>
#include <string>
#include <vector>

namespace cp932 {

// Appends the UTF-8 of bytes[0, size) to *out, if they are whole CP932
// characters: ASCII, half-width katakana, or a defined double-byte code.
// Otherwise appends nothing and returns false.  (The single bytes 0x80,
// 0xA0 and 0xFD to 0xFF are no characters, as for iconv; Python's cp932
// would take them.)
bool ToUtf8(const unsigned char* bytes, std::size_t size, std::string* out);

// A character typed where CP932 has a code of its own for it: the JIS form
// an input method types (U+301C WAVE DASH, say) and CP932's character
// (U+FF5E FULLWIDTH TILDE) stored for it.
struct Substitution {
  char32_t typed;
  char32_t stored;
};

// The CP932 bytes of the UTF-8 text, or false with *bad the first
// character that has none (a control character, one outside the table).
// Where a character has several codes the first wins, but for the NEC
// rows 0xED and 0xEE, which Windows only reads.  The JIS forms become
// CP932's characters, each named in *substituted.
bool FromUtf8(const std::string& text, std::string* bytes, char32_t* bad,
              std::vector<Substitution>* substituted);

}  // namespace cp932

#endif  // ZOL_COMMON_CP932_H
