// The message helper: every line the programs add, on standard error.
#include "message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace message {

namespace {
const char* program = "";
}  // namespace

void SetProgram(const char* name) { program = name; }

std::string ShowControlBytes(const std::string& text) {
  std::string shown;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F)
      shown += Format("\\x%02X", b);
    else
      shown += ch;
  }
  return shown;
}

void Say(const std::string& subject, const std::string& text) {
  std::fflush(stdout);  // what came before it is read before it
  const std::string line =
      platform::Shown(ShowControlBytes(std::string(program) + ": " + subject +
                                       ": " + text)) +
      '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void SayErrno(const std::string& subject, int err) {
  Say(subject, std::strerror(err));
}

std::string Format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace message
