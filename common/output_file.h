// A file a program writes its result to (glyphpack's table, msgdump -o,
// msginsert -o and --bps): how it will be written is decided before the
// job starts, refusing any of the run's inputs, and it is written whole
// once the job is done.
#ifndef ZOL_COMMON_OUTPUT_FILE_H
#define ZOL_COMMON_OUTPUT_FILE_H

#include <cstddef>
#include <string>
#include <vector>

#include "platform.h"

namespace output_file {

// A file the run reads, which the output must not be.
struct Input {
  std::string path;
  std::string what;  // "is " what "; not overwritten"
};

// Decides how path is written (platform::ResolveForWrite); false, said on
// standard error, if it cannot be, or if it is one of inputs (the same
// file, through any link or hard link).
bool Resolve(const std::string& path, const std::vector<Input>& inputs,
             platform::WriteTarget* target);

// Makes data the whole of target, the file path; false, said, if not.
bool Write(platform::WriteTarget& target, const std::string& path,
           const void* data, std::size_t size);

}  // namespace output_file

#endif  // ZOL_COMMON_OUTPUT_FILE_H
