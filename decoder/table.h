// The glyph table as msgdump holds it: all 512 entries in one array (the
// kanji lookup for 0xFF 0x00 reaches back across the page boundary), each
// entry its two bytes plus a NUL, so an entry prints as a C string of at
// most two bytes.  An entry that loading does not reach stays empty.
#ifndef ZOL_DECODER_TABLE_H
#define ZOL_DECODER_TABLE_H

#include <cstddef>
#include <cstdio>

#include "glyph_table.h"

namespace decoder {

struct GlyphTable {
  unsigned char entry[glyph_table::kEntries][glyph_table::kEntryBytes + 1];
};

// Fills table from the stream fpt (the contents of zol.tbl): the first 1024
// bytes, entry after entry; a short file leaves the rest empty, a longer one
// is read no further.  False, with errno set, if reading fails (a stream
// that opened but cannot be read is no table).
bool LoadTable(std::FILE* fpt, GlyphTable& table);

// The same from the bytes of a table file already in memory.
void TableFromBytes(const unsigned char* raw, std::size_t size,
                    GlyphTable& table);

// Whether the table's first bytes read as a Thingy table's first line
// ("00=<00>"): text saved under the table's name.
bool LooksLikeThingy(const GlyphTable& table);

// The entry a glyph code shows, by the walk's index: c for 0x10 to 0xFE,
// 256 + n for 0xFF n (n from 0x00 to 0xFE).
inline const unsigned char* GlyphEntry(const GlyphTable& table,
                                       unsigned index) {
  return table.entry[glyph_table::EntryOfCode(index)];
}

// How many bytes entry e prints: both, the first alone if the second is 0,
// none if the first is 0.
inline std::size_t EntryLength(const unsigned char* e) {
  return e[0] == 0 ? 0 : e[1] == 0 ? 1 : 2;
}

}  // namespace decoder

#endif  // ZOL_DECODER_TABLE_H
