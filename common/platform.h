// The operating-system services the programs need beyond C's streams:
// inputs that must be files, what a file is, path arguments, terminals, and
// writing a file (the table, msgdump's -o FILE) the way fopen(..., "wb")
// would, but so that a crash, a power cut or a second run never leaves a
// broken one.  Failure is false (or null) with errno set.  platform.cpp
// holds the safe write's shape, platform_posix.cpp and platform_windows.cpp
// each system's steps; the commands hints give are in shell.h.
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
  // True where other is this very file.
  [[nodiscard]] bool Same(const FileInfo& other) const {
    return device == other.device && inode == other.inode;
  }
};

// The file path names (links followed).
bool Stat(const char* path, FileInfo* info);

// path (UTF-8 on Windows) opened for binary reading if it is a regular file,
// and *info filled.  A FIFO or a device is refused at once, never waited on
// (null, *why "not a regular file"); a folder gives EISDIR.
std::FILE* OpenInput(const char* path, FileInfo* info, const char** why);

// Argument i as a path for OpenInput: on Windows from the wide command line,
// so that any script survives the ANSI code page; elsewhere argv[i].
std::string PathArgument(char** argv, int i);

// utf8 as the place messages are shown reads it: on Windows in the console's
// code page (the ANSI one where standard error is a file); elsewhere as is.
std::string Shown(const std::string& utf8);

// text as a text-mode stream writes it: on Windows every "\n" as CR LF.
std::string NativeLineEnds(const std::string& text);

// Makes f write "\n" as LF on every system.
void KeepLineEnds(std::FILE* f);

// True where f is a terminal or a console.
bool IsTerminal(std::FILE* f);

// True where f is a terminal that shows UTF-8, and so Shift-JIS as mojibake
// (POSIX terminals; never the Windows console).
bool IsUtf8Terminal(std::FILE* f);

// Where a file is to be written: decided by ResolveForWrite before the job
// starts, written by WriteWhole once it is done.  What the system found
// stays in its State.
struct WriteTarget {
  struct State;
  WriteTarget();
  ~WriteTarget();
  // The file found at the name, or null where there was none (a new one is
  // made).
  [[nodiscard]] const FileInfo* Found() const;
  // True where what was found (a pipe, a terminal, /dev/null) is written
  // straight on, no file kept.
  [[nodiscard]] bool Direct() const;
  std::unique_ptr<State> state;
};

// Decides, touching nothing, how name can be written as fopen(name, "wb")
// would: the kernel opens what is there, through links, neither created nor
// truncated.  A link in a sticky, world-writable folder is followed, and a
// file or FIFO there written, only if the folder's owner or this user owns
// it (as Linux's fs.protected_* have it, whatever they are set to), else
// EACCES.  A regular file is replaced, or written in place where replacing
// it would show (another hard link, owner or group, extended attributes or
// ACLs, a read-only folder or another's sticky one, permissions Windows
// would widen); anything else (/dev/null, a pipe, a FIFO with a reader, a
// terminal, NUL, CON) is written directly, opened blocking as > opens it.
bool ResolveForWrite(const char* name, WriteTarget* target);

// Makes data the whole content of target: a temporary made exclusively
// beside it (its name, cut to fit, + ".tmp-" + six random characters), with
// its permissions, synced and renamed over it, the folder synced (a file
// system that cannot set permissions or sync goes on without).  Where no
// temporary can be made or the rename is refused (a mount point, another's
// link in a sticky folder, a file another Windows program holds), the file
// is written in place: the one found at the start or a new one, never a
// link put there since (EACCES), room made first so that a full disk leaves
// it whole.  A failed run keeps the earlier file and removes its temporary;
// only a killed one may leave it.
bool WriteWhole(WriteTarget& target, const void* data, std::size_t size);

}  // namespace platform

#endif  // ZOL_COMMON_PLATFORM_H
