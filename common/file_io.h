// Small file helpers shared by both programs.  The failure policy is visible
// at each call site: a helper either succeeds or says why (errno) and the
// caller decides whether the run goes on.
#ifndef ZOL_COMMON_FILE_IO_H
#define ZOL_COMMON_FILE_IO_H

#include <cstddef>
#include <cstdio>
#include <memory>

namespace file_io {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
// An open stream that is closed on every path out of its scope.
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens path with mode (always a binary mode); null, with errno set, on failure.
File Open(const char* path, const char* mode);

// Reads up to size bytes; false, with errno set, on a read error.
// *got is how many bytes arrived (fewer than size only at end of file).
bool ReadUpTo(std::FILE* f, void* buf, std::size_t size, std::size_t* got);

// Writes all size bytes; false, with errno set, if any could not be written.
bool WriteAll(std::FILE* f, const void* buf, std::size_t size);

// Closes a stream that was written to; false, with errno set, if the close
// (and with it the final flush) failed.  The stream is released either way.
bool CloseWritten(File& f);

// Prints "program: subject: reason" on standard error.
void Warn(const char* program, const char* subject, const char* reason);

// Same, with strerror(err) as the reason.
void WarnErrno(const char* program, const char* subject, int err);

// Flushes and closes standard output.  On failure says
// "program: write error: reason" on standard error and returns false.
bool FinishStdout(const char* program);

}  // namespace file_io

#endif  // ZOL_COMMON_FILE_IO_H
