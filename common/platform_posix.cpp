// The platform layer on POSIX systems.
#include <fcntl.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
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
  // Where a file cannot be replaced but can be written (a bind mount, a
  // folder that takes no renames), it is written the way fopen would.
  if (target.exists && (err == EPERM || err == EBUSY || err == EXDEV))
    return WriteInPlace(target, data, size);
  errno = err;
  return false;
}

// Whether path carries extended attributes a new file would not get: ACLs,
// user attributes.  (The SELinux label a new file gets from its folder.)
bool HasOwnAttributes(const std::string& path) {
#ifdef __linux__
  const ssize_t n = listxattr(path.c_str(), nullptr, 0);
  if (n <= 0) return false;
  std::string names(static_cast<std::size_t>(n), '\0');
  const ssize_t got = listxattr(path.c_str(), names.data(), names.size());
  if (got < 0) return true;
  for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
    const std::string name = names.c_str() + at;
    if (name != "security.selinux") return true;
    at += name.size() + 1;
  }
#else
  (void)path;
#endif
  return false;
}

// Whether renaming a new file over the existing file path (st) would change
// what others see of it, or cannot be done at all.
bool MustWriteInPlace(const std::string& path, const struct stat& st) {
  const std::string folder = FolderOf(path);
  struct stat dir {};
  if (stat(folder.c_str(), &dir) != 0 ||
      access(folder.c_str(), W_OK | X_OK) != 0)
    return true;  // no new file can be made beside it
  const gid_t new_gid = (dir.st_mode & S_ISGID) != 0 ? dir.st_gid : getegid();
  return st.st_nlink > 1 ||                                 // another name
         st.st_dev != dir.st_dev ||                         // a mount point
         st.st_uid != geteuid() || st.st_gid != new_gid ||  // another owner
         ((dir.st_mode & S_ISVTX) != 0 && dir.st_uid != geteuid()) ||
         HasOwnAttributes(path);
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
      if (link[0] != '/') {
        // Relative to the link's folder, named by its real path, so that the
        // name does not grow with every hop of a chain.
        char* folder = realpath(FolderOf(path).c_str(), nullptr);
        if (folder == nullptr) return false;
        std::string real = folder;
        std::free(folder);
        if (real != "/") real += '/';
        link = real.append(link);
      }
      path = link;
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
    target->in_place = MustWriteInPlace(path, st);
    return true;
  }
}

bool WriteWhole(const WriteTarget& target, const void* data, std::size_t size) {
  return target.in_place ? WriteInPlace(target, data, size)
                         : Replace(target, data, size);
}

}  // namespace platform
