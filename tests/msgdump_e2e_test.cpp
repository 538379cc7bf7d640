// The built msgdump, run in a temporary directory on images the test writes:
// standard output byte for byte and the exit status on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using testing_util::Quote;
using testing_util::SameBytes;
using testing_util::TempDir;
using testing_util::Text;
using testing_util::WriteFile;
using testing_util::WriteSparse;

const std::string kMsgdump = testing_util::Program("ZOL_MSGDUMP", MSGDUMP_BIN);
const std::string kBanner =
    "-- SFC Zolvane Message Converter V1.0 --\n"
    "Written by the Zolvane fan translation tools' authors\n";
const std::string kLoading = kBanner + "Loading Table File: zol.tbl\n";
const std::string kHeader = kLoading + "\n";  // then the script

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

class MsgdumpRun : public testing::Test {
 protected:
  void SetUp() override { WriteFile(dir_ / "zol.tbl", Table()); }
  testing_util::RunResult Dump(const std::string& args,
                               const std::string& redirect = "") {
    return testing_util::Run(dir_.path(), kMsgdump + " " + args, redirect);
  }
  TempDir dir_;
};

TEST_F(MsgdumpRun, NoArgumentPrintsUsageAndFails) {
  const auto r = Dump("");
  EXPECT_EQ(r.out, Text(kBanner + " usage:msgdump zol.sfc\n"));
  EXPECT_EQ(r.status, 1);
}

TEST_F(MsgdumpRun, TableThatCannotBeLoaded) {
  for (const bool is_dir : {false, true}) {
    std::remove((dir_ / "zol.tbl").c_str());
    if (is_dir) std::filesystem::create_directory(dir_ / "zol.tbl");
    WriteSparse(dir_ / "rom.sfc", 0, "", 16);
    const auto r = Dump("rom.sfc");
    EXPECT_EQ(r.out, Text(kLoading + "table data not found.\n")) << is_dir;
    EXPECT_EQ(r.err.rfind("msgdump: zol.tbl: "),
              r.err.find("\nmsgdump: zol.tbl: glyphpack makes it") + 1)
        << r.err;
    EXPECT_EQ(r.status, 1);
    std::filesystem::remove_all(dir_ / "zol.tbl");
  }
}

TEST_F(MsgdumpRun, ImageThatCannotBeOpenedIsNamedVerbatim) {
  const std::vector<std::string> names = {"missing.sfc", "%s%n%x %d.sfc",
                                          std::string(5000, 'x') + ".sfc"};
  for (const std::string& name : names) {
    const auto r = Dump(Quote(name));
    EXPECT_EQ(r.out, Text(kLoading + "file " + name + " not found.\n"));
    EXPECT_EQ(r.status, 1);
  }
}

TEST_F(MsgdumpRun, ImageThatCannotBeReadIsAnErrorNotAnEnd) {
  if (testing_util::WindowsPrograms())
    GTEST_SKIP() << "Windows opens no directory and reads pipes as streams";
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10", kStart + 4);
  std::filesystem::create_directory(dir_ / "romdir");
  struct Case {
    std::string arg, reason;
  };
  for (const Case& c : std::vector<Case>{
           {"romdir", "msgdump: romdir: "},
           {"<(cat rom.sfc)", "msgdump: /dev/fd/"},
       }) {
    const auto r = Dump(c.arg);
    EXPECT_EQ(r.out, Text(kHeader)) << c.arg;  // no "[EOF]"
    EXPECT_EQ(r.err.rfind(c.reason, 0), 0u) << r.err;
    EXPECT_EQ(r.status, 1) << c.arg;
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
  // standard error, the same script, the same status.
  if (testing_util::WindowsPrograms()) return;  // a console shows Shift-JIS
  const auto tty = testing_util::Run(
      dir_.path(), "script -qec " +
                       Quote(kMsgdump + " rom.sfc 2>err.txt >/dev/tty; echo " +
                             "$? >status.txt") +
                       " /dev/null");
  EXPECT_EQ(testing_util::ReadFile(dir_ / "err.txt"),
            "msgdump: standard output: the script is Shift-JIS; to read it, "
            "save it (> script.txt) or convert it (| iconv -f CP932 -t "
            "UTF-8)\n");
  EXPECT_EQ(testing_util::ReadFile(dir_ / "status.txt"), "0\n");
}

TEST_F(MsgdumpRun, ImageEndingInOrNearTheWindow) {
  struct Case {
    const char* name;
    std::uint64_t size;
    std::string tail;  // last bytes of the image
    std::string script_end;
    std::string hint{};  // on standard error
    std::string image = "rom.sfc";
  };
  const std::string small =
      "msgdump: rom.sfc: the image holds %s bytes, but the text window "
      "starts at byte 3078144 (0x2EF800); is this the right image?\n";
  auto too_small = [&](const char* size) {
    return small.substr(0, small.find("%s")) + size +
           small.substr(small.find("%s") + 2);
  };
  const std::vector<Case> cases = {
      {"no byte of the window", kStart, "\x10", "[EOF]", too_small("3078144")},
      {"empty image", 0, "", "[EOF]", too_small("0")},
      {"4 MiB behind a copier header", (4 << 20) + 512, "\x10",
       std::string(kWindow, '\n'),
       "msgdump: rom.sfc: its size is 512 bytes past a multiple of 32 KiB: it "
       "looks like it carries a 512-byte copier header, which puts the text "
       "window 512 bytes off; remove the first 512 bytes: tail -c +513 "
       "rom.sfc > headerless.sfc\n"},
      {"ends at the window's last byte", kEnd + 1, "\x11",
       std::string(kWindow - 1, '\n') + Entry(0x11)},
      {"0xFF as the image's and window's last byte", kEnd + 1, "\x11\xFF",
       std::string(kWindow - 2, '\n') + Entry(0x11)},
      {"ends one byte after the window", kEnd + 2, "\x11\x12",
       std::string(kWindow - 1, '\n') + Entry(0x11)},
      {"ends inside the window on 0xFF", kStart + 3, "\x12\xFF",
       "\n" + Entry(0x12) + "[EOF]"},
      // Japanese names open whatever the ANSI code page (under Wine in a
      // UTF-8 locale it is 1252, which holds no kana): the image is opened
      // by its own name, not by an ANSI rendering of it.
      {"Japanese folder and file name", kStart + 2, "\x10\x06",
       Entry(0x10) + "\x82\xB3\x82\xE0\x82\xE9\x82\xBD[EOF]", "",
       "\u30BE\u30EB\u30F4\u30A1\u30FC\u30F3/\u30ED\u30E0 1.sfc"},
  };
  std::filesystem::create_directory(dir_ /
                                    "\u30BE\u30EB\u30F4\u30A1\u30FC\u30F3");
  for (const Case& c : cases) {
    std::remove((dir_ / c.image).c_str());
    WriteSparse(dir_ / c.image, c.size - c.tail.size(), c.tail, c.size);
    const auto r = testing_util::Run(
        dir_.path(), "LC_ALL=C.UTF-8 " + kMsgdump + " " + Quote(c.image));
    EXPECT_TRUE(SameBytes(r.out, Text(kHeader + c.script_end))) << c.name;
    EXPECT_EQ(r.err, Text(c.hint)) << c.name;
    EXPECT_EQ(r.status, 0) << c.name;
  }
}

// A table of any length loads: what it lacks prints nothing, what it has
// beyond 1024 bytes is ignored, an odd last byte stays a one-byte entry.
TEST_F(MsgdumpRun, TablesOfAnyLengthLoad) {
  std::string long_table = Table() + std::string(976, 'z');
  long_table.replace(0x10 * 2, 2, "\x89\x40");
  struct Case {
    std::string table, script;
  };
  const std::vector<Case> cases = {
      {"", "[EOF]"},
      {"a", "[EOF]"},
      {Table().substr(0, 0x11 * 2 + 1),
       Entry(0x10) + Table().substr(0x22, 1) + "[EOF]"},
      {Table().substr(0, 512), Entry(0x10) + Entry(0x11) + "[EOF]"},
      {long_table, "\x89\x40" + Entry(0x11) + Entry(256) + "[EOF]"},
  };
  WriteSparse(dir_ / "rom.sfc", kStart, "\x10\x11\xFF\x01", kStart + 4);
  for (const Case& c : cases) {
    WriteFile(dir_ / "zol.tbl", c.table);
    const auto r = Dump("rom.sfc");
    EXPECT_EQ(r.out, Text(kHeader + c.script)) << c.table.size();
    EXPECT_EQ(r.status, 0) << c.table.size();
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
    EXPECT_NE(r.err.find("msgdump: write error: "), std::string::npos) << r.err;
  }
}

}  // namespace
