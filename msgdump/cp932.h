// Shift-JIS as Windows reads it: code page 932, Microsoft's table.  The
// glyph table's entries are in it; the UTF-8 formats are made through here,
// so msgdump on every system and the page give the same text.
#ifndef ZOL_MSGDUMP_CP932_H
#define ZOL_MSGDUMP_CP932_H

#include <cstddef>
#include <string>

namespace cp932 {

// Appends the UTF-8 of bytes[0, size) to *out, if they are whole CP932
// characters: ASCII, half-width katakana, or a defined double-byte code.
// Otherwise appends nothing and returns false.
bool ToUtf8(const unsigned char* bytes, std::size_t size, std::string* out);

// The character of the double-byte code lead, trail; 0 where it has none.
char32_t DoubleByte(unsigned lead, unsigned trail);

// Appends code point u as UTF-8.
void AppendUtf8(char32_t u, std::string* out);

}  // namespace cp932

#endif  // ZOL_MSGDUMP_CP932_H
