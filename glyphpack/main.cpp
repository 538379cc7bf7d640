// glyphpack: packs the two hand-edited grids zol_00.txt (the one-byte page)
// and zol_01.txt (the kanji page) into the glyph table zol.tbl.
//
// Takes no arguments (any given are ignored) and works in the current
// directory.  The new table is written beside the old one and moved over it
// only once it is complete, so a missing grid or a full disk never costs the
// translator the table they had.  Exit status: 0 when zol.tbl was written.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "file_io.h"
#include "glyph_table.h"
#include "packer.h"

namespace {

constexpr char kProgram[] = "glyphpack";
constexpr char kTempName[] = "zol.tbl.new";

using file_io::File;

// The new table, written under a temporary name beside zol.tbl.  On every
// path that does not move it into place it is closed and removed.
struct NewTable {
  NewTable() : fp(file_io::Open(kTempName, "wb")), created(fp != nullptr) {}
  ~NewTable() {
    fp.reset();  // closed first: some systems cannot remove an open file
    if (created && !moved) std::remove(kTempName);
  }
  File fp;
  bool created;
  bool moved = false;
};

}  // namespace

int main() {
  std::printf("TABLEFILE: %s\n", glyph_table::kFileName);
  NewTable table;
  if (!table.created) {
    file_io::WarnErrno(kProgram, kTempName, errno);
    std::fputs("table data not found.\n", stdout);
    return file_io::Finish(kProgram, false);
  }

  for (int p = 0; p < static_cast<int>(glyph_table::kPages); ++p) {
    const glyphpack::SourceName name(p);
    std::printf("TEXTFILE: %s\n", name.text);
    unsigned char grid[glyphpack::kGridBytes];
    std::size_t got = 0;
    File fpt = file_io::Open(name.text, "rb");
    // A grid that opens but cannot be read (a directory) counts as missing.
    if (!fpt || !file_io::ReadUpTo(fpt.get(), grid, sizeof grid, &got)) {
      file_io::WarnErrno(kProgram, name.text, errno);
      std::printf("txt data not found: %s\n", name.text);
      return file_io::Finish(kProgram, false);
    }
    glyphpack::WarnAboutGrid(kProgram, name.text,
                             glyphpack::CheckGrid(grid, got));
    unsigned char page[glyph_table::kPageBytes];
    glyphpack::PackPage(grid, got, page);
    if (!file_io::WriteAll(table.fp.get(), page, sizeof page)) {
      file_io::WarnErrno(kProgram, glyph_table::kFileName, errno);
      return file_io::Finish(kProgram, false);
    }
  }

  if (!file_io::CloseWritten(table.fp)) {
    file_io::WarnErrno(kProgram, glyph_table::kFileName, errno);
    return file_io::Finish(kProgram, false);
  }
  std::error_code ec;
  std::filesystem::rename(kTempName, glyph_table::kFileName, ec);
  if (ec) {
    file_io::Warn(kProgram, glyph_table::kFileName, ec.message().c_str());
    return file_io::Finish(kProgram, false);
  }
  table.moved = true;
  return file_io::Finish(kProgram, true);
}
