// The glyph table, loaded from zol.tbl's bytes.
#include "table.h"

#include <cstring>

#include "file_io.h"

namespace decoder {

using glyph_table::kEntryBytes;
using glyph_table::kFileBytes;

bool LoadTable(std::FILE* fpt, GlyphTable& table) {
  unsigned char raw[kFileBytes];
  std::size_t got = 0;
  if (!file_io::ReadUpTo(fpt, raw, sizeof raw, &got)) return false;
  TableFromBytes(raw, got, table);
  return true;
}

void TableFromBytes(const unsigned char* raw, std::size_t size,
                    GlyphTable& table) {
  std::memset(&table, 0, sizeof table);
  const std::size_t got = size < kFileBytes ? size : kFileBytes;
  for (std::size_t i = 0; i < got / kEntryBytes; ++i)
    std::memcpy(table.entry[i], raw + i * kEntryBytes, kEntryBytes);
  // A file of odd length ends in half an entry.  That byte is kept as a
  // one-byte entry rather than dropped: a hand-made table never loses data.
  if (got % kEntryBytes != 0) table.entry[got / kEntryBytes][0] = raw[got - 1];
  static_assert(kFileBytes / kEntryBytes == glyph_table::kEntries);
}

bool LooksLikeThingy(const GlyphTable& table) {
  const auto hex = [](unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
           (c >= 'a' && c <= 'f');
  };
  const unsigned char* const e0 = table.entry[0];
  const unsigned char* const e1 = table.entry[1];
  return hex(e0[0]) && hex(e0[1]) && e1[0] == '=';
}

}  // namespace decoder
