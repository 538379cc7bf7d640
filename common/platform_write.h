// What a WriteTarget holds, and the steps of a safe write that each system
// takes its own way (platform_posix.cpp, platform_windows.cpp); platform.cpp
// puts them in order.  Only the platform layer includes it.
#ifndef ZOL_COMMON_PLATFORM_WRITE_H
#define ZOL_COMMON_PLATFORM_WRITE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform.h"

namespace platform {

struct WriteTarget::State {
  enum class How { kReplace, kInPlace, kDirect };  // see ResolveForWrite
  How how = How::kReplace;
  bool exists = false;  // found is what was there at the start
  FileInfo found;
  unsigned mode = 0;  // its permission bits
  // The file held open (a descriptor or a HANDLE), or -1; on POSIX the
  // folder it is replaced in and its name there, on Windows its path.
  std::intptr_t file = -1;
  std::intptr_t folder = -1;
  std::string name;
  ~State();  // closes what it holds
};

// A temporary file beside a target: its handle, and its name as the
// target's is.
struct Temp {
  std::intptr_t file = -1;
  std::string name;
};

// Six bytes from the system's random source.
void Random(unsigned char bytes[6]);
// Creates temp's name exclusively (never opening a file of the user's, nor
// a second run's: EEXIST), with the earlier file's permissions.
bool CreateTemp(WriteTarget::State& target, Temp* temp);
// Writes up to size bytes to file: how many, or -1.
long WriteSome(std::intptr_t file, const void* data, std::size_t size);
// Writes all size bytes to file (in platform.cpp).
bool WriteAll(std::intptr_t file, const void* data, std::size_t size);
// Syncs file to the disk, where its file system can.
bool Sync(std::intptr_t file);
// Closes the temporary and puts it in target's place.
bool RenameOver(WriteTarget::State& target, Temp* temp);
// Closes the temporary, if open, and deletes it; errno is kept.
void RemoveTemp(WriteTarget::State& target, Temp* temp);
// Rewrites the file target found, or makes one where none was: never
// through a link that was not there at the start.
bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size);

}  // namespace platform

#endif  // ZOL_COMMON_PLATFORM_WRITE_H
