// The few operating-system services the programs need beyond standard C
// streams, in one place: opening a file by a name any script can spell,
// the command line's path arguments, and writing the glyph table so that a
// crash, a power cut or a second run never leaves a broken one.
//
// platform_posix.cpp and platform_windows.cpp implement it; a new system
// call belongs there, never as an #ifdef in a program.  Every function
// reports failure by returning false with errno set.
#ifndef ZOL_COMMON_PLATFORM_H
#define ZOL_COMMON_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Whether the programs are built for Windows, for texts that must speak its
// words (a command to type, say).
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// Opens path (bytes as given on POSIX, UTF-8 on Windows, where the file is
// opened by its wide-character name) with a binary stdio mode.
std::FILE* OpenStream(const char* path, const char* mode);

// Command-line argument i as a path for OpenStream.  On Windows it is taken
// from the wide command line, so a name in any script survives whatever the
// ANSI code page is; elsewhere it is argv[i] unchanged.
std::string PathArgument(char** argv, int i);

// The size of the open file f.  False if f is no regular file (a folder, a
// pipe, a device): *why is a reason of our own, or null for strerror(errno).
bool FileSize(std::FILE* f, std::uint64_t* size, const char** why);

// text as a text-mode stream writes it: on Windows every "\n" as CR LF.
std::string NativeLineEnds(const std::string& text);

// True where f is a terminal that would turn Shift-JIS into mojibake (POSIX
// terminals, which show UTF-8 nearly everywhere; never on Windows, whose
// console can show Shift-JIS).
bool IsTerminal(std::FILE* f);

// Where and how a file (the table, msgdump's -o FILE) is to be written.
struct WriteTarget {
  std::string path;       // the file's own name, symbolic links followed
  bool exists = false;    // a file is there now
  bool in_place = false;  // rewrite that file instead of replacing it
  unsigned mode = 0;      // the existing file's permission bits
};

// Decides how name can be written, the way fopen(name, "wb") would see it:
// symbolic links are followed (40 hops at most, as open does); an existing
// file must be a regular file this user may write; a new file's folder must
// exist and be writable.  Where replacing the file would change what others
// see of it (another hard link, another owner or group, extended attributes
// or ACLs, a folder that is read-only, or sticky and another's) it is
// written in place.  On failure *why is a reason of our own, or null for
// strerror(errno).
bool ResolveForWrite(const char* name, WriteTarget* target, const char** why);

// Makes data the whole content of target, synced to the disk.  Replacement:
// a temporary file created exclusively beside it (named after it with
// ".tmp-" and a unique suffix), given the earlier file's permissions,
// synced, then renamed over it; the folder is synced too.  Where the rename
// is refused (a file that is a mount point, say) or, on Windows, the file
// is held open by another program, it is written in place after all.  A
// failed run removes its temporary; only a killed one leaves it behind.  In
// place: the file is rewritten without truncation, cut to size and synced.
bool WriteWhole(const WriteTarget& target, const void* data, std::size_t size);
inline bool WriteWhole(const WriteTarget& target, const std::string& data) {
  return WriteWhole(target, data.data(), data.size());
}

}  // namespace platform

#endif  // ZOL_COMMON_PLATFORM_H
