// Reading a stream, with the failure said: a helper either succeeds or
// says why (errno), and the caller decides whether the run goes on.  Pure
// C streams: the libraries use it, and it says nothing itself.
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

// Reads up to size bytes; false, with errno set, on a read error.
// *got is how many bytes arrived (fewer than size only at end of file).
bool ReadUpTo(std::FILE* f, void* buf, std::size_t size, std::size_t* got);

}  // namespace file_io

#endif  // ZOL_COMMON_FILE_IO_H
