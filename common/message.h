// Everything the programs say beyond their fixed standard-output lines goes
// to standard error through here, one line each: "program: subject: text".
// Control bytes (a newline or an escape in a file name, say) are shown as
// \xNN, so a line is always one line and never drives the terminal.
#ifndef ZOL_COMMON_MESSAGE_H
#define ZOL_COMMON_MESSAGE_H

#include <cstdio>
#include <string>

namespace message {

// Sets the program name that starts every line; once, first thing in main.
void SetProgram(const char* name);

// Prints "program: subject: text" on standard error.
void Say(const std::string& subject, const std::string& text);

// Same, with strerror(err) as the text.
void SayErrno(const std::string& subject, int err);

// The line Say would print, without printing it.
std::string Line(const std::string& subject, const std::string& text);

// printf into a std::string.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

}  // namespace message

#endif  // ZOL_COMMON_MESSAGE_H
