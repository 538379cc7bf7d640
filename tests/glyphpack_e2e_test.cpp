// The built glyphpack, run in a temporary directory: its three lines, the
// table it leaves, the earlier table kept on every failure, the layout
// warnings, and a round trip through msgdump.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using testing_util::Exists;
using testing_util::Glob;
using testing_util::kQuiet;
using testing_util::Line;
using testing_util::Quote;
using testing_util::ReadFile;
using testing_util::Said;
using testing_util::SameBytes;
using testing_util::TempDir;
using testing_util::Text;
using testing_util::WriteFile;
using testing_util::WriteSparse;

const std::string kDone =
    "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\nTEXTFILE: zol_01.txt\n";

// Whether err is exactly these lines of glyphpack's.
testing::AssertionResult Says(const std::string& err,
                              const std::vector<Said>& said) {
  return testing_util::Says(err, "glyphpack", said);
}

// Cell (r, k) of page p: a double-byte Shift-JIS character unique to it.
std::string Cell(int p, int r, int k) {
  return {static_cast<char>((p == 0 ? 0x88 : 0xE0) + r),
          static_cast<char>(0x40 + k)};
}
std::string Row(int p, int r) {
  std::string s;
  for (int k = 0; k < 16; ++k) s += Cell(p, r, k);
  return s;
}
std::string Grid(int p, const std::string& eol = "\r\n") {
  std::string g;
  for (int r = 0; r < 16; ++r) g += Row(p, r) + eol;
  return g;
}
std::string Page(int p) {
  std::string s;
  for (int r = 0; r < 16; ++r) s += Row(p, r);
  return s;
}

class GlyphpackRun : public testing_util::ProgramRun {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "zol_00.txt", Grid(0));
    WriteFile(dir_ / "zol_01.txt", Grid(1));
  }
  testing_util::RunResult Pack(const std::string& args = "",
                               const std::string& redirect = "") {
    return RunHere(kGlyphpack + " " + args, redirect);
  }
  std::string Table() { return ReadFile(dir_ / "zol.tbl"); }
  bool TempLeft() { return !Glob(dir_.path(), "zol.tbl.tmp-").empty(); }
};

TEST_F(GlyphpackRun, PacksBothPagesAndIgnoresArguments) {
  const auto first = Pack();
  EXPECT_EQ(first.out, Text(kDone));
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));
  const auto again = Pack("zol_01.txt -x");
  EXPECT_EQ(again.out, Text(kDone));
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));  // byte-identical rerun
  EXPECT_FALSE(TempLeft());
  // --help and --version print, and leave the table alone.
  WriteFile(dir_ / "zol.tbl", "earlier");
  for (const std::string args : {"-x --help", "--version"}) {
    const auto r = Pack(args);
    EXPECT_EQ(r.out.substr(0, 10),
              args == "--version" ? "glyphpack " : "usage: gly")
        << args;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Table(), "earlier");
  }
  EXPECT_EQ(Pack("--version").out, Text("glyphpack " ZOL_VERSION "\n"));
}

// Every way a run can fail, with and without an earlier table: the earlier
// table survives byte for byte (or stays absent) and no temporary is left.
TEST_F(GlyphpackRun, FailureNeverCostsTheEarlierTable) {
  enum Kind { kMissing, kFolder, kFifo };
  struct Case {
    const char* name;
    const char* grid;  // grid to break
    Kind kind;
    std::string out;
  };
  const std::string missing0 =
      "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\n"
      "txt data not found: zol_00.txt\n";
  const std::string missing1 =
      "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\nTEXTFILE: zol_01.txt\n"
      "txt data not found: zol_01.txt\n";
  std::vector<Case> cases = {
      {"zol_00.txt missing", "zol_00.txt", kMissing, missing0},
      {"zol_01.txt missing", "zol_01.txt", kMissing, missing1},
      {"zol_00.txt a directory", "zol_00.txt", kFolder, missing0},
      {"zol_01.txt a directory", "zol_01.txt", kFolder, missing1},
  };
  if (!testing_util::WindowsPrograms())  // refused at once, never waited on
    cases.push_back({"zol_01.txt a FIFO", "zol_01.txt", kFifo, missing1});
  const std::string earlier = "an earlier hand-made table";
  for (const Case& c : cases) {
    for (const bool had_table : {true, false}) {
      SetUp();
      std::filesystem::remove(dir_ / "zol.tbl");
      if (had_table) WriteFile(dir_ / "zol.tbl", earlier);
      std::filesystem::remove(dir_ / c.grid);
      if (c.kind == kFolder) std::filesystem::create_directory(dir_ / c.grid);
      if (c.kind == kFifo) {
        ASSERT_EQ(mkfifo((dir_ / c.grid).c_str(), 0600), 0);
      }
      const auto r = RunHere("timeout 60 " + kGlyphpack);
      EXPECT_EQ(r.out, Text(c.out)) << c.name;
      EXPECT_EQ(r.status, 1) << c.name;
      const std::string why = c.kind == kMissing ? std::strerror(ENOENT)
                              : c.kind == kFifo  ? "regular file"
                              : testing_util::WindowsPrograms()
                                  ? std::strerror(EACCES)
                                  : std::strerror(EISDIR);
      EXPECT_TRUE(Says(r.err, Line(c.grid, why))) << c.name;
      EXPECT_EQ(Exists(dir_ / "zol.tbl"), had_table) << c.name;
      if (had_table) {
        EXPECT_EQ(Table(), earlier) << c.name;
      }
      EXPECT_FALSE(TempLeft()) << c.name;
      std::filesystem::remove_all(dir_ / c.grid);
    }
  }
}

// zol.tbl is written where and as fopen(..., "wb") would write it, or the
// run stops before any grid is read.  The permission cases run as nobody
// when the tests run as root, since root may write anything.
TEST_F(GlyphpackRun, TableIsWrittenWhereFopenWould) {
  namespace fs = std::filesystem;
  // On Windows only the rows without POSIX links, modes and users run.
  const bool windows = testing_util::WindowsPrograms();
  const bool root = !windows && geteuid() == 0;
  const std::string as_user =
      root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  // A copy nobody can reach, wherever the build tree lies.
  TempDir bin;
  fs::permissions(bin.path(), fs::perms(0755));
  fs::copy_file(GLYPHPACK_BIN, bin / "glyphpack");
  const std::string glyphpack = windows ? kGlyphpack : Quote(bin / "glyphpack");
  const std::string tbl = dir_ / "zol.tbl";
  const std::string earlier = "an earlier hand-made table";
  const std::string refused = "TABLEFILE: zol.tbl\ntable data not found.\n";
  const std::vector<Said> denied = Line("zol.tbl", std::strerror(EACCES));

  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string out;
    std::vector<Said> err;
    std::function<void()> check;
    bool on_windows = false;
    // As root, after the folder was given to the user: what only root can
    // set up (another user's file, a bind mount); the row needs root.
    std::function<void()> as_root = nullptr;
    // Put before the program: strace failing a call, as a file system that
    // lacks the feature fails it.
    std::string via = "";
    bool immutable_folder = false;  // made so last (chattr +i)
  };
  auto inject = [](const char* call, const char* err) {
    return std::string("strace -f -o /dev/null -e trace=") + call +
           " -e inject=" + call + ":error=" + err + " ";
  };
  struct stat st {};
  auto owner = [&](const std::string& path) {
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
  };
  auto root_owns = [&](const std::string& path, unsigned mode) {
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  };
  std::vector<Case> cases = {
      {"write-protected zol.tbl",
       [&] {
         WriteFile(tbl, earlier);
         fs::permissions(tbl, fs::perms(0444));
       },
       refused, denied, [&] { EXPECT_EQ(Table(), earlier); }, true},
      {"zol.tbl is a directory", [&] { fs::create_directory(tbl); }, refused,
       Line("zol.tbl", std::strerror(EISDIR)),
       [&] { EXPECT_TRUE(fs::is_directory(tbl)); }, true},
      {"link into a missing folder",
       [&] { fs::create_symlink("gone/zol.tbl", tbl); }, refused,
       Line("zol.tbl", std::strerror(ENOENT)),
       [&] { EXPECT_TRUE(fs::is_symlink(tbl)); }},
      {"link to a table in another folder",
       [&] {
         fs::create_directory(dir_ / "v1");
         WriteFile(dir_ / "v1/zol.tbl", earlier);
         fs::create_symlink("v1/zol.tbl", tbl);
       },
       kDone, kQuiet,
       [&] {
         EXPECT_TRUE(fs::is_symlink(tbl));
         EXPECT_EQ(ReadFile(dir_ / "v1/zol.tbl"), Page(0) + Page(1));
         EXPECT_TRUE(Glob(dir_ / "v1", "zol.tbl.tmp-").empty());
       },
       true},
      // The table is never written over a grid: the grid would be lost.
      {"zol.tbl a link to a grid",
       [&] { fs::create_symlink("zol_00.txt", tbl); }, refused,
       Line("zol.tbl", "zol_00.txt"),
       [&] { EXPECT_EQ(ReadFile(dir_ / "zol_00.txt"), Grid(0)); }},
      {"zol.tbl a hard link to a grid",
       [&] { fs::create_hard_link(dir_ / "zol_01.txt", tbl); }, refused,
       Line("zol.tbl", "zol_01.txt"),
       [&] { EXPECT_EQ(ReadFile(dir_ / "zol_01.txt"), Grid(1)); }, true},
      {"second hard link",
       [&] {
         WriteFile(tbl, earlier);
         fs::create_hard_link(tbl, dir_ / "v1.tbl");
       },
       kDone, kQuiet,
       [&] { EXPECT_EQ(ReadFile(dir_ / "v1.tbl"), Page(0) + Page(1)); }},
      // Permissions never widen (nor narrow): under Wine too.
      {"private table stays private",
       [&] {
         WriteFile(tbl, earlier);
         fs::permissions(tbl, fs::perms(0600));
       },
       kDone, kQuiet,
       [&] {
         EXPECT_EQ(fs::status(tbl).permissions(), fs::perms(0600));
         struct stat st {};
         ASSERT_EQ(stat(tbl.c_str(), &st), 0);
         EXPECT_EQ(st.st_uid, root ? 65534U : geteuid());
       },
       true},
      {"a table others may read stays so",
       [&] {
         WriteFile(tbl, earlier);
         fs::permissions(tbl, fs::perms(0644));
       },
       kDone, kQuiet,
       [&] { EXPECT_EQ(fs::status(tbl).permissions(), fs::perms(0644)); },
       true},
      {"a link to nothing: its target is made",
       [&] { fs::create_symlink("v2.tbl", tbl); }, kDone, kQuiet,
       [&] {
         EXPECT_TRUE(fs::is_symlink(tbl));
         EXPECT_EQ(ReadFile(dir_ / "v2.tbl"), Page(0) + Page(1));
       },
       true},
      // (An immutable folder stands in for one this user may not add to:
      // root, who runs Wine here, may add to any other.)
      {"a folder that takes no new file, a writable table",
       [&] { WriteFile(tbl, earlier); }, kDone, kQuiet, [] {}, true, nullptr,
       "", true},
      {"read-only folder, writable table",
       [&] {
         WriteFile(tbl, earlier);
         fs::permissions(dir_.path(), fs::perms(0555));
       },
       kDone, kQuiet, [] {}},
      {"read-only folder, no table",
       [&] { fs::permissions(dir_.path(), fs::perms(0555)); }, refused, denied,
       [&] { EXPECT_FALSE(Exists(tbl)); }},
      // fopen keeps a file's owner, group and attributes: so does the table.
      {"another user's writable table", [&] { WriteFile(tbl, earlier); }, kDone,
       kQuiet, [&] { EXPECT_EQ(owner(tbl), "0:0"); }, false,
       [&] { root_owns(tbl, 0666); }},
      {"another user's writable table in a sticky folder",
       [&] { WriteFile(tbl, earlier); }, kDone, kQuiet,
       [&] { EXPECT_EQ(owner(tbl), "0:0"); }, false,
       [&] {
         root_owns(tbl, 0666);
         root_owns(dir_.path(), 01777);
       }},
      // ... but a third user's is refused there, as fs.protected_regular=1
      // has fopen refuse it.
      {"a third user's writable table in a sticky folder",
       [&] { WriteFile(tbl, earlier); }, refused, denied,
       [&] { EXPECT_EQ(Table(), earlier); }, false,
       [&] {
         root_owns(dir_.path(), 01777);
         ASSERT_EQ(chown(tbl.c_str(), 65533, 65533), 0);
         ASSERT_EQ(chmod(tbl.c_str(), 0666), 0);
       }},
      {"a table with extended attributes",
       [&] {
         WriteFile(tbl, earlier);
         ASSERT_EQ(setxattr(tbl.c_str(), "user.note", "kept", 4, 0), 0);
       },
       kDone, kQuiet,
       [&] {
         char note[8] = {};
         EXPECT_EQ(getxattr(tbl.c_str(), "user.note", note, sizeof note), 4);
         EXPECT_STREQ(note, "kept");
       }},
      {"a chain of 19 relative links with long names",
       [&] {
         fs::create_directory(dir_ / "d");
         const std::string name(230, 'L');
         std::string from = "zol.tbl";
         for (int i = 0; i < 19; ++i) {
           const std::string to = name + std::to_string(i);
           fs::create_symlink("d/../" + to, dir_ / from);
           from = to;
         }
         WriteFile(dir_ / from, earlier);
       },
       kDone, kQuiet,
       [&] {
         EXPECT_EQ(ReadFile(tbl), Page(0) + Page(1));
         EXPECT_TRUE(fs::is_symlink(tbl));
       }},
      {"a bind-mounted zol.tbl (a container's single-file volume)",
       [&] {
         WriteFile(tbl, earlier);
         fs::create_directory(dir_ / "volume");
         WriteFile(dir_ / "volume/zol.tbl", earlier);
       },
       kDone, kQuiet,
       [&] {
         EXPECT_EQ(ReadFile(dir_ / "volume/zol.tbl"), Page(0) + Page(1));
         EXPECT_EQ(umount(tbl.c_str()), 0);
       },
       false,
       [&] {
         ASSERT_EQ(mount((dir_ / "volume/zol.tbl").c_str(), tbl.c_str(),
                         nullptr, MS_BIND, nullptr),
                   0)
             << "(needs a system that lets root bind-mount)";
       }},
      // Another user's link in a shared sticky folder is never followed
      // (as Linux's fs.protected_symlinks=1 would have it), the user's own
      // is.
      {"another user's link in a sticky folder",
       [&] {
         WriteFile(dir_ / "mine", earlier);
         fs::create_symlink("mine", tbl);
       },
       refused, denied, [&] { EXPECT_EQ(ReadFile(dir_ / "mine"), earlier); },
       false,
       [&] {
         root_owns(dir_.path(), 01777);
         ASSERT_EQ(lchown(tbl.c_str(), 65533, 65533), 0);
       }},
      {"the user's own link in a sticky folder",
       [&] {
         WriteFile(dir_ / "mine", earlier);
         fs::create_symlink("mine", tbl);
       },
       kDone, kQuiet,
       [&] { EXPECT_EQ(ReadFile(dir_ / "mine"), Page(0) + Page(1)); }, false,
       [&] { root_owns(dir_.path(), 01777); }},
      // ... nor one planted by another user during the run, between the
      // temporary and the rename (held up two seconds there).
      {"another user's link planted during the run",
       [&] { WriteFile(dir_ / "mine", earlier); }, kDone, denied,
       [&] {
         EXPECT_TRUE(fs::is_symlink(tbl));
         EXPECT_EQ(ReadFile(dir_ / "mine"), earlier);
       },
       false,
       [&] {
         root_owns(dir_.path(), 01777);
         ASSERT_EQ(std::system(("cd " + Quote(dir_.path()) +
                                " && setpriv --reuid=65533 --regid=65533 "
                                "--clear-groups sh -c 'for i in $(seq 500); "
                                "do for t in zol.tbl.tmp-*; do [ -e \"$t\" ] "
                                "&& ln -s mine zol.tbl && exit; done; sleep "
                                "0.01; done' &")
                                   .c_str()),
                   0);
       },
       "strace -f -o /dev/null -e trace=renameat "
       "-e inject=renameat:delay_enter=2000000 "},
      // File systems that lack a feature: the table is written all the same.
      {"no fchmod (ENOSYS)", [&] { WriteFile(tbl, earlier); }, kDone, kQuiet,
       [] {}, false, nullptr, inject("fchmod", "ENOSYS")},
      {"no fsync (EINVAL)", [&] { WriteFile(tbl, earlier); }, kDone, kQuiet,
       [] {}, false, nullptr, inject("fsync", "EINVAL")},
      {"no rename (EOPNOTSUPP)", [&] { WriteFile(tbl, earlier); }, kDone,
       kQuiet, [] {}, false, nullptr, inject("renameat", "EOPNOTSUPP")},
      {"a file of the user's named zol.tbl.new",
       [&] { WriteFile(dir_ / "zol.tbl.new", "mine"); }, kDone, kQuiet,
       [&] { EXPECT_EQ(ReadFile(dir_ / "zol.tbl.new"), "mine"); }, true},
      {"a folder named zol.tbl.new",
       [&] { fs::create_directory(dir_ / "zol.tbl.new"); }, kDone, kQuiet,
       [&] { EXPECT_TRUE(fs::is_directory(dir_ / "zol.tbl.new")); }, true},
  };
  if (windows) {
    // Windows' own: a hidden table stays hidden (attrib is Wine's too).
    const std::string attrib = Quote(ZOL_RUNNER) + " attrib ";
    cases.push_back({"a hidden table",
                     [&, attrib] {
                       WriteFile(tbl, earlier);
                       RunHere(attrib + "+h zol.tbl");
                     },
                     kDone, kQuiet,
                     [&, attrib] {
                       const std::string a = RunHere(attrib + "zol.tbl").out;
                       EXPECT_LT(a.find('H'), a.find(':')) << a;
                     },
                     true});
  }
  const bool strace = testing_util::WhyNoStrace() == nullptr;
  for (const Case& c : cases) {
    if ((windows && !c.on_windows) || (c.as_root && !root) ||
        (!c.via.empty() && !strace))
      continue;
    SCOPED_TRACE(c.name);
    fs::permissions(dir_.path(), fs::perms(0755));
    for (const auto& e : fs::directory_iterator(dir_.path()))
      fs::remove_all(e.path());
    SetUp();
    c.setup();
    // Everything belongs to the user the program runs as.
    if (root) {
      ASSERT_EQ(std::system(
                    ("chown -R -h 65534:65534 " + Quote(dir_.path())).c_str()),
                0);
      if (c.as_root) c.as_root();
    }
    // (chattr needs root and a file system that has it; else the row goes.)
    auto chattr = [&](const char* flag) {
      return std::system(("chattr " + std::string(flag) + " " +
                          Quote(dir_.path()) + " 2>/dev/null")
                             .c_str()) == 0;
    };
    if (c.immutable_folder && !chattr("+i")) continue;
    const auto r = RunHere(as_user + c.via + glyphpack);
    if (c.immutable_folder) chattr("-i");
    fs::permissions(dir_.path(), fs::perms(0755));
    EXPECT_EQ(r.out, Text(c.out));
    EXPECT_TRUE(Says(r.err, c.err));
    EXPECT_EQ(r.status, c.out == kDone && c.err.empty() ? 0 : 1);
    if (c.out == kDone && !fs::is_symlink(tbl)) {
      EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));
    }
    EXPECT_FALSE(TempLeft());
    c.check();
  }
}

// Every system call of a run fails in turn, and the run is killed at each in
// turn: zol.tbl is always the earlier table or the whole new one, exit 0
// only with the new one, every failure says why, and only a killed run may
// leave its temporary behind.
TEST_F(GlyphpackRun, FailingOrKilledAtAnySystemCall) {
  if (const char* why = testing_util::WhyNoStrace()) GTEST_SKIP() << why;
  const std::string earlier(1024, 'e');
  const std::string fresh = Page(0) + Page(1);
  const std::vector<std::string> calls = testing_util::SweepSystemCalls(
      dir_.path(), kGlyphpack,
      {"openat", "read", "write", "close", "fsync", "renameat"},
      [&] {
        for (const std::string& t : Glob(dir_.path(), "zol.tbl.tmp-"))
          std::filesystem::remove(dir_ / t);
        WriteFile(dir_ / "zol.tbl", earlier);
      },
      [&](const testing_util::RunResult& r, bool killed) {
        const std::string now = Table();
        EXPECT_TRUE(now == earlier || now == fresh) << now.size();
        if (r.status == 0) {
          EXPECT_EQ(now, fresh);
        }
        if (!killed) {
          EXPECT_FALSE(TempLeft());
        }
      });
  // The new table reaches the disk before it takes the old one's name.
  const auto rename = std::find(calls.begin(), calls.end(), "renameat");
  ASSERT_NE(rename, calls.end());
  EXPECT_NE(std::find(calls.begin(), rename, "fsync"), rename);
}

// Two runs at once in one folder: the first has written its table and waits
// at its rename while a second starts and is killed at its first write.
// The first's table is whole and in place, and it says so.
TEST_F(GlyphpackRun, OverlappingRunsEachInstallAWholeTable) {
  if (const char* why = testing_util::WhyNoStrace()) GTEST_SKIP() << why;
  WriteFile(dir_ / "zol.tbl", "earlier");
  const auto r = RunHere(
      "{ { strace -f -o /dev/null -e trace=renameat "
      "-e inject=renameat:delay_enter=1000000 " +
      kGlyphpack +
      " >first.out; "
      "echo $? >first.status; } & "
      "for i in $(seq 500); do for t in zol.tbl.tmp-*; do "
      "[ -s \"$t\" ] && break 2; done; sleep 0.01; done; " +
      testing_util::Inject("write", 1, true) + kGlyphpack + "; wait; }");
  EXPECT_EQ(ReadFile(dir_ / "first.out"), Text(kDone));
  EXPECT_EQ(ReadFile(dir_ / "first.status"), "0\n");
  EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));
  EXPECT_EQ(r.status, 0);
}

// Other programs at the table: one holding it open as an editor does, and
// ten runs at once in one folder.  Every run does its job, as with fopen.
TEST_F(GlyphpackRun, OthersAtTheTableNeverMakeARunFail) {
  const std::string fresh = Page(0) + Page(1);
  // Windows will not replace a file another program holds: the table is
  // then written in place, and the holder reads the new bytes.  (On POSIX
  // systems the holder keeps the file it opened.)
  WriteFile(dir_ / "zol.tbl", "earlier");
  const std::string holder =
      std::string(ZOL_HOLDER).empty()
          ? "sh -c 'touch zol.tbl.held; until [ -e zol.tbl.release ]; do "
            "sleep 0.05; done' 3<zol.tbl"
          : testing_util::Program(ZOL_HOLDER) + " zol.tbl";
  const auto held = RunHere(
      "{ " + holder + " & until [ -e zol.tbl.held ]; do sleep 0.05; done; " +
      kGlyphpack + "; s=$?; touch zol.tbl.release; wait; " + "exit $s; }");
  EXPECT_EQ(held.out, Text(kDone));
  EXPECT_EQ(held.err, "");
  EXPECT_EQ(held.status, 0);
  EXPECT_TRUE(SameBytes(Table(), fresh));
  if (testing_util::WindowsPrograms()) {
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "zol.tbl.seen"), fresh));
  }

  WriteFile(dir_ / "zol.tbl", "earlier");
  const auto many =
      RunHere("{ for i in 1 2 3 4 5 6 7 8 9 10; do { " + kGlyphpack +
              " >/dev/null 2>>errors; echo $? >>statuses; } & done; "
              "wait; cat statuses errors; }");
  std::string statuses;
  for (int i = 0; i < 10; ++i) statuses += "0\n";
  EXPECT_EQ(many.out, statuses);  // and nothing on standard error
  EXPECT_TRUE(SameBytes(Table(), fresh));
  EXPECT_FALSE(TempLeft());
}

TEST_F(GlyphpackRun, UnwritableOutputFails) {
  const auto r = Pack("", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Says(r.err, Line("write error")));
}

TEST_F(GlyphpackRun, WarnsAboutGridsThatComeOutWrong) {
  WriteFile(dir_ / "zol_00.txt", std::string(600, 'A') + "\r\n" + Grid(0));
  WriteFile(dir_ / "zol_01.txt", Grid(1, "\n"));
  const auto r = Pack();
  EXPECT_EQ(r.out, Text(kDone));
  EXPECT_EQ(r.status, 0);  // the table is still written, as the format says
  const bool windows = testing_util::WindowsPrograms();
  EXPECT_TRUE(Says(r.err, {{"zol_00.txt:1", {"600", "32", "34"}},
                           {"zol_01.txt:1",
                            {"CR LF", windows ? "powershell" : "perl",
                             "zolvane-tools.html"}},
                           {"zol_01.txt", {"15", "16"}}}));
  EXPECT_EQ(Table().size(), 1024u);
  if (windows) {  // the command names the grid, quoted for PowerShell
    EXPECT_NE(
        testing_util::Command(r.err, "powershell -c").find("'zol_01.txt'"),
        std::string::npos);
  } else {  // the command, pasted into sh, mends the grid
    const auto pasted =
        RunHere("sh -c " + Quote(testing_util::Command(r.err, "perl ")));
    EXPECT_EQ(pasted.status, 0);
    EXPECT_EQ(ReadFile(dir_ / "zol_01.txt"), Grid(1));
  }

  // A UTF-8 grid is named as such, with a command that converts it; split
  // cells are named line by line, and a long report is cut after 16 lines.
  // The table is packed as ever.
  std::string utf8 = "\xEF\xBB\xBF";
  for (int r = 0; r < 16 * 17; ++r)
    utf8 += r % 17 == 16 ? "\r\n" : "\xE3\x82\xA2";
  std::string split;  // 15 lines: "A", 15 kanji, "B"; the last one "Bx", LF
  for (int r = 0; r < 15; ++r) {
    split += "A";
    for (int k = 0; k < 15; ++k) split += "\x88\x9F";
    split += r < 14 ? "B\r\n" : "Bx\n";
  }
  WriteFile(dir_ / "zol_00.txt", utf8);
  WriteFile(dir_ / "zol_01.txt", split);
  const auto more = Pack();
  std::vector<Said> want = {
      {"zol_00.txt",
       {"UTF-8", "byte order mark", "CP932", windows ? "powershell" : "iconv",
        "zolvane-tools.html"}},
      {"zol_01.txt:15", {"CR LF"}},
      {"zol_01.txt:15", {"33", "32"}}};
  for (int line = 1; line <= 14; ++line)
    want.push_back({"zol_01.txt:" + std::to_string(line), {"1", "41 88"}});
  want.push_back({"zol_01.txt", {"1"}});  // and one more
  EXPECT_TRUE(Says(more.err, want));
  EXPECT_EQ(more.status, 0);
  EXPECT_EQ(Table().substr(0, 32), utf8.substr(0, 32));
  if (!windows) {  // the command, pasted into sh, makes the grid Shift-JIS
    const auto pasted =
        RunHere("sh -c " + Quote(testing_util::Command(more.err, "tail ")));
    EXPECT_EQ(pasted.status, 0);
    std::string sjis;  // 16 lines of 16 katakana A (83 41)
    for (int r = 0; r < 16 * 17; ++r)
      sjis += r % 17 == 16 ? "\r\n" : "\x83\x41";
    EXPECT_EQ(ReadFile(dir_ / "zol_00.txt"), sjis);
  }
}

// Grids that are no grids at all still give a whole table, and warnings.
TEST_F(GlyphpackRun, OddGridsStillGiveWholePages) {
  std::string noise;
  std::uint32_t x = 12345;
  for (int i = 0; i < 700; ++i) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  std::string noise_page;
  for (int r = 0; r < 16; ++r) noise_page += noise.substr(34 * r, 32);
  // Four megabytes: sixteen good lines, then junk that must be ignored.
  const std::string huge = Grid(1) + std::string(4 << 20, '\x81');
  struct Case {
    const char* name;
    std::string grid0, grid1, table;
    bool warns;
  };
  const std::vector<Case> cases = {
      {"empty grids", "", "", std::string(1024, '\0'), true},
      {"binary noise", noise, Grid(1), noise_page + Page(1), true},
      {"megabytes long", Grid(0), huge, Page(0) + Page(1), false},
      // The last line's terminator is never read: no warning for it.
      {"last line without CR LF", Grid(0).substr(0, 16 * 34 - 2) + "\n",
       Grid(1).substr(0, 16 * 34 - 2), Page(0) + Page(1), false},
  };
  for (const Case& c : cases) {
    WriteFile(dir_ / "zol_00.txt", c.grid0);
    WriteFile(dir_ / "zol_01.txt", c.grid1);
    const auto r = Pack();
    EXPECT_EQ(r.out, Text(kDone)) << c.name;
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_TRUE(SameBytes(Table(), c.table)) << c.name;
    EXPECT_EQ(!r.err.empty(), c.warns) << c.name << ": " << r.err;
  }
}

// A table packed from two grids, used by msgdump: every one-byte code and
// every kanji code renders as its own grid cell.
TEST_F(GlyphpackRun, RoundTripThroughMsgdump) {
  ASSERT_EQ(Pack().status, 0);
  std::string codes, script;
  for (int c = 0x10; c <= 0xFE; ++c) {
    codes += static_cast<char>(c);
    script += Cell(0, c >> 4, c & 15);
  }
  for (int n = 0x01; n <= 0xFE; ++n) {
    codes += std::string{'\xFF', static_cast<char>(n)};
    const int cell = n - 1;
    script += Cell(1, cell >> 4, cell & 15);
  }
  codes += "\xFF";  // 0xFF 0x00: back to the last cell of the one-byte page
  codes += '\0';
  script += Cell(0, 15, 15);
  constexpr std::uint64_t kStart = 0x2EF800;
  WriteSparse(dir_ / "rom.sfc", kStart, codes, kStart + codes.size());
  const auto r = RunHere(kMsgdump + " rom.sfc");
  const std::string header =
      "-- SFC Zolvane Message Converter V1.0 --\n"
      "Written by the Zolvane fan translation tools' authors\n"
      "Loading Table File: zol.tbl\n\n";
  EXPECT_TRUE(SameBytes(r.out, Text(header + script + "[EOF]")));
  EXPECT_EQ(r.status, 0);
}

}  // namespace
