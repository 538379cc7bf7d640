// A translator's work in a file a dump would replace.
#include "keep.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace translate {

namespace {

// text's lines, without their LF.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// Whether line, after blanks, starts with word.
bool Starts(std::string_view line, std::string_view word) {
  const std::size_t at = line.find_first_not_of(" \t");
  return at != std::string_view::npos && line.substr(at, word.size()) == word;
}

// Whether line is a Thingy table's entry: hex digits, '=', its text.
bool IsEntry(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq != std::string_view::npos && eq >= 2 &&
         line.find_first_not_of("0123456789ABCDEFabcdef") == eq;
}

void PutUtf8(char32_t c, std::string* out) {
  constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
  const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  *out += static_cast<char>(kLead[extra] | (c >> (6 * extra)));
  for (int k = extra - 1; k >= 0; --k)
    *out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

// bytes as UTF-8 text with LF line ends: UTF-16 decoded (where utf16 is
// given, then set), a UTF-8 byte order mark dropped, CR LF and a lone CR
// made LF.
std::string AsLfText(std::string_view bytes, bool* utf16) {
  auto unit = [&](std::size_t at, bool le) {
    const auto lo = static_cast<unsigned char>(bytes[at + (le ? 0 : 1)]);
    const auto hi = static_cast<unsigned char>(bytes[at + (le ? 1 : 0)]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  std::string text;
  const bool bom16 = bytes.size() >= 2 &&
                     (unit(0, true) == 0xFEFF || unit(0, false) == 0xFEFF);
  if (utf16 != nullptr &&
      (*utf16 = bom16 || (bytes.size() >= 2 &&
                          (bytes[0] == '\0') != (bytes[1] == '\0')))) {
    const bool le = bom16 ? unit(0, true) == 0xFEFF : bytes[1] == '\0';
    for (std::size_t at = bom16 ? 2 : 0; at + 1 < bytes.size(); at += 2) {
      char32_t c = unit(at, le);
      if (c >= 0xD800 && c < 0xDC00 && at + 3 < bytes.size() &&
          unit(at + 2, le) >= 0xDC00 && unit(at + 2, le) < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2, le) - 0xDC00);
        at += 2;
      }
      PutUtf8(c, &text);
    }
  } else {
    text = bytes.substr(bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
  }
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r')
      lf += text[i];
    else if (i + 1 == text.size() || text[i + 1] != '\n')
      lf += '\n';
  }
  return lf;
}

}  // namespace

std::size_t LostLine(std::string_view existing, std::string_view output) {
  bool utf16 = false;
  const std::string text = AsLfText(existing, &utf16);
  const std::string made = AsLfText(output, nullptr);
  const std::vector<std::string_view> lines = Lines(text);
  const std::vector<std::string_view> out = Lines(made);
  if (std::any_of(lines.begin(), lines.end(),
                  [](std::string_view line) { return Starts(line, "#JMP"); })) {
    const auto differ =
        std::mismatch(lines.begin(), lines.end(), out.begin(), out.end());
    if (differ.first == lines.end() && differ.second == out.end())
      return utf16 ? 1 : 0;
    return std::min(static_cast<std::size_t>(differ.first - lines.begin()) + 1,
                    lines.size());
  }
  const std::set<std::string_view> made_lines(out.begin(), out.end());
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (IsEntry(lines[i]) && made_lines.count(lines[i]) == 0) return i + 1;
  return 0;
}

}  // namespace translate
