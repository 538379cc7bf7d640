// Everything the programs say beyond their fixed standard-output lines goes
// to standard error through here, one line each: "program: subject: text".
// Control bytes (a newline or an escape in a file name, say) are shown as
// \xNN, so a line is always one line and never drives the terminal.  The
// end of a run (standard output closed, the exit status) is here too.  Only
// the programs use this; no library does.
#ifndef ZOL_COMMON_MESSAGE_H
#define ZOL_COMMON_MESSAGE_H

#include <cstdio>
#include <string>

namespace message {

// Sets the program name that starts every line; once, first thing in main.
void SetProgram(const char* name);

// Prints "program: subject: text" on standard error (given in UTF-8 on
// Windows, and shown in the code page of where it goes).
void Say(const std::string& subject, const std::string& text);

// Same, with strerror(err) as the text.
void SayErrno(const std::string& subject, int err);

// Says why subject failed: why if given, or else strerror(errno).
void SayWhy(const std::string& subject, const char* why);

// Ends a run: flushes and closes standard output and returns the exit
// status, 0 only if the job was done and all output was written.  A failed
// write is said as "program: write error: reason".
int Finish(bool done);

// text with every control byte shown as \xNN.
std::string ShowControlBytes(const std::string& text);

// printf into a std::string; the compiler checks the arguments.
std::string Format(const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)  // MinGW's own printf, which knows %zu
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace message

#endif  // ZOL_COMMON_MESSAGE_H
