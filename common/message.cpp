// The message helper: every line the programs add, on standard error, and
// the end of a run.
#include "message.h"

#include <cerrno>
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

void SayWhy(const std::string& subject, const char* why) {
  if (why != nullptr)
    Say(subject, why);
  else
    SayErrno(subject, errno);
}

int Finish(bool done) {
  // A script cut short by a full disk must not look like a finished one, so
  // both the last flush and the close are checked (a close can still fail on
  // some file systems after a successful flush).
  errno = 0;
  bool ok = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  int err = errno;
  if (std::fclose(stdout) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) SayErrno("write error", err != 0 ? err : EIO);
  return done && ok ? 0 : 1;
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
