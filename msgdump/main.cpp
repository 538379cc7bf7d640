// msgdump: prints the script of Zolvane's ROM image as Shift-JIS text.
//
//   msgdump zol.sfc > script.txt
//
// Loads the glyph table zol.tbl from the current directory, then decodes the
// image's text window.  Progress and the messages below go to standard
// output with the script; reasons for failures go to standard error.
// Exit status: 0 when the window was decoded, 1 when the job was not done.
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "file_io.h"
#include "glyph_table.h"
#include "msgconv.h"
#include "platform.h"

namespace {

constexpr char kProgram[] = "msgdump";

// Both streams belong to main and are closed on every path out of it.
using file_io::File;

// Hints on standard error for images that decode to garbage or to nothing
// and for a script headed for a terminal; they change neither the script
// nor the exit status.
void WarnAboutImage(const char* path, std::FILE* fp) {
  std::uint64_t size = 0;
  if (platform::FileSize(fp, &size)) {
    const msgdump::ImageSizeHints hints = msgdump::HintsForImageSize(size);
    if (hints.copier_header)
      std::fprintf(stderr,
                   "%s: %s: its size is 512 bytes past a multiple of 32 KiB: "
                   "it looks like it carries a 512-byte copier header, which "
                   "puts the text window 512 bytes off; remove the first 512 "
                   "bytes: tail -c +513 %s > headerless.sfc\n",
                   kProgram, path, path);
    if (hints.before_window)
      std::fprintf(stderr,
                   "%s: %s: the image holds %llu bytes, but the text window "
                   "starts at byte %lu (0x%lX); is this the right image?\n",
                   kProgram, path, static_cast<unsigned long long>(size),
                   static_cast<unsigned long>(msgdump::kWindowStart),
                   static_cast<unsigned long>(msgdump::kWindowStart));
  }
  if (platform::IsTerminal(stdout))
    std::fprintf(stderr,
                 "%s: standard output: the script is Shift-JIS; to read it, "
                 "save it (> script.txt) or convert it (| iconv -f CP932 -t "
                 "UTF-8)\n",
                 kProgram);
}

}  // namespace

int main(int argc, char** argv) {
  std::printf(msgdump::kBannerFormat, msgdump::kVersion);
  std::fputs(msgdump::kCredit, stdout);
  if (argc < 2) {
    std::fputs(" usage:msgdump zol.sfc\n", stdout);
    return file_io::Finish(kProgram, false);
  }

  std::printf(msgdump::kLoadingFormat, glyph_table::kFileName);
  static msgdump::GlyphTable table;
  {
    File fpt = file_io::Open(glyph_table::kFileName, "rb");
    if (!fpt || !msgdump::LoadTable(fpt.get(), table)) {
      file_io::WarnErrno(kProgram, glyph_table::kFileName, errno);
      file_io::Warn(kProgram, glyph_table::kFileName,
                    "glyphpack makes it from zol_00.txt and zol_01.txt in "
                    "the current folder; run glyphpack here first");
      std::fputs("table data not found.\n", stdout);
      return file_io::Finish(kProgram, false);
    }
  }  // the table file is closed before the image is opened

  // The image is opened by its name as the system holds it (on Windows the
  // wide-character one); messages show the argument as it was received.
  const char* const path = argv[1];
  File fp = file_io::Open(platform::PathArgument(argv, 1).c_str(), "rb");
  if (!fp) {
    file_io::WarnErrno(kProgram, path, errno);
    std::printf("file %s not found.\n", path);
    return file_io::Finish(kProgram, false);
  }
  std::fputc('\n', stdout);

  msgdump::FileImage image(fp.get());
  msgdump::FileSink out(stdout);
  const msgdump::WalkEnd end = msgdump::MsgConv(
      table, image, out, msgdump::kWindowStart, msgdump::kWindowEnd);
  const int err = errno;
  WarnAboutImage(path, fp.get());
  switch (end) {
    case msgdump::WalkEnd::kWindowDone:
    case msgdump::WalkEnd::kEndOfImage:  // "[EOF]" is the designed end
      return file_io::Finish(kProgram, true);
    case msgdump::WalkEnd::kReadError:
      file_io::WarnErrno(kProgram, path, err);
      return file_io::Finish(kProgram, false);
    case msgdump::WalkEnd::kWriteError:
      // Said once here; what is left in stdout's buffer cannot be written.
      file_io::WarnErrno(kProgram, "write error", err);
      return 1;
  }
  return 1;
}
