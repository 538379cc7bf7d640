// UTF-8, read and written strictly: the one decoder every part of the
// tools steps through text with.  A character has exactly one form: an
// overlong form (E0 81 81 for "A"), a surrogate or anything past U+10FFFF
// is no character.
#ifndef ZOL_COMMON_UTF8_H
#define ZOL_COMMON_UTF8_H

#include <cstddef>
#include <string>

namespace utf8 {

// What Next gives for bytes that are no character, and for a character the
// end of the text cuts off (every byte of it there so far well-formed).
inline constexpr char32_t kBad = 0xFFFFFFFF;
inline constexpr char32_t kCut = 0xFFFFFFFE;

// Whether b continues a character rather than starting one.
constexpr bool Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The character at text[*at] (of size bytes), with *at stepped past it.
// kBad steps one byte; kCut steps to the end.
inline char32_t Next(const unsigned char* text, std::size_t size,
                     std::size_t* at) {
  const unsigned b = text[*at];
  std::size_t n = 1;
  char32_t least = 0;  // below it, the form is overlong
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    least = 0x10000;
  } else if (b >= 0x80) {
    ++*at;
    return kBad;
  }
  char32_t u = n == 1 ? b : b & (0x7Fu >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if (*at + k == size) {
      *at = size;
      return kCut;
    }
    if (!Continuation(text[*at + k])) {
      ++*at;
      return kBad;
    }
    u = u << 6 | (text[*at + k] & 0x3F);
  }
  if (u < least || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
    ++*at;
    return kBad;
  }
  *at += n;
  return u;
}

inline char32_t Next(const std::string& text, std::size_t* at) {
  return Next(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
              at);
}

// Appends the UTF-8 of the character u.
inline void Append(char32_t u, std::string* out) {
  if (u < 0x80) {
    *out += static_cast<char>(u);
  } else if (u < 0x800) {
    *out += static_cast<char>(0xC0 | u >> 6);
    *out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    *out += static_cast<char>(0xE0 | u >> 12);
    *out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | u >> 18);
    *out += static_cast<char>(0x80 | (u >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

}  // namespace utf8

#endif  // ZOL_COMMON_UTF8_H
