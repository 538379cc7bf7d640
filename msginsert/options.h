// msginsert's command line.
#ifndef ZOL_MSGINSERT_OPTIONS_H
#define ZOL_MSGINSERT_OPTIONS_H

namespace msginsert {

struct Options {
  int script = 0;  // argv index of the Atlas script, 0 if none
  int image = 0;   // argv index of the ROM image, 0 if none
  int table = 0;   // argv index of --table's FILE, 0 for the script's own
  int output = 0;  // argv index of -o's PATCHED, 0 if none
  int bps = 0;     // argv index of --bps's PATCH, 0 if none
  int font = 0;    // argv index of --font's LAYOUT, 0 if none
  int pairs = 0;   // argv index of --pairs's DIR, 0 if none
  int fill = -1;   // --fill's byte, -1 if none
  bool as_atlas = false;
  bool help = false;
  bool version = false;
};

inline constexpr char kUsage[] =
    "usage: msginsert [--table FILE] [--fill XX] [--as-atlas] [-o PATCHED] "
    "[--bps PATCH]\n"
    "                 [--font LAYOUT --pairs DIR] SCRIPT IMAGE\n"
    "       msginsert --help | --version\n"
    "\n"
    "Inserts the Atlas script SCRIPT (msgdump --atlas, translated) into a\n"
    "copy of the ROM image IMAGE, which is never written, and says on\n"
    "standard error every line that was cut, padded or left short.\n"
    "\n"
    "  -o PATCHED    write the patched image to PATCHED\n"
    "  --bps PATCH   write a BPS patch from IMAGE to the patched image\n"
    "                (with neither: the report, and --pairs's files)\n"
    "  --table FILE  the Thingy table, instead of the one the script's\n"
    "                #ADDTBL names (relative to the script's folder)\n"
    "  --fill XX     pad shorter lines with the byte XX (hex), unless the\n"
    "                script's #FILL says otherwise\n"
    "  --as-atlas    insert exactly as Atlas 1.12 does: lines cut or left\n"
    "                short are warnings, not refusals\n"
    "  --pairs DIR   English in pairs: two letters per glyph code, on the\n"
    "                codes no untranslated line uses; writes the insertion\n"
    "                table english.tbl and the grids zol_00.txt and\n"
    "                zol_01.txt into DIR (needs --font)\n"
    "  --font LAYOUT where the font lies (msgdump --find-font), to draw\n"
    "                the pairs' glyphs into the patched image\n"
    "  --help, --version\n";

// Reads the command line; false, said on standard error, when it cannot be
// followed.  Options start with '-' and come in any order; "--" ends them.
// The first other argument is the script, the second the image.
bool ParseOptions(int argc, char** argv, Options* o);

}  // namespace msginsert

#endif  // ZOL_MSGINSERT_OPTIONS_H
