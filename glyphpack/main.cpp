// glyphpack: packs the two hand-edited grids zol_00.txt (the one-byte page)
// and zol_01.txt (the kanji page) into the glyph table zol.tbl.
//
// Takes no arguments (any given are ignored, but --help and --version,
// which print and touch nothing) and works in the current directory.
// zol.tbl is written as fopen(..., "wb") would write it (through a link the
// kernel follows, keeping hard links and permissions), but only once both
// grids have been read, and by an atomic replace wherever one is possible,
// so a missing grid, a full disk, a crash or a second run never costs the
// translator the table they had.  Exit status: 0 when zol.tbl was written.
#include <cstdio>
#include <cstring>
#include <vector>

#include "arguments.h"
#include "file_io.h"
#include "glyph_table.h"
#include "message.h"
#include "output_file.h"
#include "packer.h"
#include "platform.h"
#include "warnings.h"

namespace {

constexpr char kHelp[] =
    "usage: glyphpack\n"
    "\n"
    "Packs the grids zol_00.txt and zol_01.txt of the current folder into\n"
    "the glyph table zol.tbl that msgdump reads.  Takes no arguments.\n";

// glyphpack's command line: the first --help or --version, if any; every
// other word is ignored.
struct Options {
  bool help = false;
  bool version = false;
};
bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc && !o->help && !o->version; ++i) {
    o->help = std::strcmp(argv[i], "--help") == 0;
    o->version = std::strcmp(argv[i], "--version") == 0;
  }
  return true;
}

// Packs the grids into the table; the exit status.
int Pack(const Options& /*o*/, char** /*argv*/) {
  std::printf("TABLEFILE: %s\n", glyph_table::kFileName);
  // Decided before any grid is read: where fopen could not create the
  // table, the run stops here, as it always has, and so it does where the
  // table is a grid (a link or a hard link to it), which it would cost the
  // translator.
  std::vector<output_file::Input> grids_read(glyph_table::kPages);
  for (int p = 0; p < static_cast<int>(glyph_table::kPages); ++p)
    grids_read[p] = {grids::GridName(p), "the grid " + grids::GridName(p)};
  platform::WriteTarget target;
  if (!output_file::Resolve(glyph_table::kFileName, grids_read, &target)) {
    std::fputs("table data not found.\n", stdout);
    return message::Finish(false);
  }

  unsigned char table[glyph_table::kFileBytes];
  // As much of a grid as the checks need; the page is made from its first
  // 542 bytes (16 rows 34 bytes apart).
  std::vector<unsigned char> grid(grids::kCheckBytes);
  for (int p = 0; p < static_cast<int>(glyph_table::kPages); ++p) {
    const std::string name = grids::GridName(p);
    std::printf("TEXTFILE: %s\n", name.c_str());
    std::size_t got = 0;
    const char* why = nullptr;
    const file_io::File fpt(platform::OpenInput(name.c_str(), nullptr, &why));
    // A grid that opens but cannot be read (a directory) counts as missing.
    if (!fpt || !file_io::ReadUpTo(fpt.get(), grid.data(), grid.size(), &got)) {
      message::SayWhy(name, why);
      std::printf("txt data not found: %s\n", name.c_str());
      return message::Finish(false);
    }
    glyphpack::WarnAboutGrid(name.c_str(),
                             grids::CheckGrid(grid.data(), got, p));
    grids::PackPage(grid.data(), got, table + p * glyph_table::kPageBytes);
  }

  return message::Finish(
      output_file::Write(target, glyph_table::kFileName, table, sizeof table));
}

}  // namespace

int main(int argc, char** argv) {
  return arguments::Main("glyphpack", kHelp, argc, argv, ParseOptions, Pack);
}
