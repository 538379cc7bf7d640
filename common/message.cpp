#include "message.h"

#include <cstdio>
#include <cstring>

namespace message {

namespace {
const char* program = "";
}  // namespace

void SetProgram(const char* name) { program = name; }

std::string Line(const std::string& subject, const std::string& text) {
  const std::string raw = std::string(program) + ": " + subject + ": " + text;
  std::string line;
  for (const char ch : raw) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      line += hex;
    } else {
      line += ch;
    }
  }
  return line + '\n';
}

void Say(const std::string& subject, const std::string& text) {
  std::fputs(Line(subject, text).c_str(), stderr);
}

void SayErrno(const std::string& subject, int err) {
  Say(subject, std::strerror(err));
}

}  // namespace message
