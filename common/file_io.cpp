// Reading a stream, with a read error told apart from the end of the file.
#include "file_io.h"

#include <cerrno>

namespace file_io {

bool ReadUpTo(std::FILE* f, void* buf, std::size_t size, std::size_t* got) {
  errno = 0;
  *got = std::fread(buf, 1, size, f);
  if (*got < size && std::ferror(f)) {
    if (errno == 0) errno = EIO;
    return false;
  }
  return true;
}

}  // namespace file_io
