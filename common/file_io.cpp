#include "file_io.h"

#include <cerrno>

#include "message.h"
#include "platform.h"

namespace file_io {

File Open(const char* path, const char* mode) {
  errno = 0;
  return File(platform::OpenStream(path, mode));
}

bool ReadUpTo(std::FILE* f, void* buf, std::size_t size, std::size_t* got) {
  errno = 0;
  *got = std::fread(buf, 1, size, f);
  if (*got < size && std::ferror(f)) {
    if (errno == 0) errno = EIO;
    return false;
  }
  return true;
}

bool WriteAll(std::FILE* f, const void* buf, std::size_t size) {
  errno = 0;
  if (std::fwrite(buf, 1, size, f) == size) return true;
  if (errno == 0) errno = EIO;
  return false;
}

bool CloseWritten(File& f) {
  std::FILE* raw = f.release();
  errno = 0;
  const bool had_error = std::ferror(raw) != 0;
  const int saved = errno;
  if (std::fclose(raw) != 0) {
    if (errno == 0) errno = EIO;
    return false;
  }
  if (had_error) {
    errno = saved != 0 ? saved : EIO;
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
