// Reading a stream, and the end of a run with its exit status.
#include "file_io.h"

#include <cerrno>

#include "message.h"

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
  if (!ok) message::SayErrno("write error", err != 0 ? err : EIO);
  return done && ok ? 0 : 1;
}

}  // namespace file_io
