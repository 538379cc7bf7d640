// The platform layer on POSIX systems.
#include <fcntl.h>
#ifdef __linux__
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>

#include "platform.h"

namespace platform {

namespace {

// A descriptor closed with its scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  [[nodiscard]] int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
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

// Writes all size bytes to fd at its position; false, with errno set, if
// any could not be written.
bool WriteFd(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
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

// Whether a failed fchmod or fsync only says that the file system does not
// do it (FAT, some FUSE and network file systems): then the run goes on.
bool Unsupported(int err) {
  return err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP ||
         err == EINVAL || err == EPERM;
}

// Syncs fd, where its file system can.
bool Sync(int fd) { return fsync(fd) == 0 || Unsupported(errno); }

// Whether a refused rename means that this folder or file takes none, so
// the file is written in place instead.
bool NoRename(int err) {
  return err == EEXIST || err == EACCES || err == ENOTSUP ||
         err == EOPNOTSUPP || err == EPERM || err == EBUSY || err == EXDEV;
}

// A link's text, read relative to a folder.
bool ReadLinkAt(int folder, const std::string& name, std::string* text) {
  for (std::size_t room = 256;; room *= 2) {
    text->assign(room, '\0');
    const ssize_t n = readlinkat(folder, name.c_str(), text->data(), room);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < room) {
      text->resize(static_cast<std::size_t>(n));
      return true;
    }
  }
}

// The names of path's components, in order, put in front of *into; a
// trailing slash gives a last name of "".
void Split(const std::string& path, std::deque<std::string>* into) {
  std::deque<std::string> parts;
  for (std::size_t at = 0;;) {
    const std::size_t slash = path.find('/', at);
    if (slash == std::string::npos) {
      parts.push_back(path.substr(at));
      break;
    }
    if (slash > at) parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  into->insert(into->begin(), parts.begin(), parts.end());
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
bool MayUse(const struct stat& dir, uid_t owner) {
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  return (dir.st_mode & kShared) != kShared || owner == dir.st_uid ||
         owner == geteuid();
}

// Where name leads: the folder that holds (or would hold) the file it
// names, opened, and the file's name there.  Links are followed as open
// follows them, relative to folder descriptors (so the working folder may
// be of any depth), at most 40; a protected link, file or FIFO gives
// EACCES.  A name that ends in a folder gives EISDIR, one that passes
// through /proc's links to open files ENXIO: such a name leads to no
// folder.
bool Locate(const char* name, Fd* folder, std::string* leaf) {
  if (name[0] == '\0') {
    errno = ENOENT;
    return false;
  }
  std::deque<std::string> rest;
  Split(name, &rest);
  Fd at(open(name[0] == '/' ? "/" : ".", kFolderFlags));
  if (at.get() < 0) return false;
  int links = 0;
  while (!rest.empty()) {
    const std::string part = rest.front();
    rest.pop_front();
    const bool last = rest.empty();
    if (part.empty() || part == ".") {
      if (!last) continue;
      errno = EISDIR;
      return false;
    }
    struct stat st {};
    if (fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !last) return false;
    } else if (S_ISLNK(st.st_mode) ||
               (last && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)))) {
      struct stat dir {};
      if (fstat(at.get(), &dir) != 0) return false;
      if (!MayUse(dir, st.st_uid)) {
        errno = EACCES;
        return false;
      }
    }
    if (S_ISLNK(st.st_mode)) {
      std::string text;
      if (++links > 40) {
        errno = ELOOP;
        return false;
      }
      if (InProc(at.get())) {
        errno = ENXIO;
        return false;
      }
      if (!ReadLinkAt(at.get(), part, &text)) return false;
      if (text.empty()) {
        errno = ENOENT;
        return false;
      }
      if (text[0] == '/') at.reset(open("/", kFolderFlags));
      if (at.get() < 0) return false;
      Split(text, &rest);
      continue;
    }
    if (last && S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (last) {
      *folder = std::move(at);
      *leaf = part;
      return true;
    }
    Fd next(openat(at.get(), part.c_str(), kFolderFlags | O_NOFOLLOW));
    if (next.get() < 0) return false;
    at = std::move(next);
  }
  errno = EISDIR;  // "" or "/"
  return false;
}

// The permission bits a new file gets from this process's umask.
unsigned NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666U & ~static_cast<unsigned>(mask);
}

// Whether fd's file carries extended attributes a new file would not get:
// ACLs, user attributes.  (The SELinux label a new file gets from its
// folder.)
bool HasOwnAttributes(int fd) {
#ifdef __linux__
  const ssize_t n = flistxattr(fd, nullptr, 0);
  if (n <= 0) return false;
  std::string names(static_cast<std::size_t>(n), '\0');
  const ssize_t got = flistxattr(fd, names.data(), names.size());
  if (got < 0) return true;
  for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
    const std::string name = names.c_str() + at;
    if (name != "security.selinux") return true;
    at += name.size() + 1;
  }
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

// A name for the temporary beside leaf: leaf (cut, at a character, so that
// the whole fits in NAME_MAX) + ".tmp-" + six random characters.
std::string TempName(const std::string& leaf) {
  constexpr std::size_t kMax = 255;
  constexpr char kSuffix[] = ".tmp-XXXXXX";
  std::size_t keep = leaf.size();
  if (keep > kMax - (sizeof kSuffix - 1)) {
    keep = kMax - (sizeof kSuffix - 1);
    while (keep > 0 && (static_cast<unsigned char>(leaf[keep]) & 0xC0) == 0x80)
      --keep;  // not inside a UTF-8 character
  }
  constexpr char kChars[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6];
  if (getentropy(random, sizeof random) != 0) {
    // (No random source: the clock and the process still tell runs apart,
    // and O_EXCL never lets two share a name.)
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t x = static_cast<std::uint64_t>(now.tv_nsec) ^
                      static_cast<std::uint64_t>(getpid()) << 32;
    for (unsigned char& b : random) b = static_cast<unsigned char>(x >>= 5);
  }
  std::string name = leaf.substr(0, keep) + ".tmp-";
  for (const unsigned char b : random) name += kChars[b % (sizeof kChars - 1)];
  return name;
}

// Makes room for size bytes in fd before its first byte is overwritten, so
// that a full disk or quota fails the write with the earlier file whole.
// (A file system that cannot reserve space is written all the same.)
bool Reserve(int fd, std::size_t size) {
#ifdef __linux__
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  if (static_cast<off_t>(size) <= st.st_size) return true;
  return fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0 ||
         Unsupported(errno);
#else
  (void)fd;
  (void)size;
  return true;
#endif
}

// Rewrites the file target holds open (or, with none, creates its name in
// its folder), cut to size and synced.
bool WriteInPlace(WriteTarget& target, const void* data, std::size_t size) {
  Fd made;
  int fd = static_cast<int>(target.file);
  if (fd < 0) {
    made.reset(openat(static_cast<int>(target.folder), target.name.c_str(),
                      O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
    fd = made.get();
    if (fd < 0) return false;
  }
  if (!Reserve(fd, size) || lseek(fd, 0, SEEK_SET) != 0 ||
      !WriteFd(fd, data, size) ||
      ftruncate(fd, static_cast<off_t>(size)) != 0 || !Sync(fd))
    return false;
  return made.get() < 0 || close(made.release()) == 0 || errno == EINTR;
}

bool Replace(WriteTarget& target, const void* data, std::size_t size) {
  // A name no one else holds, made with O_EXCL, so that a second run, or a
  // file of the user's, is never opened or truncated.
  const int folder = static_cast<int>(target.folder);
  std::string temp;
  Fd fd;
  for (int attempt = 0; fd.get() < 0; ++attempt) {
    temp = TempName(target.name);
    fd.reset(openat(folder, temp.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600));
    if (fd.get() < 0 && (errno != EEXIST || attempt == 100)) {
      // No new file can be made there, but the file itself may be written.
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        return WriteInPlace(target, data, size);
      return false;
    }
  }
  const mode_t mode = target.exists ? target.mode : NewFileMode();
  bool ok = (fchmod(fd.get(), mode) == 0 || Unsupported(errno)) &&
            WriteFd(fd.get(), data, size) && Sync(fd.get());
  int err = errno;
  if (ok && close(fd.release()) != 0 && errno != EINTR) {
    ok = false;
    err = errno;
  }
  fd.reset();
  if (ok && renameat(folder, temp.c_str(), folder, target.name.c_str()) == 0) {
    const Fd dir(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) fsync(dir.get());  // best effort: not every folder
    return true;
  }
  if (ok) err = errno;
  unlinkat(folder, temp.c_str(), 0);
  if (ok && NoRename(err)) return WriteInPlace(target, data, size);
  errno = err;
  return false;
}

}  // namespace

WriteTarget::~WriteTarget() {
  if (file >= 0) close(static_cast<int>(file));
  if (folder >= 0) close(static_cast<int>(folder));
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

bool ResolveForWrite(const char* name, WriteTarget* target, const char** why) {
  *why = nullptr;
  // Where the name leads, to replace the file there: found before anything
  // is opened, so that a protected link is refused untouched.
  Fd folder;
  std::string leaf;
  const bool located = Locate(name, &folder, &leaf);
  if (!located && errno == EACCES) return false;
  const int located_errno = errno;

  // The kernel opens what is there now.  (A FIFO waits for its reader
  // here, as the shell's > waits.)
  Fd fd(open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) return false;
    // Nothing there: a new file, made where the name leads (through a
    // link to nothing, the link's target), in a folder that takes one.
    if (!located) {
      errno = located_errno;
      return false;
    }
    if (faccessat(folder.get(), ".", W_OK | X_OK, 0) != 0) return false;
    target->how = WriteTarget::How::kReplace;
    target->exists = false;
    target->folder = folder.release();
    target->name = leaf;
    return true;
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return false;
  target->exists = true;
  target->device = static_cast<std::uint64_t>(st.st_dev);
  target->inode = static_cast<std::uint64_t>(st.st_ino);
  target->mode = st.st_mode & 07777U;
  if (!S_ISREG(st.st_mode)) {
    target->how = WriteTarget::How::kDirect;
  } else {
    // Replaced only where the name leads to the very file the kernel
    // opened; anything else (a deleted file reached through /dev/fd/N,
    // say) is written where it is, as fopen would.
    struct stat there {};
    const bool same =
        located &&
        fstatat(folder.get(), leaf.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        there.st_dev == st.st_dev && there.st_ino == st.st_ino;
    target->how = !same || MustWriteInPlace(folder.get(), fd.get(), st)
                      ? WriteTarget::How::kInPlace
                      : WriteTarget::How::kReplace;
    if (same) {
      target->folder = folder.release();
      target->name = leaf;
    }
  }
  target->file = fd.release();
  return true;
}

bool WriteWhole(WriteTarget& target, const void* data, std::size_t size) {
  switch (target.how) {
    case WriteTarget::How::kDirect:
      return WriteFd(static_cast<int>(target.file), data, size);
    case WriteTarget::How::kInPlace:
      return WriteInPlace(target, data, size);
    case WriteTarget::How::kReplace:
      break;
  }
  return Replace(target, data, size);
}

}  // namespace platform
