// msgdump: prints the script of Zolvane's ROM image.
//
//   msgdump zol.sfc > script.txt     Shift-JIS, as the original tools print it
//   msgdump --utf8 zol.sfc           the script alone, in UTF-8
//   msgdump --atlas zol.sfc          an Atlas script, for inserting it back
//   msgdump --thingy                 zol.tbl as a Thingy table, for the above
//   msgdump -o FILE ...              any of these into FILE, written safely
//
// Loads the glyph table zol.tbl from the current directory, then decodes the
// image's text window.  Without an option, standard output carries the
// fixed lines of the original tools and the script; with one, only what was
// asked for.  Everything else goes to standard error.  Exit status: 0 when
// the job was done, 1 when not.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "atlas.h"
#include "file_io.h"
#include "glyph_table.h"
#include "message.h"
#include "platform.h"
#include "script.h"
#include "table.h"
#include "window.h"

namespace {

using file_io::File;
using message::Format;
using message::Say;

constexpr char kUsage[] =
    "usage: msgdump [-o FILE] [--utf8 | --atlas] IMAGE\n"
    "       msgdump [-o FILE] --thingy\n"
    "\n"
    "Prints the script in the text window of a Zolvane ROM image, with the\n"
    "glyph table zol.tbl of the current folder (glyphpack makes it).\n"
    "\n"
    "  (no option)  the script in Shift-JIS, after the original tools' lines\n"
    "  --utf8       the script alone, in UTF-8\n"
    "  --atlas      the script as an Atlas script, to insert it back\n"
    "  --thingy     zol.tbl as the Thingy table that --atlas goes with\n"
    "  -o FILE      into FILE instead of standard output; FILE is replaced\n"
    "               only when the whole job is done\n"
    "  --help       this text\n";

enum class Mode { kClassic, kUtf8, kAtlas, kThingy };

struct Options {
  Mode mode = Mode::kClassic;
  int image = 0;   // argv index of the image, 0 if none
  int output = 0;  // argv index of -o's FILE, 0 if none
  bool help = false;
};

// Reads the command line; false, said on standard error, when it cannot be
// followed.  Options start with '-'; the first other argument is the image
// (a file named like an option is reached as ./-o), later ones are ignored.
bool ParseArguments(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    Mode mode = Mode::kClassic;
    if (a[0] != '-' || a[1] == '\0') {
      if (o->image == 0) o->image = i;
      continue;
    }
    if (std::strcmp(a, "--help") == 0) {
      o->help = true;
      continue;
    }
    if (std::strcmp(a, "-o") == 0) {
      if (i + 1 == argc) {
        Say(a, "needs a file name: -o FILE");
        return false;
      }
      o->output = ++i;
      continue;
    }
    if (std::strcmp(a, "--utf8") == 0) {
      mode = Mode::kUtf8;
    } else if (std::strcmp(a, "--atlas") == 0) {
      mode = Mode::kAtlas;
    } else if (std::strcmp(a, "--thingy") == 0) {
      mode = Mode::kThingy;
    } else {
      Say(a, "unknown option; msgdump --help lists them");
      return false;
    }
    if (o->mode != Mode::kClassic && o->mode != mode) {
      Say(a, "one of --utf8, --atlas and --thingy at a time");
      return false;
    }
    o->mode = mode;
  }
  return true;
}

// The hints for an image that decodes to garbage or to nothing, in the
// words of the system they are read on.
void HintAboutImage(const char* path, std::uint64_t size) {
  const msgdump::ImageSizeHints hints = msgdump::HintsForImageSize(size);
  if (hints.copier_header) {
    std::string strip;
    if (platform::kWindows) {
      std::string quoted;  // a PowerShell string in single quotes
      for (const char* p = path; *p != '\0'; ++p)
        quoted += *p == '\'' ? std::string("''") : std::string(1, *p);
      strip = "powershell -c \"$b=[IO.File]::ReadAllBytes('" + quoted +
              "'); [IO.File]::WriteAllBytes('headerless.sfc', "
              "$b[512..($b.Length-1)])\", or zolvane-tools.html's button "
              "\"Decode without the header\"";
    } else {
      strip = Format("tail -c +513 %s > headerless.sfc", path);
    }
    Say(path,
        "its size is 512 bytes past a multiple of 32 KiB: it looks like it "
        "carries a 512-byte copier header, which puts the text window 512 "
        "bytes off; remove the first 512 bytes: " +
            strip);
  }
  if (hints.before_window)
    Say(path, Format("the image holds %llu bytes, but the text window "
                     "starts at byte %lu (0x%lX); is this the right image?",
                     static_cast<unsigned long long>(size),
                     static_cast<unsigned long>(msgdump::kWindowStart),
                     static_cast<unsigned long>(msgdump::kWindowStart)));
}

// Says why subject failed: why, or else strerror(errno).
void SayWhy(const char* subject, const char* why) {
  if (why != nullptr)
    Say(subject, why);
  else
    message::SayErrno(subject, errno);
}

// Names the codes whose entries the UTF-8 script shows as U+FFFD.
void SayCodesNotCp932(const std::vector<unsigned>& codes) {
  if (codes.empty()) return;
  constexpr std::size_t kNamed = 16;
  std::string names;
  for (std::size_t i = 0; i < codes.size() && i < kNamed; ++i)
    names += (i == 0 ? "" : ", ") + msgdump::CodeName(codes[i]);
  if (codes.size() > kNamed)
    names += Format(" and %zu more", codes.size() - kNamed);
  Say(glyph_table::kFileName,
      "the entries of " + names +
          " are not Shift-JIS (CP932); the script shows U+FFFD for them");
}

}  // namespace

int main(int argc, char** argv) {
  message::SetProgram("msgdump");
  Options o;
  if (!ParseArguments(argc, argv, &o)) return file_io::Finish(false);
  if (o.help) {
    std::fputs(kUsage, stdout);
    return file_io::Finish(true);
  }
  const bool classic = o.mode == Mode::kClassic;

  // What standard output would carry: without -o it goes out as it comes;
  // with -o it is kept for FILE, which is written only when all is done.
  std::string kept;
  platform::WriteTarget target;
  auto put = [&](std::string_view text) {
    if (o.output != 0)
      kept.append(text);
    else
      std::fwrite(text.data(), 1, text.size(), stdout);
  };
  auto finish = [&](bool done) {
    if (done && o.output != 0 &&
        !platform::WriteWhole(target, platform::NativeLineEnds(kept))) {
      message::SayErrno(argv[o.output], errno);
      done = false;
    }
    return file_io::Finish(done);
  };

  if (classic) {
    put(Format(msgdump::kBannerFormat, msgdump::kVersion));
    put(msgdump::kCredit);
  }
  if (o.mode != Mode::kThingy && o.image == 0) {
    if (classic) put(" usage:msgdump zol.sfc\n");
    if (!classic || o.output != 0)
      Say("command line", "no ROM image given; msgdump --help says more");
    return finish(false);
  }
  if (o.output != 0) {
    const char* why = nullptr;
    if (!platform::ResolveForWrite(
            platform::PathArgument(argv, o.output).c_str(), &target, &why)) {
      SayWhy(argv[o.output], why);
      return finish(false);
    }
  }

  if (classic) put(Format(msgdump::kLoadingFormat, glyph_table::kFileName));
  static msgdump::GlyphTable table;
  {
    File fpt = file_io::Open(glyph_table::kFileName, "rb");
    if (!fpt || !msgdump::LoadTable(fpt.get(), table)) {
      const int err = errno;
      message::SayErrno(glyph_table::kFileName, err);
      if (err == ENOENT)
        Say(glyph_table::kFileName,
            "glyphpack makes it from zol_00.txt and zol_01.txt in the "
            "current folder; run glyphpack here first");
      if (classic) put("table data not found.\n");
      return finish(false);
    }
  }  // the table file is closed before the image is opened
  if (o.mode == Mode::kThingy) {
    put(msgdump::ThingyText(msgdump::MakeThingy(table)));
    return finish(true);
  }

  // The image is opened by its name as the system holds it (on Windows the
  // wide-character one); messages show the argument as it was received.
  const char* const path = argv[o.image];
  File fp = file_io::Open(platform::PathArgument(argv, o.image).c_str(), "rb");
  std::uint64_t size = 0;
  const char* why = nullptr;
  if (!fp || !platform::FileSize(fp.get(), &size, &why)) {
    SayWhy(path, why);
    if (classic) put(Format("file %s not found.\n", path));
    return finish(false);
  }
  msgdump::Window window;
  if (!msgdump::ReadWindow(fp.get(), size, msgdump::kWindowStart,
                           msgdump::kWindowEnd, &window)) {
    message::SayErrno(path, errno);
    return finish(false);
  }
  fp.reset();

  if (o.mode == Mode::kAtlas) {
    put(msgdump::AtlasScript(msgdump::MakeThingy(table), window));
  } else {
    if (classic) put("\n");
    static msgdump::Renderings r;
    msgdump::Render(
        table,
        classic ? msgdump::Encoding::kShiftJis : msgdump::Encoding::kUtf8, &r);
    put(msgdump::RenderScript(r, window).text());
    if (!classic) SayCodesNotCp932(msgdump::CodesNotCp932(r, window));
  }
  HintAboutImage(path, size);
  if (classic && o.output == 0 && platform::IsTerminal(stdout))
    Say("standard output",
        "the script is Shift-JIS; to read it, save it (> script.txt) or "
        "convert it (| iconv -f CP932 -t UTF-8), or use --utf8");
  return finish(true);
}
