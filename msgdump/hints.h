// What msgdump says, on standard error, where a friend who knows the tools
// would speak up: the script and the exit status stay the same.
#ifndef ZOL_MSGDUMP_HINTS_H
#define ZOL_MSGDUMP_HINTS_H

#include <cstdint>
#include <vector>

#include "table.h"

namespace msgdump {

// zol.tbl is missing: glyphpack makes it.
void HintNoTable(const char* name);

// The table is not the 1024 bytes glyphpack makes (perhaps a Thingy table
// saved under its name).
void HintTableSize(const char* name, std::uint64_t size,
                   const decoder::GlyphTable& table);

// A grid changed after the table was made from it.
void HintStaleTable(const char* name, const char* grid);

// What the image's size says: a copier header, no text window at all, or
// a window cut off at `stops` (where the script ends in [EOF]).
void HintImageSize(const char* name, std::uint64_t size, std::uint64_t stops);

// The Shift-JIS script is headed for a terminal that shows UTF-8.
void HintShiftJisTerminal();

// Names the codes whose entries the UTF-8 script shows as U+FFFD.
void HintNotCp932(const char* table, const std::vector<unsigned>& codes);

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_HINTS_H
