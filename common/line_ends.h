// Line ends as a text-mode stream on Windows writes them: the one
// conversion msgdump.exe's output and the page's CR LF downloads share.
#ifndef ZOL_COMMON_LINE_ENDS_H
#define ZOL_COMMON_LINE_ENDS_H

#include <string>
#include <string_view>

namespace line_ends {

// text with every LF as CR LF.
inline std::string WithCrLf(std::string_view text) {
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

}  // namespace line_ends

#endif  // ZOL_COMMON_LINE_ENDS_H
