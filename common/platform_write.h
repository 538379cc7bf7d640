// What a WriteTarget holds, and the steps of a safe write that each system
// takes its own way (platform_posix.cpp, platform_windows.cpp); platform.cpp
// puts them in order.  Only the platform layer includes it.
#ifndef ZOL_COMMON_PLATFORM_WRITE_H
#define ZOL_COMMON_PLATFORM_WRITE_H

#include "platform.h"

namespace platform {

enum class How { kReplace, kInPlace, kDirect };  // see ResolveForWrite

struct WriteTarget::State {
  How how = How::kReplace;
  bool exists = false;  // found is what was there at the start
  FileInfo found;
  unsigned mode = 0;  // its permission bits
  // The file held open (a descriptor or a HANDLE) or -1, and its name: on
  // POSIX in folder, the folder it is replaced in; on Windows a path.
  std::intptr_t file = -1;
  std::intptr_t folder = -1;
  std::string name;
  std::intptr_t temp = -1;  // the temporary beside it, while open
  std::string temp_name;    // named as name is
  ~State();                 // closes file and folder
};

// Six bytes from the system's random source; false where it has none.
bool Random(unsigned char bytes[6]);
// Creates temp_name exclusively (never opening a file of the user's, nor a
// second run's: EEXIST), with the earlier file's permissions.
bool CreateTemp(WriteTarget::State& target);
// Writes up to size bytes to file: how many, or -1.
long WriteSome(std::intptr_t file, const void* data, std::size_t size);
// Writes all size bytes to file (platform.cpp).
bool WriteAll(std::intptr_t file, const void* data, std::size_t size);
// Syncs file to the disk, where its file system can.
bool Sync(std::intptr_t file);
// Closes the temporary and renames it over the file.
bool RenameOver(WriteTarget::State& target);
// Closes the temporary, if open, and deletes it; errno is kept.
void RemoveTemp(WriteTarget::State& target);
// Rewrites the file found, or makes one where none was: never through a
// link that was not there at the start (the name taken since: EEXIST).
bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size);

}  // namespace platform

#endif  // ZOL_COMMON_PLATFORM_WRITE_H
