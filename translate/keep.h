// Whether a file that a dump would be written over holds a translator's
// work: an Atlas script or a Thingy table they have edited, whatever
// encoding and line ends their editor saved it with.
#ifndef ZOL_TRANSLATE_KEEP_H
#define ZOL_TRANSLATE_KEEP_H

#include <cstddef>
#include <string_view>

namespace translate {

// The first line (from 1) of the file existing that writing output over it
// would lose, or 0 if there is none.  The file is read as its editor saved
// it: UTF-8, or UTF-16 (by its byte order mark, or by a zero byte in its
// first character), with any line ends.
// - In an Atlas script (a file with a line that starts, after blanks, with
//   #JMP): its first line that differs from output, unless the file is
//   output byte for byte, line ends and a UTF-8 byte order mark aside (one
//   saved as UTF-16 never is: then its first line).
// - In a Thingy table: its first HEX=text line that output does not hold.
std::size_t LostLine(std::string_view existing, std::string_view output);

}  // namespace translate

#endif  // ZOL_TRANSLATE_KEEP_H
