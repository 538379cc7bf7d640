// The built glyphpack, run in a temporary directory: its three lines, the
// table it leaves, the earlier table kept on every failure, the layout
// warnings, and a round trip through msgdump.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using testing_util::Exists;
using testing_util::Quote;
using testing_util::ReadFile;
using testing_util::SameBytes;
using testing_util::TempDir;
using testing_util::WriteFile;
using testing_util::WriteSparse;

const std::string kGlyphpack = Quote(GLYPHPACK_BIN);
const std::string kMsgdump = Quote(MSGDUMP_BIN);
const std::string kDone =
    "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\nTEXTFILE: zol_01.txt\n";

// Cell (r, k) of page p: a Shift-JIS-like pair unique to the cell.
std::string Cell(int p, int r, int k) {
  return {static_cast<char>(0x88 + 2 * r + p), static_cast<char>(0x40 + k)};
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

class GlyphpackRun : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "zol_00.txt", Grid(0));
    WriteFile(dir_ / "zol_01.txt", Grid(1));
  }
  testing_util::RunResult Pack(const std::string& args = "",
                               const std::string& redirect = "") {
    return testing_util::Run(dir_.path(), kGlyphpack + " " + args, redirect);
  }
  std::string Table() { return ReadFile(dir_ / "zol.tbl"); }
  bool TempLeft() { return Exists(dir_ / "zol.tbl.new"); }
  TempDir dir_;
};

TEST_F(GlyphpackRun, PacksBothPagesAndIgnoresArguments) {
  const auto first = Pack();
  EXPECT_EQ(first.out, kDone);
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));
  const auto again = Pack("zol_01.txt -x --help");
  EXPECT_EQ(again.out, kDone);
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(SameBytes(Table(), Page(0) + Page(1)));  // byte-identical rerun
  EXPECT_FALSE(TempLeft());
}

// Every way a run can fail, with and without an earlier table: the earlier
// table survives byte for byte (or stays absent) and no temporary is left.
TEST_F(GlyphpackRun, FailureNeverCostsTheEarlierTable) {
  struct Case {
    const char* name;
    const char* grid;  // grid to break
    bool as_dir;       // a directory instead of a file
    std::string out;
  };
  const std::string missing0 =
      "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\n"
      "txt data not found: zol_00.txt\n";
  const std::string missing1 =
      "TABLEFILE: zol.tbl\nTEXTFILE: zol_00.txt\nTEXTFILE: zol_01.txt\n"
      "txt data not found: zol_01.txt\n";
  const std::vector<Case> cases = {
      {"zol_00.txt missing", "zol_00.txt", false, missing0},
      {"zol_01.txt missing", "zol_01.txt", false, missing1},
      {"zol_00.txt a directory", "zol_00.txt", true, missing0},
      {"zol_01.txt a directory", "zol_01.txt", true, missing1},
  };
  const std::string earlier = "an earlier hand-made table";
  for (const Case& c : cases) {
    for (const bool had_table : {true, false}) {
      SetUp();
      std::filesystem::remove(dir_ / "zol.tbl");
      if (had_table) WriteFile(dir_ / "zol.tbl", earlier);
      std::filesystem::remove(dir_ / c.grid);
      if (c.as_dir) std::filesystem::create_directory(dir_ / c.grid);
      const auto r = Pack();
      EXPECT_EQ(r.out, c.out) << c.name;
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_NE(r.err.find(std::string("glyphpack: ") + c.grid + ": "),
                std::string::npos)
          << r.err;
      EXPECT_EQ(Exists(dir_ / "zol.tbl"), had_table) << c.name;
      if (had_table) {
        EXPECT_EQ(Table(), earlier) << c.name;
      }
      EXPECT_FALSE(TempLeft()) << c.name;
      std::filesystem::remove_all(dir_ / c.grid);
    }
  }
}

TEST_F(GlyphpackRun, TableThatCannotBeWritten) {
  // The new table cannot be created.
  WriteFile(dir_ / "zol.tbl", "earlier");
  std::filesystem::create_directory(dir_ / "zol.tbl.new");
  auto r = Pack();
  EXPECT_EQ(r.out, "TABLEFILE: zol.tbl\ntable data not found.\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Table(), "earlier");
  std::filesystem::remove(dir_ / "zol.tbl.new");

  // The new table cannot be moved into place.
  std::filesystem::remove(dir_ / "zol.tbl");
  std::filesystem::create_directories((dir_ / "zol.tbl/keep"));
  r = Pack();
  EXPECT_EQ(r.out, kDone);
  EXPECT_EQ(r.err.rfind("glyphpack: zol.tbl: ", 0), 0u) << r.err;
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Exists((dir_ / "zol.tbl/keep")));
  EXPECT_FALSE(TempLeft());
}

TEST_F(GlyphpackRun, UnwritableOutputFails) {
  const auto r = Pack("", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("glyphpack: write error: "), std::string::npos) << r.err;
}

TEST_F(GlyphpackRun, WarnsAboutGridsThatComeOutWrong) {
  WriteFile(dir_ / "zol_00.txt", Grid(0).substr(0, 7 * 34));
  WriteFile(dir_ / "zol_01.txt", Grid(1, "\n"));
  const auto r = Pack();
  EXPECT_EQ(r.out, kDone);
  EXPECT_EQ(r.status, 0);  // the table is still written, as the format says
  EXPECT_EQ(r.err,
            "glyphpack: zol_00.txt: only 7 of 16 rows are complete; the rest "
            "are left empty\n"
            "glyphpack: zol_01.txt:1: line does not end in CR LF; rows are "
            "read every 34 bytes, so this page is out of step\n"
            "glyphpack: zol_01.txt: only 15 of 16 rows are complete; the rest "
            "are left empty\n");
  EXPECT_EQ(Table().size(), 1024u);
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
  };
  for (const Case& c : cases) {
    WriteFile(dir_ / "zol_00.txt", c.grid0);
    WriteFile(dir_ / "zol_01.txt", c.grid1);
    const auto r = Pack();
    EXPECT_EQ(r.out, kDone) << c.name;
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
  const auto r = testing_util::Run(dir_.path(), kMsgdump + " rom.sfc");
  const std::string header =
      "-- SFC Zolvane Message Converter V1.0 --\n"
      "Written by the Zolvane fan translation tools' authors\n"
      "Loading Table File: zol.tbl\n\n";
  EXPECT_TRUE(SameBytes(r.out, header + script + "[EOF]"));
  EXPECT_EQ(r.status, 0);
}

}  // namespace
