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

int Finish(bool done) {
  const bool flushed = file_io::FinishStdout(kProgram);
  return done && flushed ? 0 : 1;
}

// Removes the half-written table on every path that does not move it into
// place.
struct TempFile {
  ~TempFile() {
    if (!kept) std::remove(kTempName);
  }
  bool kept = false;
};

}  // namespace

int main() {
  std::printf("TABLEFILE: %s\n", glyph_table::kFileName);
  File fp = file_io::Open(kTempName, "wb");
  if (!fp) {
    file_io::WarnErrno(kProgram, kTempName, errno);
    std::fputs("table data not found.\n", stdout);
    return Finish(false);
  }
  TempFile temp;

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
      fp.reset();
      return Finish(false);
    }
    glyphpack::WarnAboutGrid(kProgram, name.text,
                             glyphpack::CheckGrid(grid, got));
    unsigned char page[glyph_table::kPageBytes];
    glyphpack::PackPage(grid, got, page);
    if (!file_io::WriteAll(fp.get(), page, sizeof page)) {
      file_io::WarnErrno(kProgram, glyph_table::kFileName, errno);
      fp.reset();
      return Finish(false);
    }
  }

  if (!file_io::CloseWritten(fp)) {
    file_io::WarnErrno(kProgram, glyph_table::kFileName, errno);
    return Finish(false);
  }
  std::error_code ec;
  std::filesystem::rename(kTempName, glyph_table::kFileName, ec);
  if (ec) {
    file_io::Warn(kProgram, glyph_table::kFileName, ec.message().c_str());
    return Finish(false);
  }
  temp.kept = true;
  return Finish(true);
}
