// msgdump: prints the script of Zolvane's ROM image.
//
//   msgdump zol.sfc > script.txt     Shift-JIS, as the original tools print it
//   msgdump --utf8 zol.sfc           the script alone, in UTF-8
//   msgdump --atlas zol.sfc          an Atlas script, to translate and insert
//   msgdump --thingy                 zol.tbl as a Thingy table, for the above
//   msgdump --to-fill zol.sfc        the glyphs the table still lacks
//   msgdump --find-font zol.sfc      where the image's font lies
//   msgdump --font LAYOUT --suggest zol.sfc   what each of its glyphs reads as
//   msgdump -o FILE ...              any of these into FILE, written safely
//
// Loads the glyph table (zol.tbl of the current directory, or --table's),
// then decodes the image's text window.  Without an option, standard output
// carries the fixed lines of the original tools and the script; with one,
// only what was asked for.  Everything else goes to standard error.  Exit
// status: 0 when the job was done, 1 when not.
#include <cerrno>
#include <cstdio>
#include <string>

#include "arguments.h"
#include "decoder.h"
#include "file_io.h"
#include "fonts.h"
#include "glyph_table.h"
#include "hints.h"
#include "message.h"
#include "options.h"
#include "output.h"
#include "platform.h"
#include "to_fill_text.h"
#include "translate.h"

namespace {

using message::Format;
using msgdump::Mode;

constexpr const char* kGrids[] = {"zol_00.txt", "zol_01.txt"};

// Loads the glyph table from path; false, said, if it cannot be read.
// Hints follow for a table of another size and for grids changed since.
bool LoadGlyphTable(const std::string& path, bool own,
                    decoder::GlyphTable* table) {
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File fpt(platform::OpenInput(path.c_str(), &info, &why));
  if (!fpt || !decoder::LoadTable(fpt.get(), *table)) {
    const int err = errno;
    message::SayWhy(path, why);
    if (own && why == nullptr && err == ENOENT)
      msgdump::HintNoTable(path.c_str());
    return false;
  }
  msgdump::HintTableSize(path.c_str(), info.size, *table);
  for (const char* grid : kGrids) {
    platform::FileInfo g;
    if (own && platform::Stat(grid, &g) && g.modified > info.modified)
      msgdump::HintStaleTable(path.c_str(), grid);
  }
  return true;
}

bool Run(const msgdump::Options& o, char** argv, msgdump::Output& out) {
  const bool classic = o.mode == Mode::kClassic;
  out.Fixed(Format(decoder::kBannerFormat, decoder::kInterfaceVersion));
  out.Fixed(decoder::kCredit);
  if (msgdump::NeedsImage(o.mode) && o.image == 0) {
    out.Fixed(" usage:msgdump zol.sfc\n");
    if (!classic || out.to_file())
      message::Say("command line",
                   "no ROM image given; msgdump --help says more");
    return false;
  }

  if (msgdump::ReadsFont(o.mode))
    return msgdump::RunFontMode(platform::PathArgument(argv, o.image),
                                o.font != 0 ? argv[o.font] : nullptr, out);

  out.Fixed(Format(decoder::kLoadingFormat, glyph_table::kFileName));
  const std::string table_path = o.table != 0
                                     ? platform::PathArgument(argv, o.table)
                                     : std::string(glyph_table::kFileName);
  static decoder::GlyphTable table;
  if (!LoadGlyphTable(table_path, o.table == 0, &table)) {
    out.Fixed("table data not found.\n");
    return false;
  }  // the table file is closed before the image is opened
  if (o.mode == Mode::kThingy) {
    out.Put(translate::ThingyText(translate::MakeThingy(table)));
    return true;
  }

  // The image is opened by its name as the system holds it (on Windows the
  // wide-character one), and named so in messages; the original tools'
  // line shows the argument as it was received.
  const std::string path = platform::PathArgument(argv, o.image);
  const char* const name = path.c_str();
  const char* why = nullptr;
  platform::FileInfo image;
  const file_io::File fp(platform::OpenInput(name, &image, &why));
  decoder::Window window;
  if (!fp) {
    message::SayWhy(name, why);
    // (On a terminal, a name's control bytes would drive it.)
    out.Fixed(Format("file %s not found.\n",
                     platform::IsTerminal(stdout) && !out.to_file()
                         ? message::ShowControlBytes(argv[o.image]).c_str()
                         : argv[o.image]));
    return false;
  }
  if (!decoder::ReadWindow(fp.get(), image.size, decoder::kWindowStart,
                           decoder::kWindowEnd, &window)) {
    message::SayErrno(name, errno);
    return false;
  }

  if (o.mode == Mode::kAtlas) {
    out.Put(translate::AtlasScript(translate::MakeThingy(table), window));
  } else if (o.mode == Mode::kToFill) {
    out.Put(msgdump::ToFillText(decoder::GlyphsToFill(table, window)));
  } else {
    out.Fixed("\n");
    static decoder::Renderings r;
    decoder::Render(
        table,
        classic ? decoder::Encoding::kShiftJis : decoder::Encoding::kUtf8, &r);
    out.Put(decoder::RenderScript(r, window).text());
    if (!classic)
      msgdump::HintNotCp932(table_path.c_str(),
                            decoder::CodesNotCp932(r, window));
  }
  msgdump::HintImageSize(name, image.size, window.start + window.bytes.size());
  if (classic && !out.to_file() && platform::IsUtf8Terminal(stdout))
    msgdump::HintShiftJisTerminal();
  return true;
}

// The run the command line asks for, from its output's start to its exit
// status.
int Dump(const msgdump::Options& o, char** argv) {
  // Atlas scripts and Thingy tables are read with LF line ends everywhere.
  msgdump::Output out(o.mode == Mode::kClassic,
                      o.mode != Mode::kAtlas && o.mode != Mode::kThingy);
  if (o.output != 0) {
    // The folder's own table and grids are the translator's work, kept
    // whether or not this run reads them.
    std::vector<msgdump::Input> inputs = {
        {o.table != 0 ? platform::PathArgument(argv, o.table)
                      : glyph_table::kFileName,
         "the glyph table being read"},
        {glyph_table::kFileName, "the glyph table zol.tbl"},
        {kGrids[0], "the grid zol_00.txt"},
        {kGrids[1], "the grid zol_01.txt"}};
    if (o.image != 0)
      inputs.push_back(
          {platform::PathArgument(argv, o.image), "the ROM image being read"});
    if (!out.ToFile(platform::PathArgument(argv, o.output), inputs))
      return out.Finish(false);
  }
  return out.Finish(Run(o, argv, out));
}

}  // namespace

int main(int argc, char** argv) {
  return arguments::Main("msgdump", msgdump::kUsage, argc, argv,
                         msgdump::ParseOptions, Dump);
}
