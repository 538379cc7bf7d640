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
#include <ctime>
#include <utility>

#include "platform_write.h"

namespace platform {

namespace {

// A descriptor closed with its scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  [[nodiscard]] int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      const int err = errno;
      close(fd_);
      errno = err;
    }
    fd_ = fd;
  }

 private:
  int fd_;
};

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

void Fill(const struct stat& st, FileInfo* info) {
  info->size = static_cast<std::uint64_t>(st.st_size);
  info->modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                   st.st_mtim.tv_nsec;
  info->device = static_cast<std::uint64_t>(st.st_dev);
  info->inode = static_cast<std::uint64_t>(st.st_ino);
}

// Whether a failed fchmod or fsync only says that the file system does not
// do it (FAT, some FUSE and network file systems): then the run goes on.
bool Unsupported(int err) {
  return err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP ||
         err == EINVAL || err == EPERM;
}

// Whether folder is in /proc, whose links (/proc/self/fd/N, where
// /dev/stdout and /dev/fd/N lead) name open files, not paths.
bool InProc(int folder) {
#ifdef __linux__
  struct statfs fs {};
  constexpr long kProcSuperMagic = 0x9fa0;
  return fstatfs(folder, &fs) == 0 && fs.f_type == kProcSuperMagic;
#else
  (void)folder;
  return false;
#endif
}

// Whether Linux lets this user follow a link, or write a file or FIFO,
// whose owner is owner, in the folder dir (as fs.protected_symlinks=1,
// fs.protected_regular=1 and fs.protected_fifos=1 have it): not in a
// sticky, world-writable folder unless the folder's owner or the user
// owns it.
bool MayUse(int folder, uid_t owner) {
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  struct stat dir {};
  return fstat(folder, &dir) == 0 &&
         ((dir.st_mode & kShared) != kShared || owner == dir.st_uid ||
          owner == geteuid());
}

// Where name leads: the folder that holds (or would hold) the file it
// names, opened, and the file's name there.  Links are followed as open
// follows them, one name at a time relative to folder descriptors (so the
// working folder may be of any depth), at most 40; a protected link, file
// or FIFO gives EACCES.  A name that ends in a folder gives EISDIR, one
// that passes through /proc's links to open files ENXIO: such a name leads
// to no folder.
bool Locate(const char* name, Fd* folder, std::string* leaf) {
  std::string rest = name;  // still to walk, from at
  Fd at(open(rest.empty() || rest[0] != '/' ? "." : "/", kFolderFlags));
  for (int links = 0; at.get() >= 0;) {
    const std::size_t slash = rest.find('/');
    const bool last = slash == std::string::npos;
    const std::string part = rest.substr(0, slash);
    rest = last ? "" : rest.substr(slash + 1);
    if (part.empty() || part == ".") {
      errno = name[0] == '\0' ? ENOENT : EISDIR;
      if (last) return false;
      continue;
    }
    struct stat st {};
    if (fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !last) return false;
    } else if ((S_ISLNK(st.st_mode) ||
                (last && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)))) &&
               !MayUse(at.get(), st.st_uid)) {
      errno = EACCES;
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      char text[PATH_MAX];
      const ssize_t n = readlinkat(at.get(), part.c_str(), text, sizeof text);
      if (n < 0) return false;
      if (++links > 40 || n == 0 || InProc(at.get())) {
        errno = links > 40 ? ELOOP : n == 0 ? ENOENT : ENXIO;
        return false;
      }
      if (text[0] == '/') at.reset(open("/", kFolderFlags));
      if (!last) rest.insert(0, 1, '/');
      rest.insert(0, text, static_cast<std::size_t>(n));
    } else if (last && S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    } else if (last) {
      folder->reset(at.release());
      *leaf = part;
      return true;
    } else {
      at.reset(openat(at.get(), part.c_str(), kFolderFlags | O_NOFOLLOW));
    }
  }
  return false;
}

// Whether fd's file carries extended attributes a new file would not get:
// ACLs, user attributes.  (The SELinux label a new file gets from its
// folder.)
bool HasOwnAttributes(int fd) {
#ifdef __linux__
  char names[4096];
  const ssize_t n = flistxattr(fd, names, sizeof names);
  if (n < 0) return errno == ERANGE;
  for (const char* at = names; at < names + n; at += std::strlen(at) + 1)
    if (std::strcmp(at, "security.selinux") != 0) return true;
#else
  (void)fd;
#endif
  return false;
}

// Whether renaming a new file over the existing file st (open as fd) in
// folder would change what others see of it, or cannot be done at all.
bool MustWriteInPlace(int folder, int fd, const struct stat& st) {
  struct stat dir {};
  if (fstat(folder, &dir) != 0 || faccessat(folder, ".", W_OK | X_OK, 0) != 0)
    return true;  // no new file can be made beside it
  const gid_t new_gid = (dir.st_mode & S_ISGID) != 0 ? dir.st_gid : getegid();
  return st.st_nlink != 1 ||                                // another name
         st.st_dev != dir.st_dev ||                         // a mount point
         st.st_uid != geteuid() || st.st_gid != new_gid ||  // another owner
         ((dir.st_mode & S_ISVTX) != 0 && dir.st_uid != geteuid()) ||
         HasOwnAttributes(fd);
}

}  // namespace

WriteTarget::State::~State() {
  if (file >= 0) close(static_cast<int>(file));
  if (folder >= 0) close(static_cast<int>(folder));
}

bool WriteAll(std::intptr_t file, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = write(static_cast<int>(file), p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // a write that takes nothing never will
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool Sync(std::intptr_t file) {
  return fsync(static_cast<int>(file)) == 0 || Unsupported(errno);
}

void Random(unsigned char bytes[6]) {
  if (getentropy(bytes, 6) == 0) return;
  // (No random source: the clock and the process still tell runs apart,
  // and O_EXCL never lets two share a name.)
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t x = static_cast<std::uint64_t>(now.tv_nsec) ^
                    static_cast<std::uint64_t>(getpid()) << 32;
  for (int i = 0; i < 6; ++i) bytes[i] = static_cast<unsigned char>(x >>= 5);
}

bool CreateTemp(WriteTarget::State& target, Temp* temp) {
  temp->file = openat(static_cast<int>(target.folder), temp->name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
  if (temp->file < 0) return false;
  // The earlier file's permissions, or those a new file gets (the umask).
  mode_t mode = target.mode;
  if (!target.exists) {
    mode = umask(0);
    umask(mode);
    mode = 0666 & ~mode;
  }
  if (fchmod(static_cast<int>(temp->file), mode) == 0 || Unsupported(errno))
    return true;
  const int err = errno;
  RemoveTemp(target, temp);
  errno = err;
  return false;
}

bool RenameOver(WriteTarget::State& target, Temp* temp) {
  const int folder = static_cast<int>(target.folder);
  if ((close(static_cast<int>(std::exchange(temp->file, -1))) != 0 &&
       errno != EINTR) ||
      renameat(folder, temp->name.c_str(), folder, target.name.c_str()) != 0)
    return false;
  const Fd dir(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) fsync(dir.get());  // best effort: not every folder
  return true;
}

void RemoveTemp(WriteTarget::State& target, Temp* temp) {
  if (temp->file >= 0) close(static_cast<int>(std::exchange(temp->file, -1)));
  unlinkat(static_cast<int>(target.folder), temp->name.c_str(), 0);
}

bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size) {
  Fd made;
  int fd = static_cast<int>(target.file);
  struct stat st {};
  if (fd < 0) {
    // Nothing was there at the start: whatever is there now (a link, a
    // hard link, another's file) was put there since, and is refused.
    made.reset(openat(static_cast<int>(target.folder), target.name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                      0666));
    fd = made.get();
    if (fd < 0 && errno == EEXIST) errno = EACCES;
    if (fd < 0) return false;
  }
  if (fstat(fd, &st) != 0) return false;
#ifdef __linux__
  // Room made first, so that a full disk or quota fails the write with the
  // earlier file whole.  (A file system that cannot reserve space is
  // written all the same.)
  if (static_cast<off_t>(size) > st.st_size &&
      fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
      !Unsupported(errno))
    return false;
#endif
  if (lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, data, size) ||
      ftruncate(fd, static_cast<off_t>(size)) != 0 || !Sync(fd))
    return false;
  return made.get() < 0 || close(made.release()) == 0 || errno == EINTR;
}

bool Stat(const char* path, FileInfo* info) {
  struct stat st {};
  if (stat(path, &st) != 0) return false;
  Fill(st, info);
  return true;
}

std::FILE* OpenInput(const char* path, FileInfo* info, const char** why) {
  *why = nullptr;
  Fd fd(open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) return nullptr;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = "not a regular file";
    return nullptr;
  }
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
    return nullptr;
  std::FILE* f = fdopen(fd.get(), "rb");
  if (f == nullptr) return nullptr;
  fd.release();
  if (info != nullptr) Fill(st, info);
  return f;
}

std::string PathArgument(char** argv, int i) { return argv[i]; }

std::string Shown(const std::string& utf8) { return utf8; }

std::string NativeLineEnds(const std::string& text) { return text; }

void KeepLineEnds(std::FILE* /*f*/) {}

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }

bool IsUtf8Terminal(std::FILE* f) { return IsTerminal(f); }

bool ResolveForWrite(const char* name, WriteTarget* target) {
  using How = WriteTarget::State::How;
  WriteTarget::State& s = target->state();
  // Where the name leads, to replace the file there: found before anything
  // is opened, so that a protected link is refused untouched.
  Fd folder;
  const bool located = Locate(name, &folder, &s.name);
  if (!located && errno == EACCES) return false;
  const int located_errno = errno;

  // The kernel opens what is there now.  (A FIFO waits for its reader
  // here, as the shell's > waits.)
  Fd fd(open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0) {
    if (errno != ENOENT) return false;
    // Nothing there: a new file, made where the name leads (through a
    // link to nothing, the link's target), in a folder that takes one.
    errno = located_errno;
    if (!located || faccessat(folder.get(), ".", W_OK | X_OK, 0) != 0)
      return false;
    s.folder = folder.release();
    return true;
  }
  if (fstat(fd.get(), &st) != 0) return false;
  s.exists = true;
  Fill(st, &s.found);
  s.mode = st.st_mode & 07777U;
  // Replaced only where the name leads to the very file the kernel opened;
  // anything else (a deleted file reached through /dev/fd/N, say) is
  // written where it is, as fopen would.
  struct stat there {};
  const bool same =
      located &&
      fstatat(folder.get(), s.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
      there.st_dev == st.st_dev && there.st_ino == st.st_ino;
  s.how = !S_ISREG(st.st_mode) ? How::kDirect
          : !same || MustWriteInPlace(folder.get(), fd.get(), st)
              ? How::kInPlace
              : How::kReplace;
  if (same) s.folder = folder.release();
  s.file = fd.release();
  return true;
}

}  // namespace platform
