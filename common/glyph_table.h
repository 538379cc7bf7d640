// The glyph table: how the game's text codes map to Shift-JIS characters.
//
// zol.tbl is 1024 bytes and nothing else: 512 entries of two bytes each, in
// two pages of 256.  Page 0 is the one-byte page (entry c is the glyph of
// text code c: high nibble = grid row, low nibble = grid column).  Page 1 is
// the kanji page, reached through the two-byte form 0xFF n.  Each page is a
// 16 x 16 grid, stored row after row.  Entry bytes are kept exactly as the
// grid held them; nothing is converted or validated.
//
// glyphpack writes this file, msgdump reads it; both use these definitions.
//
// common/ starts here.  Beside it, for every library and program: cp932.h
// and utf8.h (text), file_io.h (reading a stream).  For the programs alone
// (their front ends, never a library): message.h (standard error and the
// end of a run), platform.h (every system call beyond C's streams) and
// shell.h (the commands hints give).
#ifndef ZOL_COMMON_GLYPH_TABLE_H
#define ZOL_COMMON_GLYPH_TABLE_H

#include <cstddef>

namespace glyph_table {

// The table file always lives in the current directory under this name.
inline constexpr const char kFileName[] = "zol.tbl";

inline constexpr std::size_t kEntryBytes = 2;  // one Shift-JIS character
inline constexpr std::size_t kGridSide = 16;   // rows = columns per page
inline constexpr std::size_t kPageEntries = kGridSide * kGridSide;  // 256
inline constexpr std::size_t kPages = 2;
inline constexpr std::size_t kEntries = kPages * kPageEntries;         // 512
inline constexpr std::size_t kRowBytes = kGridSide * kEntryBytes;      // 32
inline constexpr std::size_t kPageBytes = kPageEntries * kEntryBytes;  // 512
inline constexpr std::size_t kFileBytes = kPages * kPageBytes;         // 1024

// The two grids glyphpack packs, one per page, in the current directory.
inline constexpr const char* kGridNames[kPages] = {"zol_00.txt", "zol_01.txt"};

// The codes below this are the game's control codes: their cells (0 to 15)
// show nothing.
inline constexpr unsigned kControlCodes = 0x10;

// The prefix byte of the game's two-byte kanji codes.
inline constexpr unsigned kKanjiPrefix = 0xFF;

// Entry index of page p, grid row r, column k.
constexpr std::size_t EntryAt(std::size_t page, std::size_t row,
                              std::size_t col) {
  return page * kPageEntries + row * kGridSide + col;
}

// One-byte lookup: text code c is entry c.
constexpr std::size_t SingleByteEntry(unsigned char c) { return c; }

// Kanji lookup: 0xFF n is entry 255 + n.  n = 0x01 is the first cell of the
// kanji page; n = 0x00 reaches back to entry 255, the last cell of the
// one-byte page, which is why the two pages sit side by side in one array.
// n = 0xFF is no lookup at all: the decoder prints nothing for it.
constexpr std::size_t KanjiEntry(unsigned char n) {
  return kPageEntries - 1 + n;
}

// The two index spaces.  A code's index names a code as the walk finds it:
// c for a one-byte code (0xFF alone is the image's last byte), 256 + n for
// 0xFF n, so 512 in all.  A table entry names a cell: 0 to 511.
inline constexpr unsigned kCodes = 512;

// The entry code index shows, or -1 for the codes that show none (the
// control codes, 0xFF alone, 0xFF 0xFF).
constexpr int EntryOfCode(unsigned index) {
  if (index >= 0x10 && index < 0xFF)
    return static_cast<int>(SingleByteEntry(static_cast<unsigned char>(index)));
  if (index >= 0x100 && index < 0x1FF)
    return static_cast<int>(
        KanjiEntry(static_cast<unsigned char>(index - 0x100)));
  return -1;
}

// The code index that shows entry e, or -1 for the cells no code reaches
// (0 to 15, behind the control codes, and 510 and 511).
constexpr int CodeOfEntry(unsigned entry) {
  if (entry >= 0x10 && entry < 0xFF) return static_cast<int>(entry);
  if (entry >= 0xFF && entry < 510) return static_cast<int>(entry) + 1;
  return -1;
}

static_assert(KanjiEntry(0x01) == EntryAt(1, 0, 0));
static_assert(KanjiEntry(0x00) == EntryAt(0, 15, 15));
static_assert(KanjiEntry(0xFE) == 509);
static_assert(EntryOfCode(0x100) == 255 && CodeOfEntry(255) == 0x100);
static_assert(EntryOfCode(0x1FE) == 509 && EntryOfCode(0x1FF) == -1);
static_assert(EntryOfCode(0x0F) == -1 && CodeOfEntry(0x0F) == -1);

}  // namespace glyph_table

#endif  // ZOL_COMMON_GLYPH_TABLE_H
