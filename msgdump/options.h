// msgdump's command line.
#ifndef ZOL_MSGDUMP_OPTIONS_H
#define ZOL_MSGDUMP_OPTIONS_H

namespace msgdump {

enum class Mode {
  kClassic,
  kUtf8,
  kAtlas,
  kThingy,
  kToFill,
  kSuggest,
  kFindFont
};

struct Options {
  Mode mode = Mode::kClassic;
  int image = 0;   // argv index of the image, 0 if none
  int output = 0;  // argv index of -o's FILE, 0 if none
  int table = 0;   // argv index of --table's FILE, 0 for zol.tbl
  int font = 0;    // argv index of --font's LAYOUT, 0 if none
  bool help = false;
  bool version = false;
};

inline constexpr char kUsage[] =
    "usage: msgdump [-o FILE] [--table FILE] [--utf8 | --atlas | --to-fill] "
    "IMAGE\n"
    "       msgdump [-o FILE] [--table FILE] --thingy\n"
    "       msgdump [-o FILE] --font LAYOUT --suggest IMAGE\n"
    "       msgdump [-o FILE] --find-font IMAGE\n"
    "       msgdump --help | --version\n"
    "\n"
    "Prints the script in the text window of a Zolvane ROM image, with the\n"
    "glyph table zol.tbl of the current folder (glyphpack makes it).\n"
    "\n"
    "  (no option)   the script in Shift-JIS, after the original tools' lines\n"
    "  --utf8        the script alone, in UTF-8\n"
    "  --atlas       the script for Atlas, to translate and insert it back\n"
    "  --thingy      the glyph table as the Thingy table --atlas goes with\n"
    "  --to-fill     the codes the script uses whose glyph is not drawn yet\n"
    "  --find-font   where the image's font lies, as layouts, likeliest first\n"
    "  --suggest     each inked glyph of the font at --font LAYOUT, and the "
    "five\n"
    "                characters it looks most like (no glyph table needed)\n"
    "  --font LAYOUT   FORMAT:OFFSET[:KANJI]: FORMAT 1bpp, 2bpp or 4bpp; the\n"
    "                glyph of code 0x10 at OFFSET, of 0xFF 0x01 at KANJI\n"
    "  --table FILE  another glyph table instead of ./zol.tbl\n"
    "  -o FILE       into FILE instead of standard output, written only when\n"
    "                the whole job is done (never over an input)\n"
    "  --help, --version\n";

// Reads the command line; false, said on standard error, when it cannot be
// followed.  Options start with '-' and come in any order; "--" ends them.
// The first other argument is the image, later ones are ignored.
bool ParseOptions(int argc, char** argv, Options* o);

// Whether the mode reads an image.
inline bool NeedsImage(Mode mode) { return mode != Mode::kThingy; }

// Whether the mode reads the image's font rather than its script (and
// needs no glyph table).
inline bool ReadsFont(Mode mode) {
  return mode == Mode::kSuggest || mode == Mode::kFindFont;
}

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_OPTIONS_H
