// The platform layer on POSIX systems.
#include <fcntl.h>
#ifdef __linux__
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform_write.h"

namespace platform {

namespace {

#ifdef O_PATH
constexpr int kFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// A descriptor (or -1), closed with its scope, errno kept.
struct Fd {
  int fd = -1;
  ~Fd() { reset(); }
  void reset(int to = -1) {
    const int err = errno;
    if (fd >= 0) close(fd);
    fd = to;
    errno = err;
  }
  int release() { return std::exchange(fd, -1); }
};

// *info from st; true.
bool Fill(const struct stat& st, FileInfo* info) {
  info->size = static_cast<std::uint64_t>(st.st_size);
  info->modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                   st.st_mtim.tv_nsec;
  info->device = static_cast<std::uint64_t>(st.st_dev);
  info->inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

// Whether a failed fchmod, fsync or fallocate only says that the file
// system does not do it (FAT, some FUSE and network ones): then go on.
bool Unsupported(int err) {
  return err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP ||
         err == EINVAL || err == EPERM;
}

// Whether this user may follow a link, or write a file or FIFO, that owner
// owns in folder: in a sticky, world-writable one only if the folder's
// owner or the user owns it.
bool MayUse(int folder, uid_t owner) {
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  struct stat dir {};
  return fstat(folder, &dir) == 0 &&
         ((dir.st_mode & kShared) != kShared || owner == dir.st_uid ||
          owner == geteuid());
}

// Whether folder is in /proc, whose links (/proc/self/fd/N, where
// /dev/stdout leads) name open files, not paths.
bool InProc([[maybe_unused]] int folder) {
#ifdef __linux__
  struct statfs fs {};
  return fstatfs(folder, &fs) == 0 && fs.f_type == 0x9fa0;  // PROC_SUPER_MAGIC
#else
  return false;
#endif
}

// The folder that holds (or would hold) what name leads to, as *at, the
// name there, and *st of what is there (zeros for nothing).  Links are
// followed as open follows them, one name at a time from a folder (so the
// working folder may be of any depth), at most 40; a protected link, file
// or FIFO gives EACCES.  A name that ends in a folder, or passes through
// /proc's links, leads to no folder.
bool Locate(const char* name, Fd* at, std::string* leaf, struct stat* st) {
  std::string rest = name;  // still to walk from at
  at->reset(open(name[0] == '/' ? "/" : ".", kFolder));
  for (int links = 0; at->fd >= 0;) {
    const std::size_t slash = rest.find('/');
    const bool last = slash == std::string::npos;
    *leaf = rest.substr(0, slash);
    rest = last ? "" : rest.substr(slash + 1);
    if (leaf->empty() && !last) continue;  // "//"
    *st = {};
    if (fstatat(at->fd, leaf->c_str(), st, AT_SYMLINK_NOFOLLOW) != 0)
      return last && errno == ENOENT && !leaf->empty();  // a new file
    const bool link = S_ISLNK(st->st_mode);
    if ((link || (last && (S_ISREG(st->st_mode) || S_ISFIFO(st->st_mode)))) &&
        !MayUse(at->fd, st->st_uid)) {
      errno = EACCES;
      return false;
    }
    if (link) {
      char text[PATH_MAX];
      const ssize_t n = readlinkat(at->fd, leaf->c_str(), text, sizeof text);
      if (n < 0) return false;
      errno = n == 0           ? ENOENT
              : ++links > 40   ? ELOOP
              : InProc(at->fd) ? ENXIO
                               : 0;
      if (errno != 0) return false;
      if (text[0] == '/') at->reset(open("/", kFolder));
      rest.insert(0, std::string(text, static_cast<std::size_t>(n)) +
                         (last ? "" : "/"));
    } else if (last) {
      if (S_ISDIR(st->st_mode)) errno = EISDIR;
      return !S_ISDIR(st->st_mode);
    } else {
      at->reset(openat(at->fd, leaf->c_str(), kFolder | O_NOFOLLOW));
    }
  }
  return false;
}

// Whether renaming a new file over st (open as fd) in folder cannot be done
// (a folder that takes no new file, or is sticky and another's) or would
// change what others see of it: another name, a mount point, another owner
// or group, extended attributes a new file would not get (ACLs, user ones;
// the SELinux label it gets from its folder).
bool MustWriteInPlace(int folder, [[maybe_unused]] int fd,
                      const struct stat& st) {
  struct stat dir {};
  if (fstat(folder, &dir) != 0 || faccessat(folder, ".", W_OK | X_OK, 0) != 0)
    return true;
  const gid_t new_gid = (dir.st_mode & S_ISGID) != 0 ? dir.st_gid : getegid();
  if (st.st_nlink != 1 || st.st_dev != dir.st_dev || st.st_uid != geteuid() ||
      st.st_gid != new_gid ||
      ((dir.st_mode & S_ISVTX) != 0 && dir.st_uid != geteuid()))
    return true;
#ifdef __linux__
  char names[4096];
  const ssize_t n = flistxattr(fd, names, sizeof names);
  if (n < 0) return errno == ERANGE;
  for (const char* at = names; at < names + n; at += std::strlen(at) + 1)
    if (std::strcmp(at, "security.selinux") != 0) return true;
#endif
  return false;
}

}  // namespace

WriteTarget::State::~State() {
  if (file >= 0) close(static_cast<int>(file));
  if (folder >= 0) close(static_cast<int>(folder));
}

bool Random(unsigned char bytes[6]) { return getentropy(bytes, 6) == 0; }

bool CreateTemp(WriteTarget::State& target) {
  // The earlier file's permissions (where the file system keeps them), or
  // those fopen would give a new file.
  target.temp =
      openat(static_cast<int>(target.folder), target.temp_name.c_str(),
             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
             target.exists ? 0600 : 0666);
  if (target.temp >= 0 && target.exists &&
      fchmod(static_cast<int>(target.temp), target.mode) != 0 &&
      !Unsupported(errno))
    RemoveTemp(target);  // (closed: -1)
  return target.temp >= 0;
}

long WriteSome(std::intptr_t file, const void* data, std::size_t size) {
  return write(static_cast<int>(file), data, size);
}

bool Sync(std::intptr_t file) {
  return fsync(static_cast<int>(file)) == 0 || Unsupported(errno);
}

bool RenameOver(WriteTarget::State& target) {
  const int at = static_cast<int>(target.folder);
  const int temp = static_cast<int>(std::exchange(target.temp, -1));
  if ((close(temp) != 0 && errno != EINTR) ||
      renameat(at, target.temp_name.c_str(), at, target.name.c_str()) != 0)
    return false;
  const Fd dir{openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd >= 0) fsync(dir.fd);  // best effort: not every folder syncs
  return true;
}

void RemoveTemp(WriteTarget::State& target) {
  const int err = errno;
  if (target.temp >= 0) close(static_cast<int>(std::exchange(target.temp, -1)));
  unlinkat(static_cast<int>(target.folder), target.temp_name.c_str(), 0);
  errno = err;
}

bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size) {
  // Nothing was there at the start: whatever is there now (a link, a hard
  // link, another's file) was put there since, and is refused.
  Fd made{target.file >= 0
              ? -1
              : openat(static_cast<int>(target.folder), target.name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                       0666)};
  const int fd = target.file >= 0 ? static_cast<int>(target.file) : made.fd;
  if (fd < 0) return false;
#ifdef __linux__
  // Room made first for all it will hold, so that a full disk or quota
  // fails with the earlier file whole (nothing to make: EINVAL).
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
      !Unsupported(errno))
    return false;
#endif
  if (lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, data, size) ||
      ftruncate(fd, static_cast<off_t>(size)) != 0 || !Sync(fd))
    return false;
  return made.fd < 0 || close(made.release()) == 0 || errno == EINTR;
}

bool Stat(const char* path, FileInfo* info) {
  struct stat st {};
  return stat(path, &st) == 0 && Fill(st, info);
}

std::FILE* OpenInput(const char* path, FileInfo* info, const char** why) {
  *why = nullptr;
  Fd fd{open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  struct stat st {};
  if (fd.fd < 0 || fstat(fd.fd, &st) != 0) return nullptr;
  if (!S_ISREG(st.st_mode)) {
    errno = EISDIR;  // (said by *why where it is no folder)
    if (!S_ISDIR(st.st_mode)) *why = "not a regular file";
    return nullptr;
  }
  if (info != nullptr) Fill(st, info);
  // Opened without waiting for a FIFO's writer; read blocking.
  std::FILE* f = fcntl(fd.fd, F_SETFL, 0) == 0 ? fdopen(fd.fd, "rb") : nullptr;
  if (f != nullptr) fd.release();
  return f;
}

std::string PathArgument(char** argv, int i) { return argv[i]; }
std::string Shown(const std::string& utf8) { return utf8; }
std::string NativeLineEnds(const std::string& text) { return text; }
void KeepLineEnds(std::FILE* /*f*/) {}
bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }
bool IsUtf8Terminal(std::FILE* f) { return IsTerminal(f); }

bool ResolveForWrite(const char* name, WriteTarget* target) {
  WriteTarget::State& s = *target->state;
  // Where the name leads, found before anything is opened, so that a
  // protected link is refused untouched.
  Fd folder;
  struct stat there {};
  const bool located = Locate(name, &folder, &s.name, &there);
  if (!located && errno == EACCES) return false;
  const int located_errno = errno;
  // The kernel opens what is there now (a FIFO waits for its reader here,
  // as the shell's > waits).
  Fd fd{open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC)};
  struct stat st {};
  if (fd.fd < 0 && errno == ENOENT) {
    // Nothing there: a new file where the name leads (through a link to
    // nothing, its target), in a folder that takes one.
    errno = located_errno;
    if (!located || faccessat(folder.fd, ".", W_OK | X_OK, 0) != 0)
      return false;
    s.folder = folder.release();
    return true;
  }
  if (fd.fd < 0 || fstat(fd.fd, &st) != 0) return false;
  s.exists = Fill(st, &s.found);
  s.mode = st.st_mode & 07777U;
  // Replaced only where the name led to the very file opened; anything else
  // (a deleted file through /dev/fd/N) is written where it is.
  const bool same =
      located && there.st_dev == st.st_dev && there.st_ino == st.st_ino;
  s.how = !S_ISREG(st.st_mode)                              ? How::kDirect
          : !same || MustWriteInPlace(folder.fd, fd.fd, st) ? How::kInPlace
                                                            : How::kReplace;
  if (same) s.folder = folder.release();
  s.file = fd.release();
  return true;
}

}  // namespace platform
