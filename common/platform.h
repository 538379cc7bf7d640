// The operating-system services the programs need beyond standard C
// streams: opening an input that must be a file, what a file is, the
// command line's path arguments, terminals, and writing a file (the table,
// msgdump's -o FILE) the way fopen(..., "wb") would, but so that a crash, a
// power cut or a second run never leaves a broken one.  The commands that
// hints tell a user to type are in shell.h.
//
// platform_posix.cpp and platform_windows.cpp implement it; a new system
// call belongs there, never as an #ifdef in a program.  Every function
// reports failure by returning false (or null) with errno set, or with
// *why set to a reason of our own where errno has no word for it.
// platform.cpp holds what both share: the shape of a safe write.
#ifndef ZOL_COMMON_PLATFORM_H
#define ZOL_COMMON_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// What the programs need to know of a file.
struct FileInfo {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // last write, nanoseconds since 1970
  std::uint64_t device = 0;   // device and inode together name the file,
  std::uint64_t inode = 0;    // whatever links lead to it
};

// The file path names (links followed); false, with errno set, if none.
bool Stat(const char* path, FileInfo* info);

// Opens path (bytes as given on POSIX, UTF-8 on Windows, where the file is
// opened by its wide-character name) for binary reading if it is a regular
// file, and fills *info.  A FIFO or a device is refused at once, never
// waited on: null, with *why "not a regular file"; a folder gives EISDIR.
std::FILE* OpenInput(const char* path, FileInfo* info, const char** why);

// Command-line argument i as a path for OpenInput.  On Windows it is taken
// from the wide command line, so a name in any script survives whatever the
// ANSI code page is; elsewhere it is argv[i] unchanged.
std::string PathArgument(char** argv, int i);

// A message's UTF-8 text as the place it is shown reads it: on Windows in
// the console's code page (or the ANSI one where standard error goes to a
// file), so that a name's characters show as themselves; elsewhere as it
// is.
std::string Shown(const std::string& utf8);

// text as a text-mode stream writes it: on Windows every "\n" as CR LF.
std::string NativeLineEnds(const std::string& text);

// Makes f write "\n" as LF on every system (Windows' text mode would make
// it CR LF).
void KeepLineEnds(std::FILE* f);

// True where f is a terminal or a console.
bool IsTerminal(std::FILE* f);

// True where f is a terminal that shows UTF-8, and so Shift-JIS as
// mojibake (POSIX terminals; never the Windows console, which shows the
// code page's characters).
bool IsUtf8Terminal(std::FILE* f);

// Where a file is to be written, decided by ResolveForWrite before the job
// starts and written by WriteWhole once it is done.  What the system found
// and holds open for it is its own.
class WriteTarget {
 public:
  struct State;
  WriteTarget();
  WriteTarget(const WriteTarget&) = delete;
  WriteTarget& operator=(const WriteTarget&) = delete;
  ~WriteTarget();
  // The file found at the name (its device and inode in *file); false
  // where none was (a new file is made).
  bool Found(FileInfo* file) const;
  // True where no file is kept: what was found (a pipe, a terminal,
  // /dev/null) is written straight on.
  [[nodiscard]] bool Direct() const;
  State& state() { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

// Decides how name can be written, the way fopen(name, "wb") would see it,
// touching nothing.  The kernel follows the links: an existing target is
// opened for writing without being created or truncated, and what it is
// decides the rest.  A link in a sticky, world-writable folder is followed
// only if the folder's owner or this user owns it (as Linux does with
// fs.protected_symlinks=1, whatever the setting), else EACCES.  A regular
// file is replaced, or written in place where replacing it would change
// what others see of it (another hard link, owner or group, extended
// attributes or ACLs, a folder that is read-only, or sticky and another's,
// permissions Windows would widen).  Anything else (/dev/null, a pipe, a
// FIFO with a reader, a terminal, NUL, CON) is written directly, opened
// blocking as the shell's > opens it.
bool ResolveForWrite(const char* name, WriteTarget* target);

// True when path names the file target would write: the same device and
// inode, whatever links or hard links lead to it.
inline bool WouldWrite(const WriteTarget& target, const char* path) {
  FileInfo found;
  FileInfo info;
  return target.Found(&found) && Stat(path, &info) &&
         info.device == found.device && info.inode == found.inode;
}

// Makes data the whole content of target: a temporary file created
// exclusively beside it (named after it, cut to fit, with ".tmp-" and six
// random characters), given the earlier file's permissions, synced and
// renamed over it, the folder synced.  A file system that cannot set
// permissions or sync goes on without.  Where no file can be made there, or
// the rename is refused (a mount point, a folder that takes none, another's
// link in a sticky folder, on Windows a file another program holds), the
// file is written in place after all: the file found at the start, or a new
// one; never a link that was not there at the start (EACCES).  In place:
// room made for it on the disk (so that a full one fails with the file
// untouched), rewritten without truncation, cut to size, synced.  A failed
// run removes its temporary and keeps the earlier file; only a killed run
// leaves the temporary behind.
bool WriteWhole(WriteTarget& target, const void* data, std::size_t size);

}  // namespace platform

#endif  // ZOL_COMMON_PLATFORM_H
