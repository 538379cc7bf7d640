// glyphpack's words for what CheckGrid finds in a grid.
#ifndef ZOL_GLYPHPACK_WARNINGS_H
#define ZOL_GLYPHPACK_WARNINGS_H

#include "packer.h"

namespace glyphpack {

// Prints the report on standard error, "glyphpack: name:line: ..." each: at
// most one line per grid line and kind and 16 in all, then a count of the
// rest.  The commands it gives are for the shell of the system it runs on.
void WarnAboutGrid(const char* name, const grids::GridReport& report);

}  // namespace glyphpack

#endif  // ZOL_GLYPHPACK_WARNINGS_H
