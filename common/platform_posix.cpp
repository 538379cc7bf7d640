// The platform layer on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform.h"

namespace platform {

namespace {

// The folder that holds path ("." for a bare name).
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes all size bytes to fd; false, with errno set, if any could not be.
bool WriteFd(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Closes fd; false, with errno set, if the close failed.  The descriptor
// is released either way.
bool CloseFd(int fd) { return close(fd) == 0 || errno == EINTR; }

// Syncs the folder that holds path, so that a rename in it survives a
// power cut.  Best effort: not every file system can sync a folder.
void SyncFolder(const std::string& path) {
  const int fd =
      open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The permission bits a new file gets from this process's umask.
unsigned NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

bool WriteInPlace(const WriteTarget& target, const void* data,
                  std::size_t size) {
  const int fd = open(target.path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (!WriteFd(fd, data, size) ||
      ftruncate(fd, static_cast<off_t>(size)) != 0 || fsync(fd) != 0) {
    const int err = errno;
    close(fd);
    errno = err;
    return false;
  }
  return CloseFd(fd);
}

bool Replace(const WriteTarget& target, const void* data, std::size_t size) {
  // mkstemp creates the file with O_EXCL under a name no one else holds, so
  // a second run, or a file of the user's, is never opened or truncated.
  std::string temp = target.path + ".tmp-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  // The owner first: changing it may clear set-id bits that chmod sets.
  // Only root may give a file away, so a failure here is expected.
  if (target.exists) {
    if (fchown(fd, static_cast<uid_t>(target.uid),
               static_cast<gid_t>(target.gid)) != 0) {
      errno = 0;
    }
  }
  const mode_t mode = target.exists ? target.mode : NewFileMode();
  bool ok = fchmod(fd, mode) == 0 && WriteFd(fd, data, size) && fsync(fd) == 0;
  int err = errno;
  if (!CloseFd(fd) && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(temp.c_str(), target.path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (ok) {
    SyncFolder(target.path);
    return true;
  }
  unlink(temp.c_str());
  errno = err;
  return false;
}

}  // namespace

std::FILE* OpenStream(const char* path, const char* mode) {
  return std::fopen(path, mode);
}

std::string PathArgument(char** argv, int i) { return argv[i]; }

bool FileSize(std::FILE* f, std::uint64_t* size, const char** why) {
  *why = nullptr;
  struct stat st {};
  if (fstat(fileno(f), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = "not a regular file";
    return false;
  }
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

std::string NativeLineEnds(const std::string& text) { return text; }

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }

bool ResolveForWrite(const char* name, WriteTarget* target, const char** why) {
  *why = nullptr;
  std::string path = name;
  // Follow symbolic links one at a time (as open does, up to its limit), so
  // the table lands in the file the link names and the link stays a link.
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      // A new file: its folder must exist and take new files.
      struct stat folder {};
      if (stat(FolderOf(path).c_str(), &folder) != 0) return false;
      if (!S_ISDIR(folder.st_mode)) {
        errno = ENOTDIR;
        return false;
      }
      if (access(FolderOf(path).c_str(), W_OK | X_OK) != 0) return false;
      target->path = path;
      target->exists = false;
      target->in_place = false;
      return true;
    }
    if (S_ISLNK(st.st_mode)) {
      if (hops == 40) {
        errno = ELOOP;
        return false;
      }
      std::string link(static_cast<std::size_t>(st.st_size) + 256, '\0');
      const ssize_t n = readlink(path.c_str(), link.data(), link.size());
      if (n < 0) return false;
      link.resize(static_cast<std::size_t>(n));
      if (link[0] == '/') {
        path = link;
      } else {  // relative to the folder that holds the link
        path = FolderOf(path);
        path += '/';
        path += link;
      }
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *why = "not a regular file";
      return false;
    }
    if (access(path.c_str(), W_OK) != 0) return false;
    target->path = path;
    target->exists = true;
    target->mode = st.st_mode & 07777U;
    target->uid = st.st_uid;
    target->gid = st.st_gid;
    // A rename would leave the other hard link with the old table, and is
    // impossible in a read-only folder: then the file itself is rewritten.
    target->in_place =
        st.st_nlink > 1 || access(FolderOf(path).c_str(), W_OK | X_OK) != 0;
    return true;
  }
}

bool WriteWhole(const WriteTarget& target, const void* data, std::size_t size) {
  return target.in_place ? WriteInPlace(target, data, size)
                         : Replace(target, data, size);
}

}  // namespace platform
