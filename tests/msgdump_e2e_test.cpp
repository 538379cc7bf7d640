// The built msgdump, run in a temporary directory on images the test writes:
// standard output byte for byte and the exit status on every path.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using testing_util::Quote;
using testing_util::SameBytes;
using testing_util::Text;
using testing_util::WriteFile;
using testing_util::WriteSparse;

const std::string kBanner =
    "-- SFC Zolvane Message Converter V1.0 --\n"
    "Written by the Zolvane fan translation tools' authors\n";
const std::string kLoading = kBanner + "Loading Table File: zol.tbl\n";
const std::string kHeader = kLoading + "\n";  // then the script
const std::string kNoFile = std::strerror(ENOENT);
const std::string kDenied = std::strerror(EACCES);
const std::string kIsDir = std::strerror(EISDIR);

// Whether err is exactly these lines of msgdump's.
using Said = testing_util::Said;
using testing_util::kQuiet;
using testing_util::Line;
testing::AssertionResult Says(const std::string& err,
                              const std::vector<Said>& said) {
  return testing_util::Says(err, "msgdump", said);
}

constexpr std::uint64_t kStart = 0x2EF800;
constexpr std::uint64_t kEnd = 0x2FFEB8;
constexpr std::uint64_t kWindow = kEnd - kStart + 1;

// zol.tbl whose entry i is "T" followed by a byte naming i's low 7 bits,
// plus a marker per page, so the page matters too.
std::string Table() {
  std::string t;
  for (unsigned i = 0; i < 512; ++i) {
    t += static_cast<char>(i < 256 ? 'a' + (i >> 4) : 'A' + ((i - 256) >> 4));
    t += static_cast<char>('a' + (i & 15));
  }
  return t;
}
std::string Entry(unsigned i) { return Table().substr(2 * i, 2); }

class MsgdumpRun : public testing_util::ProgramRun {
 protected:
  void SetUp() override { WriteFile(dir_ / "zol.tbl", Table()); }
  // (Under a timeout: an input that is a FIFO must never be waited on.)
  testing_util::RunResult Dump(const std::string& args,
                               const std::string& redirect = "") {
    return RunHere("timeout 60 " + kMsgdump + " " + args, redirect);
  }
};

// Command lines that dump nothing: the usage, the help, a missing image in
// every mode, options that make no sense.
TEST_F(MsgdumpRun, CommandLinesThatDumpNothing) {
  struct Case {
    std::string args, out;
    std::vector<Said> err;
    int status;
  };
  const std::vector<Said> no_image = {
      {"command line", {"ROM image", "--help"}}};
  const std::vector<Case> cases = {
      {"", kBanner + " usage:msgdump zol.sfc\n", {}, 1},
      {"--help",
       "usage: msgdump [-o FILE] [--table FILE] [--utf8 | --atlas",
       {},
       0},
      {"--version rom.sfc", "msgdump " ZOL_VERSION "\n", {}, 0},
      {"--utf8", "", no_image, 1},
      {"--atlas", "", no_image, 1},
      {"-o script.txt", "", no_image, 1},
      {"-o", "", Line("-o", "-o FILE"), 1},
      {"--utf-8 rom.sfc", "", Line("--utf-8", "--help"), 1},
      {"--utf8 --atlas rom.sfc", "",
       Line("--atlas", "--utf8", "--thingy", "--to-fill", "--suggest",
            "--find-font"),
       1},
      {"-o a.txt -o script.txt rom.sfc", "", Line("-o", "twice"), 1},
      {"--table", "", Line("--table", "--table FILE"), 1},
      {"--font", "", Line("--font", "--font FORMAT:OFFSET[:KANJI]"), 1},
      {"--suggest rom.sfc", "", Line("--suggest", "--font LAYOUT"), 1},
      {"--font 1bpp:0 rom.sfc", "", Line("--font", "--suggest"), 1},
      {"--font 3bpp:0 --suggest rom.sfc", "",
       Line("--font 3bpp:0", "1bpp", "2bpp", "4bpp"), 1},
      {"--find-font", "", no_image, 1},
  };
  for (const Case& c : cases) {
    const auto r = Dump(c.args);
    EXPECT_EQ(r.out.substr(0, Text(c.out).size()), Text(c.out)) << c.args;
    EXPECT_TRUE(Says(r.err, c.err)) << c.args;
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_FALSE(testing_util::Exists(dir_ / "script.txt"));
  }
}

// The font modes need no glyph table: one line per inked glyph, its code as
// --to-fill names it and five characters; the same bytes with -o.  An image
// with no font finds none, and says so, but the job was done; a layout past
// the image's end fails.
TEST_F(MsgdumpRun, FontModesReadTheImageAlone) {
  std::filesystem::remove(dir_ / "zol.tbl");
  std::string image(0x3000, '\0');
  // 1bpp at 0x100: code 0x10 a box, 0x11 a cross; kanji page at 0x2000:
  // 0xFF 0x02 a bar.
  for (int y = 2; y < 14; ++y) {
    const bool edge = y == 2 || y == 13;
    image[0x100 + 2 * y] = static_cast<char>(edge ? 0x3F : 0x20);
    image[0x100 + 2 * y + 1] = static_cast<char>(edge ? 0xFC : 0x04);
    image[0x120 + 2 * y] = static_cast<char>(y == 7 ? 0x7F : 0x01);
    image[0x120 + 2 * y + 1] = static_cast<char>(y == 7 ? 0xFE : 0x00);
  }
  image[0x2020 + 2 * 8] = 0x7F;
  image[0x2020 + 2 * 8 + 1] = static_cast<char>(0xFE);
  WriteFile(dir_ / "rom.sfc", image);
  const auto r = Dump("--font 1bpp:0x100:8192 --suggest rom.sfc");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Says(r.err, kQuiet));
  std::vector<std::string> codes;
  for (std::size_t at = 0; at < r.out.size();) {
    const std::size_t end = r.out.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = r.out.substr(at, end - at);
    const std::size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    codes.push_back(line.substr(0, tab));
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 4) << line;
    at = end + 1;
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"10", "11", "FF02"}));
  const auto to_file =
      Dump("-o s.txt --font 1bpp:0x100:8192 --suggest rom.sfc");
  EXPECT_EQ(to_file.status, 0);
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(testing_util::ReadFile(dir_ / "s.txt"), r.out);

  // A page past the image's end is no font without ink: the job fails.
  for (const char* past : {"1bpp:0x3000", "2bpp:0xFFFFFFFFFFFFFFFF",
                           "1bpp:0x100:0xFFFFFFFFFFFFFFFF"}) {
    const auto r_past =
        Dump(std::string("--font ") + past + " --suggest rom.sfc");
    EXPECT_EQ(r_past.status, 1) << past;
    EXPECT_EQ(r_past.out, "") << past;
  }

  const auto none = Dump("--find-font rom.sfc");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(Says(none.err, Line("rom.sfc")));
}

// Only a missing table gets the advice to run glyphpack; any other reason
// is said as it is.  The fixed line is the classic output's alone.
TEST_F(MsgdumpRun, TableThatCannotBeLoaded) {
  const Said missing = {"zol.tbl", {kNoFile}};
  const Said hint = {"zol.tbl", {"glyphpack", "zol_00.txt", "zol_01.txt"}};
  enum Kind { kMissing, kFolder, kFifo };
  struct Case {
    Kind kind;
    std::string args, out;
    std::vector<Said> err;
  };
  const std::vector<Said> folder = {
      {"zol.tbl", {testing_util::WindowsPrograms() ? kDenied : kIsDir}}};
  std::vector<Case> cases = {
      {kMissing,
       "rom.sfc",
       kLoading + "table data not found.\n",
       {missing, hint}},
      {kMissing, "--atlas rom.sfc", "", {missing, hint}},
      {kMissing, "--table v2.tbl rom.sfc", kLoading + "table data not found.\n",
       Line("v2.tbl", kNoFile)},
      {kFolder, "rom.sfc", kLoading + "table data not found.\n", folder},
      {kFolder, "--thingy", "", folder},
  };
  if (!testing_util::WindowsPrograms())  // never waited on
    cases.push_back({kFifo, "rom.sfc", kLoading + "table data not found.\n",
                     Line("zol.tbl", "regular file")});
  WriteSparse(dir_ / "rom.sfc", 0, "", 16);
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_ / "zol.tbl");
    if (c.kind == kFolder) std::filesystem::create_directory(dir_ / "zol.tbl");
    if (c.kind == kFifo) {
      ASSERT_EQ(mkfifo((dir_ / "zol.tbl").c_str(), 0600), 0);
    }
    const auto r = Dump(c.args);
    EXPECT_EQ(r.out, Text(c.out)) << c.args;
    EXPECT_TRUE(Says(r.err, c.err)) << c.args;
    EXPECT_EQ(r.status, 1);
  }
}

// An image that cannot be opened, or is no file (a folder, a pipe), is
// named on standard output exactly as given, and on standard error with its
// control bytes shown as \xNN.
TEST_F(MsgdumpRun, ImageThatCannotBeOpenedIsNamedVerbatim) {
  const bool windows = testing_util::WindowsPrograms();
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10", kStart + 4);
  std::filesystem::create_directory(dir_ / "romdir");
  struct Case {
    std::string arg, name;
    std::vector<Said> err;
  };
  std::vector<Case> cases = {
      {"missing.sfc", "missing.sfc", Line("missing.sfc", kNoFile)},
      {"'%s%n%x %d.sfc'", "%s%n%x %d.sfc", Line("%s%n%x %d.sfc", kNoFile)},
      {std::string(5000, 'x') + ".sfc", std::string(5000, 'x') + ".sfc",
       Line(std::string(5000, 'x') + ".sfc",
            windows ? kNoFile : std::strerror(ENAMETOOLONG))},
      {"romdir", "romdir", Line("romdir", windows ? kDenied : kIsDir)},
      {"-- -x.sfc", "-x.sfc", Line("-x.sfc", kNoFile)},
  };
  if (!windows) {  // names Windows cannot hold; a pipe it reads as a stream
    cases.push_back({"$'new\\nline\\e[31m.sfc'", "new\nline\x1b[31m.sfc",
                     Line("new\\x0Aline\\x1B[31m.sfc", kNoFile)});
    cases.push_back(
        {"<(cat rom.sfc)", "/dev/fd/63", Line("/dev/fd/63", "regular file")});
    // (refused at once: no writer ever comes)
    ASSERT_EQ(mkfifo((dir_ / "rom.fifo").c_str(), 0600), 0);
    cases.push_back({"rom.fifo", "rom.fifo", Line("rom.fifo", "regular file")});
  }
  for (const Case& c : cases) {
    const auto r = Dump(c.arg);
    EXPECT_EQ(r.out, Text(kLoading + "file " + c.name + " not found.\n"))
        << c.arg;
    EXPECT_TRUE(Says(r.err, c.err)) << c.arg;
    EXPECT_EQ(r.status, 1) << c.arg;
  }
}

// -o FILE gets what standard output would carry, byte for byte, and only
// when the job was done; otherwise an earlier FILE stays as it was.  FILE
// is never one of the run's inputs nor the folder's table or grids, and it may
// be anything the shell's > takes: a pipe, a FIFO with a reader, /dev/null, a
// name of 255 bytes.
TEST_F(MsgdumpRun, OutputFileIsWrittenOnlyWhole) {
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10\x06\x00\x11", kEnd + 1);
  std::filesystem::create_directory(dir_ / "adir");
  WriteFile(dir_ / "zol_00.txt", "a grid");
  WriteFile(dir_ / "zol.tbl", Table());  // made from it
  WriteFile(dir_ / "v2.tbl", Table());
  const std::string block = "//$2EF800\n//<10>\n#JMP($2EF800, $2EF800)\n";
  WriteFile(dir_ / "tr.txt", block + "Hi\n");           // the copy translated
  WriteFile(dir_ / "tr2.txt", block + "<10>\nHi\n\n");  // a line added
  const bool windows = testing_util::WindowsPrograms();
  enum Holds { kScript, kEarlier, kAsItWas };
  struct Case {
    std::string args;  // after "-o FILE"
    std::string file;  // FILE, and the file then checked
    Holds holds;
    std::vector<Said> err = {};
    std::string shell_before = "", shell_after = "";
    std::string checked = "";  // checked instead of FILE
  };
  const std::string long_name = std::string(251, 'n') + ".txt";
  std::vector<Case> cases = {
      {"rom.sfc", "out.txt", kScript},
      {"--utf8 rom.sfc", "out.txt", kScript},
      {"--atlas rom.sfc", "out.txt", kScript},
      {"--thingy", "out.txt", kScript},
      {"--to-fill rom.sfc", "out.txt", kScript},
      {"missing.sfc", "out.txt", kEarlier},
      {"--utf8 rom.sfc", "adir", kEarlier, Line("adir", kIsDir), "", "",
       "out.txt"},
      {"--utf8 rom.sfc", "no/such/folder/out.txt", kEarlier,
       Line("no/such/folder/out.txt", kNoFile), "", "", "out.txt"},
      {"--utf8 rom.sfc", "rom.sfc", kAsItWas, Line("rom.sfc", "ROM image")},
      {"--thingy", "zol.tbl", kAsItWas, Line("zol.tbl", "glyph table")},
      {"--table v2.tbl rom.sfc", "v2.tbl", kAsItWas,
       Line("v2.tbl", "glyph table")},
      {"--table v2.tbl rom.sfc", "zol.tbl", kAsItWas,
       Line("zol.tbl", "glyph table", "zol.tbl")},
      {"rom.sfc", "zol_00.txt", kAsItWas,
       Line("zol_00.txt", "grid", "zol_00.txt")},
      {"--utf8 rom.sfc", long_name, kScript},
      // A translator's script or table is kept, as any editor saved it
      // (the fact: the first line that is theirs); an untouched dump is
      // dumped again, with any line ends.
      {"--atlas rom.sfc", "tr.txt", kAsItWas, Line("tr.txt", "1")},
      {"--atlas rom.sfc", "tr2.txt", kAsItWas, Line("tr2.txt", "1")},
      {"--atlas rom.sfc", "note.txt", kAsItWas, Line("note.txt", "18")},
      {"--atlas rom.sfc", "uncommented.txt", kAsItWas,
       Line("uncommented.txt", "1")},
      {"--atlas rom.sfc", "utf16.txt", kAsItWas, Line("utf16.txt", "19")},
      {"--atlas rom.sfc", "cr.txt", kAsItWas, Line("cr.txt", "19")},
      {"--atlas rom.sfc", "fill.txt", kAsItWas, Line("fill.txt", "18")},
      {"--thingy", "zolvane.tbl", kAsItWas, Line("zolvane.tbl", "512")},
      {"--atlas rom.sfc",
       "dump.txt",
       kScript,
       {},
       kMsgdump + " --atlas -o dump.txt rom.sfc && "},
      {"--atlas rom.sfc", "crlf.txt", kScript},
  };
  const std::string atlas = Dump("--atlas rom.sfc").out;
  auto edit = [](std::string text, const std::string& from,
                 const std::string& to, bool all = true) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos;
         at = all ? at + to.size() : text.size())
      text.replace(at, from.size(), to);
    return text;
  };
  const std::string tr = edit(atlas, "\nba", "\nHi");  // the first copy
  std::string uncommented, utf16 = "\xFF\xFE";
  for (std::size_t at = 0; at < tr.size(); at = tr.find('\n', at) + 1)
    if (tr.compare(at, 2, "//") != 0)
      uncommented += tr.substr(at, tr.find('\n', at) + 1 - at);
  for (const char c : tr) utf16 += std::string{c, '\0'};
  WriteFile(dir_ / "note.txt", edit(tr, "\n#JMP", "\n// TL note\n#JMP"));
  WriteFile(dir_ / "uncommented.txt", uncommented);
  WriteFile(dir_ / "utf16.txt", utf16);
  WriteFile(dir_ / "cr.txt", edit(tr, "\n", "\r"));
  WriteFile(dir_ / "fill.txt",
            edit(atlas, "\n#JMP", "\n#FILL($D0)\n#JMP", false));
  WriteFile(dir_ / "zolvane.tbl", Dump("--thingy").out + "41=A\n");
  WriteFile(dir_ / "crlf.txt", edit(atlas, "\n", "\r\n"));
  if (windows)  // Windows' own name for nowhere
    cases.push_back({"--utf8 rom.sfc", "NUL", kEarlier, {}, "", "", "out.txt"});
  if (!windows) {  // links, FIFOs and /dev are POSIX ones
    cases.push_back({"--utf8 rom.sfc", "link.txt", kAsItWas,
                     Line("link.txt", "ROM image"),
                     "ln -f rom.sfc link.txt && ", "", "rom.sfc"});
    cases.push_back(
        {"--utf8 rom.sfc", "/dev/null", kEarlier, {}, "", "", "out.txt"});
    cases.push_back({"--utf8 rom.sfc",
                     "/dev/stdout",
                     kScript,
                     {},
                     "{ ",
                     " | cat >piped.txt; }",
                     "piped.txt"});
    cases.push_back({"--utf8 rom.sfc",
                     "f.fifo",
                     kScript,
                     {},
                     "{ rm -f f.fifo; mkfifo f.fifo && { cat f.fifo "
                     ">fifo.txt & } && ",
                     " && wait; }",
                     "fifo.txt"});
    // A file that cannot be read might be a translator's.  (Root reads
    // any: then strace refuses the read.)
    const bool root = geteuid() == 0;
    if (!root || testing_util::WhyNoStrace() == nullptr)
      cases.push_back(
          {"--atlas rom.sfc", dir_ / "unreadable.txt", kAsItWas,
           Line(dir_ / "unreadable.txt", kDenied),
           std::string("{ chmod 0200 unreadable.txt && ") +
               (root ? "strace -f -o /dev/null -P \"$PWD/unreadable.txt\" -e "
                       "trace=openat -e inject=openat:error=EACCES:when=2 "
                     : ""),
           "; s=$?; chmod 0644 unreadable.txt; exit $s; }", "unreadable.txt"});
    // Written in place (a second hard link), on a full disk.
    if (testing_util::WhyNoStrace() == nullptr)
      cases.push_back({"--utf8 rom.sfc", "hard.txt", kEarlier,
                       Line("hard.txt", std::strerror(ENOSPC)),
                       "ln -f out.txt hard.txt && strace -f -o /dev/null -e "
                       "trace=fallocate -e inject=fallocate:error=ENOSPC ",
                       "", "out.txt"});
  }
  WriteFile(dir_ / "unreadable.txt", atlas);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args + " -o " + c.file);
    WriteFile(dir_ / "out.txt", "earlier");
    const std::string checked = c.checked.empty() ? c.file : c.checked;
    const std::string before = testing_util::ReadFile(dir_ / checked);
    const auto want = Dump(c.args);
    const auto r = RunHere(c.shell_before + "timeout 60 " + kMsgdump + " -o " +
                           Quote(c.file) + " " + c.args + c.shell_after);
    EXPECT_EQ(r.out, "");
    const bool nowhere = c.file == "/dev/null" || c.file == "NUL";
    EXPECT_EQ(r.status, c.holds == kScript || nowhere ? 0 : 1);
    if (!c.err.empty() || c.holds == kScript) {
      EXPECT_TRUE(Says(r.err, c.err));
    }
    const std::string now = testing_util::ReadFile(dir_ / checked);
    EXPECT_TRUE(SameBytes(now, c.holds == kScript    ? want.out
                               : c.holds == kEarlier ? "earlier"
                                                     : before));
    EXPECT_TRUE(testing_util::Glob(dir_.path(), "out.txt.tmp-").empty());
  }
}

TEST_F(MsgdumpRun, WholeWindowOfALargeImage) {
  // Codes at the window's start, zeros (newlines) between, and a kanji
  // pair whose first byte is the window's last: its second byte is read.
  const std::string head = "\x10\x06\xFF\x01";
  WriteSparse(dir_ / "rom.sfc", kStart, head, 4 << 20);
  WriteSparse(dir_ / "rom.sfc", kEnd, "\xFF\x02\x11", 4 << 20);
  const auto r = Dump("rom.sfc ignored-extra-argument");
  const std::string script = Entry(0x10) + "\x82\xB3\x82\xE0\x82\xE9\x82\xBD" +
                             Entry(256) + std::string(kWindow - 5, '\n') +
                             Entry(257);
  EXPECT_TRUE(SameBytes(r.out, Text(kHeader + script)));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);

  // The same run with the script headed for a terminal: one hint on
  // standard error, the same script, the same status; and a name's control
  // bytes shown as \xNN there, not sent to the terminal.
  if (testing_util::WindowsPrograms()) return;  // a console shows Shift-JIS
  const auto tty =
      RunHere("SHELL=\"$(command -v bash)\" script -qec " +
              Quote(kMsgdump + " rom.sfc 2>err.txt >/dev/tty; echo " +
                    "$? >status.txt; " + kMsgdump +
                    " $'no\\e[2J\\e]0;X\\a.sfc' 2>/dev/null") +
              " /dev/null");
  EXPECT_TRUE(Says(testing_util::ReadFile(dir_ / "err.txt"),
                   Line("standard output", "Shift-JIS",
                        "iconv -f CP932 -t UTF-8", "--utf8")));
  EXPECT_EQ(testing_util::ReadFile(dir_ / "status.txt"), "0\n");
  EXPECT_NE(tty.out.find("file no\\x1B[2J\\x1B]0;X\\x07.sfc not found."),
            std::string::npos)
      << tty.out.substr(tty.out.size() - 200);
}

TEST_F(MsgdumpRun, ImageEndingInOrNearTheWindow) {
  struct Case {
    const char* name;
    std::uint64_t size;
    std::string tail;  // last bytes of the image
    std::string script_end;
    std::vector<Said> hint{};  // on standard error
    std::string image = "rom.sfc";
  };
  auto too_small = [](const char* size) {
    return Line("rom.sfc", size, "0x2EF800");
  };
  auto cut = [](const std::string& size, const std::string& stops) {
    return Line("rom.sfc", size, "$" + stops, "[EOF]");
  };
  const bool windows = testing_util::WindowsPrograms();
  const std::vector<Case> cases = {
      {"no byte of the window", kStart, "\x10", "[EOF]", too_small("3078144")},
      {"empty image", 0, "", "[EOF]", too_small("0")},
      {"4 MiB behind a copier header", (4 << 20) + 512, "\x10",
       std::string(kWindow, '\n'),
       Line("rom.sfc", "512", windows ? "powershell" : "tail", "headerless.sfc",
            "zolvane-tools.html")},
      {"a download cut off inside the window", 3112960, "\x13",
       std::string(3112960 - kStart - 1, '\n') + Entry(0x13) + "[EOF]",
       cut("3112960", "2F8000")},
      {"ends at the window's last byte", kEnd + 1, "\x11",
       std::string(kWindow - 1, '\n') + Entry(0x11)},
      {"0xFF as the image's and window's last byte", kEnd + 1, "\x11\xFF",
       std::string(kWindow - 2, '\n') + Entry(0x11)},
      {"ends one byte after the window", kEnd + 2, "\x11\x12",
       std::string(kWindow - 1, '\n') + Entry(0x11)},
      {"ends inside the window on 0xFF", kStart + 3, "\x12\xFF",
       "\n" + Entry(0x12) + "[EOF]", cut("3078147", "2EF803")},
      // Japanese names open whatever the ANSI code page (under Wine in a
      // UTF-8 locale it is 1252, which holds no kana): the image is opened
      // by its own name, not by an ANSI rendering of it.
      {"Japanese folder and file name",
       kEnd + 1,
       "\x10\x06",
       std::string(kWindow - 2, '\n') + Entry(0x10) +
           "\x82\xB3\x82\xE0\x82\xE9\x82\xBD",
       {},
       "\u30BE\u30EB\u30F4\u30A1\u30FC\u30F3/\u30ED\u30E0 1.sfc"},
  };
  std::filesystem::create_directory(dir_ /
                                    "\u30BE\u30EB\u30F4\u30A1\u30FC\u30F3");
  for (const Case& c : cases) {
    std::remove((dir_ / c.image).c_str());
    WriteSparse(dir_ / c.image, c.size - c.tail.size(), c.tail, c.size);
    const auto r = RunHere("LC_ALL=C.UTF-8 " + kMsgdump + " " + Quote(c.image));
    EXPECT_TRUE(SameBytes(r.out, Text(kHeader + c.script_end))) << c.name;
    EXPECT_TRUE(Says(r.err, c.hint)) << c.name;
    EXPECT_EQ(r.status, 0) << c.name;
  }

  // A hint comes after all that standard output carried, where both go
  // to one place.
  WriteSparse(dir_ / "cut.sfc", kStart, "\x10", kStart + 1);
  const auto merged = RunHere("{ " + kMsgdump + " cut.sfc 2>&1 | cat; }");
  EXPECT_EQ(merged.out.find("[EOF]msgdump: cut.sfc: "),
            Text(kHeader + Entry(0x10)).size())
      << testing::PrintToString(merged.out) << merged.err;

  // The copier header's command for names that need quoting: pasted into
  // sh, the image without its header, and nothing else happens; for
  // PowerShell, every character it reads as a quote doubled.
  std::string image(512, 'h');
  image += std::string(1 << 20, '\x10');
  auto command = [&](const std::string& name) {
    WriteFile(dir_ / name, image);
    const auto r =
        RunHere("LC_ALL=C.UTF-8 " + kMsgdump + " --utf8 -- " + Quote(name));
    return testing_util::Command(r.err, windows ? "powershell -c" : "tail -c");
  };
  if (windows) {  // (Wine's code page is 1252 here)
    const std::string pasted = command("Rotan's \u2018x\u2019.smc");
    EXPECT_NE(pasted.find("'Rotan''s \x91\x91x\x92\x92.smc'"),
              std::string::npos)
        << pasted;
    return;
  }
  for (const std::string name : {"Zolvane (Japan).smc", "x$(touch PWNED).smc",
                                 "Rotan's \u2018x\u2019.smc", "-rom.smc"}) {
    const std::string pasted = command(name);
    const auto r = RunHere("sh -c " + Quote(pasted));
    EXPECT_EQ(r.status, 0) << pasted;
    EXPECT_TRUE(SameBytes(testing_util::ReadFile(dir_ / "headerless.sfc"),
                          image.substr(512)))
        << pasted;
    EXPECT_FALSE(testing_util::Exists(dir_ / "PWNED")) << pasted;
    std::remove((dir_ / "headerless.sfc").c_str());
  }
}

// The UTF-8 script reads every entry as glibc's iconv reads CP932, for
// every double-byte code and every single byte, and U+FFFD where iconv
// refuses one: the same on each system the programs are built for.
TEST_F(MsgdumpRun, Utf8ScriptIsCp932ForEveryCode) {
  std::vector<std::string> entries;
  for (int b = 0; b < 256; ++b) entries.emplace_back(1, static_cast<char>(b));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead == 0xA0) lead = 0xE0;
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      if (trail != 0x7F)
        entries.push_back({static_cast<char>(lead), static_cast<char>(trail)});
  }
  ASSERT_EQ(entries.size(), 256u + 11280u);
  const iconv_t cd = iconv_open("UTF-8", "CP932");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  auto cp932 = [&](std::string in) {
    if (in[0] == '\0') return std::string();  // an empty entry
    char out[16];
    char* from = in.data();
    char* to = out;
    std::size_t left = in.size(), room = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &from, &left, &to, &room) == static_cast<std::size_t>(-1))
      return std::string("\xEF\xBF\xBD");
    return std::string(out, to);
  };
  // Each run: a table of up to 494 entries, and an image that shows each,
  // one per line: codes 0x10-0xFE, then 0xFF 0x00-0xFE.
  for (std::size_t from = 0; from < entries.size(); from += 494) {
    std::string table(1024, '\0'), codes, want;
    for (std::size_t k = 0; k < 494 && from + k < entries.size(); ++k) {
      const unsigned e = k < 239 ? 16 + k : 255 + (k - 239);
      table.replace(2 * e, entries[from + k].size(), entries[from + k]);
      codes += e < 255 ? std::string(1, static_cast<char>(e))
                       : std::string{'\xFF', static_cast<char>(e - 255)};
      codes += '\0';
      want += cp932(entries[from + k]) + "\n";
    }
    WriteFile(dir_ / "zol.tbl", table);
    WriteSparse(dir_ / "rom.sfc", kStart, codes, kStart + codes.size());
    const auto r = Dump("--utf8 rom.sfc");
    EXPECT_TRUE(SameBytes(r.out, Text(want + "[EOF]"))) << "from " << from;
    // The entries shown as U+FFFD are named, on one line; then the image
    // cut inside the window is said.
    std::vector<Said> said = Line("rom.sfc", "[EOF]");
    if (want.find("\xEF\xBF\xBD") != std::string::npos)
      said.insert(said.begin(), {"zol.tbl", {"U+FFFD"}});
    EXPECT_TRUE(Says(r.err, said));
  }
  iconv_close(cd);
}

// A table of any length loads: what it lacks prints nothing, what it has
// beyond 1024 bytes is ignored, an odd last byte stays a one-byte entry.
// Any other size than 1024 is said, and so are grids changed since the
// table was made; --table names another table.
TEST_F(MsgdumpRun, TablesOfAnyLengthLoad) {
  std::string long_table = Table() + std::string(976, 'z');
  long_table.replace(0x10 * 2, 2, "\x89\x40");
  const std::string thingy = "00=<00>\n01=<01>\n10=\xE3\x81\x82\n";
  auto size = [](const std::string& n) {
    return Line("zol.tbl", n, "1024", "glyphpack");
  };
  struct Case {
    std::string table, script;
    std::vector<Said> err;
    std::string args = "rom.sfc";
    bool grid_after = false;  // a grid written after the table
  };
  const std::string rest(kWindow - 4, '\n');
  const std::vector<Case> cases = {
      {"", rest, size("0")},
      {"a", rest, size("1")},
      {"xyz", rest, size("3")},
      {Table().substr(0, 0x11 * 2 + 1),
       Entry(0x10) + Table().substr(0x22, 1) + rest, size("35")},
      {Table().substr(0, 512), Entry(0x10) + Entry(0x11) + rest, size("512")},
      {long_table, "\x89\x40" + Entry(0x11) + Entry(256) + rest, size("2000")},
      {thingy, rest, Line("zol.tbl", "23", "Thingy", "glyphpack")},
      {Table(), Entry(0x10) + Entry(0x11) + Entry(256) + rest,
       Line("zol.tbl", "zol_01.txt", "glyphpack"), "rom.sfc", true},
      // The banner still names zol.tbl, as the original tools' did.
      {long_table, "\x89\x40" + Entry(0x11) + Entry(256) + rest,
       Line("v2.tbl", "2000", "1024", "glyphpack"), "--table v2.tbl rom.sfc",
       true},
  };
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10\x11\xFF\x01", kEnd + 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args + " with " + std::to_string(c.table.size()));
    std::remove((dir_ / "zol_01.txt").c_str());
    WriteFile(dir_ / "zol.tbl", c.args == "rom.sfc" ? c.table : "");
    WriteFile(dir_ / "v2.tbl", c.table);
    if (c.grid_after) {
      WriteFile(dir_ / "zol_01.txt", "a grid");
      const auto later = std::filesystem::last_write_time(dir_ / "zol.tbl") +
                         std::chrono::seconds(2);
      std::filesystem::last_write_time(dir_ / "zol_01.txt", later);
    }
    const auto r = Dump(c.args);
    EXPECT_TRUE(SameBytes(r.out, Text(kHeader + c.script)));
    EXPECT_TRUE(Says(r.err, c.err));
    EXPECT_EQ(r.status, 0);
  }
}

// Every read, seek, write and close of a run fails in turn, and the run is
// killed at each in turn: exit 0 only with the whole script, and never
// "[EOF]" for an image that holds the whole window.
TEST_F(MsgdumpRun, FailingOrKilledAtAnySystemCall) {
  if (const char* why = testing_util::WhyNoStrace()) GTEST_SKIP() << why;
  WriteSparse(dir_ / "rom.sfc", kEnd, "\x11", 4 << 20);
  const std::string whole =
      kHeader + std::string(kWindow - 1, '\n') + Entry(0x11);
  testing_util::SweepSystemCalls(
      dir_.path(), kMsgdump + " rom.sfc", {"read", "lseek", "write", "close"},
      [] {},
      [&](const testing_util::RunResult& r, bool /*killed*/) {
        if (r.status == 0) {
          EXPECT_TRUE(SameBytes(r.out, Text(whole)));
        }
        EXPECT_EQ(r.out.find("[EOF]"), std::string::npos);
      });
}

TEST_F(MsgdumpRun, UnwritableOutputFails) {
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10", kEnd + 1);
  for (const std::string& args : {std::string("rom.sfc"), std::string("")}) {
    const auto r = Dump(args, "/dev/full");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_TRUE(Says(r.err, Line("write error"))) << args;
  }
}

}  // namespace
