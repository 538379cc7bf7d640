// glyphpack: packs the two hand-edited grids zol_00.txt (the one-byte page)
// and zol_01.txt (the kanji page) into the glyph table zol.tbl.
//
// Takes no arguments (any given are ignored) and works in the current
// directory.  zol.tbl is written as fopen(..., "wb") would write it (through
// a symbolic link, keeping hard links and permissions), but only once both
// grids have been read, and by an atomic replace wherever one is possible,
// so a missing grid, a full disk, a crash or a second run never costs the
// translator the table they had.  Exit status: 0 when zol.tbl was written.
#include <cerrno>
#include <cstdio>
#include <vector>

#include "file_io.h"
#include "glyph_table.h"
#include "message.h"
#include "packer.h"
#include "platform.h"

using file_io::File;

int main() {
  message::SetProgram("glyphpack");
  std::printf("TABLEFILE: %s\n", glyph_table::kFileName);
  // Decided before any grid is read: where fopen could not create the
  // table, the run stops here, as it always has.
  platform::WriteTarget target;
  const char* why = nullptr;
  if (!platform::ResolveForWrite(glyph_table::kFileName, &target, &why)) {
    if (why != nullptr)
      message::Say(glyph_table::kFileName, why);
    else
      message::SayErrno(glyph_table::kFileName, errno);
    std::fputs("table data not found.\n", stdout);
    return file_io::Finish(false);
  }

  unsigned char table[glyph_table::kFileBytes];
  // As much of a grid as the checks need; the page is made from its first
  // 544 bytes.
  std::vector<unsigned char> grid(glyphpack::kCheckBytes);
  for (int p = 0; p < static_cast<int>(glyph_table::kPages); ++p) {
    const glyphpack::SourceName name(p);
    std::printf("TEXTFILE: %s\n", name.text);
    std::size_t got = 0;
    File fpt = file_io::Open(name.text, "rb");
    // A grid that opens but cannot be read (a directory) counts as missing.
    if (!fpt || !file_io::ReadUpTo(fpt.get(), grid.data(), grid.size(), &got)) {
      message::SayErrno(name.text, errno);
      std::printf("txt data not found: %s\n", name.text);
      return file_io::Finish(false);
    }
    glyphpack::WarnAboutGrid(name.text,
                             glyphpack::CheckGrid(grid.data(), got, p));
    glyphpack::PackPage(grid.data(), got, table + p * glyph_table::kPageBytes);
  }

  if (!platform::WriteWhole(target, table, sizeof table)) {
    message::SayErrno(glyph_table::kFileName, errno);
    return file_io::Finish(false);
  }
  return file_io::Finish(true);
}
