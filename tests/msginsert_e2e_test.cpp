// The built msginsert, run on the sample in a temporary directory: what it
// writes (the patched image, the BPS patch), what it refuses, and that its
// inputs never change.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bps_apply.h"
#include "test_util.h"

namespace {

using testing_util::Exists;
using testing_util::Quote;
using testing_util::ReadFile;
using testing_util::SameBytes;
using testing_util::Text;
using testing_util::WriteFile;

const std::string kSample = SAMPLE_DIR;

std::vector<unsigned char> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

enum Result {
  kNothing,   // exit 1, neither out.sfc nor out.bps
  kReported,  // exit 0, nothing asked, nothing written
  kEnglish,   // exit 0; out.sfc, dumped, shows the sample's English
  kAtlas,     // exit 0; out.sfc is what the page's inserter (mksample
              // --insert, Atlas 1.12's bytes) makes of the script
};
struct Case {
  const char* name;
  std::string script;
  std::string args;
  Result result;
  std::string err_names = "";  // a file and line the report names
  std::string before = "";     // shell commands run first
};

class MsginsertRun : public testing_util::ProgramRun {
 protected:
  // The sample's image, its translation and insertion table, and a folder
  // whose grids draw the translation's letters.
  void SetUp() override {
    for (const char* name : {"squeezed.atlas.txt", "english.tbl", "zol_01.txt"})
      WriteFile(dir_ / name, ReadFile(kSample + "/" + name));
    std::filesystem::create_directory(dir_ / "english");
    WriteFile(dir_ / "english/zol_00.txt",
              ReadFile(kSample + "/english_00.txt"));
    WriteFile(dir_ / "english/zol_01.txt", ReadFile(kSample + "/zol_01.txt"));
    ASSERT_EQ(
        Run(kMksample + " " + Quote(kSample + "/scene.txt") + " sample.sfc")
            .status,
        0);
    ASSERT_EQ(testing_util::Run(dir_ / "english", kGlyphpack).status, 0);
  }
  testing_util::RunResult Run(const std::string& command) {
    return RunHere("timeout 120 " + command);
  }
  // The script of the sample's translation with from replaced by to.
  std::string Edited(const std::string& from, const std::string& to) {
    std::string s = ReadFile(kSample + "/squeezed.atlas.txt");
    const std::size_t at = s.rfind(from);  // the copy, not the comment
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
  }
  // Writes script.txt, runs msginsert and checks what must follow.
  // Whatever the row, the script, the table and the image stay as they
  // were, no temporary file is left, and a BPS patch written turns the
  // image into the patched image written beside it.
  void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    const std::string table = ReadFile(dir_ / "english.tbl");
    const std::string image = ReadFile(dir_ / "sample.sfc");
    WriteFile(dir_ / "script.txt", c.script);
    std::remove((dir_ / "out.sfc").c_str());
    std::remove((dir_ / "out.bps").c_str());
    const auto r = Run(c.before + kMsginsert + " " + c.args);
    const bool written = c.result == kEnglish || c.result == kAtlas;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, c.result == kNothing ? 1 : 0) << r.err;
    EXPECT_NE(r.err.find(c.err_names), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir_ / "script.txt"), c.script);
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "english.tbl"), table));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "sample.sfc"), image));
    if (c.before.empty()) {  // (else out.sfc is the row's own)
      EXPECT_EQ(Exists(dir_ / "out.sfc"), written);
    }
    EXPECT_EQ(Exists(dir_ / "out.bps"), written);
    EXPECT_TRUE(testing_util::Glob(dir_.path(), "out.sfc.tmp-").empty());
    if (c.result == kEnglish) {
      const auto dump =
          testing_util::Run(dir_ / "english", kMsgdump + " --utf8 ../out.sfc");
      EXPECT_TRUE(SameBytes(dump.out,
                            Text(ReadFile(kSample + "/expected.english.txt"))));
    } else if (c.result == kAtlas) {
      ASSERT_EQ(Run(kMksample + " --insert sample.sfc script.txt english.tbl "
                                "atlas.sfc")
                    .status,
                0);
      EXPECT_TRUE(
          SameBytes(ReadFile(dir_ / "out.sfc"), ReadFile(dir_ / "atlas.sfc")));
    }
    if (Exists(dir_ / "out.bps")) {
      std::vector<unsigned char> made;
      std::string why;
      EXPECT_TRUE(testing_util::ApplyBps(Bytes(ReadFile(dir_ / "out.bps")),
                                         Bytes(image), &made, &why))
          << why;
      EXPECT_EQ(made, Bytes(ReadFile(dir_ / "out.sfc")));
    }
  }
};

// What fits is written, as the page and Atlas write it; what does not, or
// would land on an input, is refused with nothing written.
TEST_F(MsginsertRun, WritesWhatFitsAndRefusesTheRest) {
  const std::string english = ReadFile(kSample + "/squeezed.atlas.txt");
  const std::string cut = Edited("Hi？", "HiHiHiHi？");
  const std::string no_fill = Edited("#FILL($D0)\n", "");
  std::string cr_only = english;
  std::replace(cr_only.begin(), cr_only.end(), '\n', '\r');
  const std::string both = "-o out.sfc --bps out.bps script.txt sample.sfc";
  // (A table only the script's folder holds.)
  const std::string in_sub = Edited("\"english.tbl\"", "\"sub.tbl\"");
  const std::string to_sub =
      "mkdir -p sub && cp english.tbl sub/sub.tbl && cp script.txt sub/ && ";
  std::vector<Case> cases = {
      {"fits", english, both, kEnglish},
      {"options in any order, -- ends them", english,
       "--bps out.bps script.txt -o out.sfc -- sample.sfc", kEnglish},
      {"only the report", english, "script.txt sample.sfc", kReported,
       "script.txt:20"},
      {"--fill instead of #FILL", no_fill, both + " --fill D0", kEnglish},
      {"--table instead of #ADDTBL's",
       Edited("\"english.tbl\"", "\"missing.tbl\""),
       both + " --table english.tbl", kEnglish},
      {"cut: refused", cut, both, kNothing, "script.txt:20"},
      {"cut, where what goes in is the original: refused",
       Edited("<0E>\n#JMP", "<0E>Hi\n#JMP"), both, kNothing, "script.txt:41"},
      {"cut --as-atlas: as Atlas", cut, both + " --as-atlas", kAtlas,
       "script.txt:20"},
      {"--as-atlas: Atlas's bytes", english, "--as-atlas " + both, kAtlas},
      {"not in the table", Edited("Who", "Wxo"), both, kNothing,
       "script.txt:34"},
      {"CR-only line ends: the table is found, the line ends refused", cr_only,
       both, kNothing, "script.txt:1"},
      {"no table named", Edited("#ADDTBL(\"english.tbl\", Script)\n", ""), both,
       kNothing, "script.txt"},
      {"-o the script", english, "-o script.txt script.txt sample.sfc",
       kNothing, "script.txt"},
      {"-o the table", english, "-o english.tbl script.txt sample.sfc",
       kNothing, "english.tbl"},
      {"--bps the image", english, "--bps sample.sfc script.txt sample.sfc",
       kNothing, "sample.sfc"},
      {"-o and --bps one file", english,
       "-o out.sfc --bps out.sfc script.txt sample.sfc", kNothing, "out.sfc"},
      {"-o and --bps one new file by two names", english,
       "-o out.sfc --bps ./out.sfc script.txt sample.sfc", kNothing,
       "./out.sfc"},
      {"a second image", english, both + " x.sfc", kNothing},
      {"the table beside a script in another folder", in_sub,
       "-o out.sfc --bps out.bps sub/script.txt sample.sfc", kEnglish, "",
       to_sub},
  };
  if (testing_util::WindowsPrograms())
    cases.push_back({"a folder named as Windows names it", in_sub,
                     "-o out.sfc --bps out.bps 'sub\\script.txt' sample.sfc",
                     kEnglish, "", to_sub});
  if (!testing_util::WindowsPrograms())  // (POSIX links)
    cases.push_back({"-o a hard link to the image", english, both, kNothing,
                     "out.sfc", "ln -f sample.sfc out.sfc && "});
  for (const Case& c : cases) Check(c);
}

// Command lines msginsert cannot follow: nothing is read or written, and
// the line it says is about the word it stopped at.  After "--" every word
// is an operand; --help and --version answer once the line is read.
TEST_F(MsginsertRun, CommandLinesThatInsertNothing) {
  const std::string files = " script.txt sample.sfc";
  WriteFile(dir_ / "script.txt", ReadFile(kSample + "/english.atlas.txt"));
  const std::vector<std::pair<std::string, testing_util::Said>> rows = {
      {"script.txt", {"command line", {"--help"}}},
      {"a b c", {"c", {}}},
      {"-- -o" + files, {"sample.sfc", {}}},
      {"--bps", {"--bps", {"--bps PATCH"}}},
      {"-o a.sfc -o b.sfc" + files, {"-o", {"twice"}}},
      {"--fill 1FF" + files, {"--fill", {}}},
      {"--fill", {"--fill", {}}},
      {"--as-atlass" + files, {"--as-atlass", {"--help"}}},
      {"--pairs en" + files, {"--pairs", {"--pairs DIR", "--font LAYOUT"}}},
      {"--font 2bpp:0" + files, {"--font", {"--pairs DIR", "--font LAYOUT"}}},
      {"--help --bogus", {"--bogus", {"--help"}}},
  };
  for (const auto& [args, said] : rows) {
    const auto r = Run(kMsginsert + " " + args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_TRUE(testing_util::Says(r.err, "msginsert", {said})) << args;
  }
  EXPECT_FALSE(Exists(dir_ / "a.sfc"));
  EXPECT_EQ(Run(kMsginsert + " script.txt --version").out,
            Text("msginsert " ZOL_VERSION "\n"));
  EXPECT_EQ(Run(kMsginsert + " --version -- -x").status, 0);
}

// A shorter line with no fill in force would leave the original's last
// bytes behind: refused, or with --as-atlas left so, as Atlas leaves it.
TEST_F(MsginsertRun, ShorterLineWithoutFillIsRefused) {
  const std::string no_fill = Edited("#FILL($D0)\n", "");
  const std::string both = "-o out.sfc --bps out.bps script.txt sample.sfc";
  for (const Case& c : std::vector<Case>{
           {"shorter without fill: refused", no_fill, both, kNothing,
            "script.txt:19"},  // (the #FILL line gone)
           {"shorter without fill --as-atlas: as Atlas", no_fill,
            "--as-atlas " + both, kAtlas, "script.txt:19"},
       })
    Check(c);
}

// English in pairs: the sample's natural English (sample/english.atlas.txt)
// goes in with its glyphs, and the grids written beside the table print it
// back; what would land on an input, or still does not fit, is refused.
TEST_F(MsginsertRun, PairsFitTheSampleAndPrintItBack) {
  WriteFile(dir_ / "zolvane.tbl", ReadFile(kSample + "/expected.thingy.tbl"));
  WriteFile(dir_ / "sjis.tbl",
            "80=\x82\xA0\n" + ReadFile(dir_ / "zolvane.tbl"));
  const std::string english = ReadFile(kSample + "/english.atlas.txt");
  const std::string pairs = "--font 2bpp:0xC8000:0xCC000 --pairs en ";
  const std::string both = "-o out.sfc --bps out.bps script.txt sample.sfc";
  std::string longer = english;
  const std::string here = "Here! I'm in the forest.";
  longer.replace(longer.rfind(here), here.size(),
                 "Over here, deep in the old forest by the river.");
  struct Row {
    const char* name;
    const std::string& script;
    std::string args;
    bool written;
    std::string err_names = "";
    std::string grid = "input";  // what en/zol_00.txt holds before
  };
  const std::string none;
  const std::string untouched = ReadFile(kSample + "/expected.atlas.txt");
  const Row rows[] = {
      {"the sample's English", english, pairs + both, true},
      {"no -o: the table and grids alone", english,
       pairs + "script.txt sample.sfc", true},
      {"a line that still does not fit: refused", longer, pairs + both, false,
       "script.txt:26"},
      {"... but not --as-atlas", longer, "--as-atlas " + pairs + both, true,
       "script.txt:26"},
      {"DIR holds the table read", english,
       pairs + "--table en/english.tbl " + both, false, "en/english.tbl"},
      {"DIR holds the image", english,
       pairs + "-o out.sfc script.txt en/zol_00.txt", false, "en/zol_00.txt"},
      {"--pairs without --font", english, "--pairs en " + both, false},
      {"-o names a file of DIR", english,
       pairs + "-o en/zol_01.txt script.txt sample.sfc", false,
       "en/zol_01.txt"},
      {"DIR holds grids made by hand", english, pairs + both, false,
       "en/zol_00.txt", ReadFile(kSample + "/zol_00.txt")},
      {"a font over the text window", english,
       "--font 1bpp:0x2EF800 --pairs en " + both, false, "sample.sfc"},
      {"a script with no block", none, pairs + both, false, "script.txt"},
      {"a table not UTF-8 is named, not the one the pairs make", english,
       pairs + "--table sjis.tbl " + both, false, "sjis.tbl:1:"},
      {"a script that translates nothing: no glyph drawn", untouched,
       pairs + both, true},
  };
  const std::string image = ReadFile(dir_ / "sample.sfc");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(dir_ / "en");
    std::filesystem::create_directory(dir_ / "en");
    WriteFile(dir_ / "en/english.tbl", "input");
    WriteFile(dir_ / "en/zol_00.txt", row.grid);
    std::remove((dir_ / "out.sfc").c_str());
    WriteFile(dir_ / "script.txt", row.script);
    const auto r = Run(kMsginsert + " " + row.args);
    EXPECT_EQ(r.status, row.written ? 0 : 1) << r.err;
    EXPECT_NE(r.err.find(row.err_names), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir_ / "en/zol_01.txt").empty(), !row.written);
    if (!row.written) {  // (the inputs as they were)
      EXPECT_EQ(ReadFile(dir_ / "en/english.tbl"), "input");
      EXPECT_EQ(ReadFile(dir_ / "en/zol_00.txt"), row.grid);
      EXPECT_FALSE(Exists(dir_ / "out.sfc"));
      continue;
    }
    if (row.args.find("-o out.sfc") == std::string::npos) continue;
    const std::string patched = ReadFile(dir_ / "out.sfc");
    ASSERT_EQ(patched.size(), image.size());
    // Each glyph changed is a code the table gives English.
    std::size_t english_codes = 0;
    const std::string table = ReadFile(dir_ / "en/english.tbl");
    for (std::size_t at = 0; at < table.size();) {
      std::size_t end = table.find('\n', at);
      if (end == std::string::npos) end = table.size();
      const std::size_t eq = table.find('=', at);
      if (eq + 1 < end && table[eq + 1] >= 0x20 && table[eq + 1] <= 0x7E &&
          table[eq + 1] != '<')
        ++english_codes;
      at = end + 1;
    }
    std::size_t changed = 0;
    for (std::size_t at = 0xC8000; at < 0xCC000 + 0x4000; at += 64)
      changed += patched.compare(at, 64, image, at, 64) != 0 ? 1 : 0;
    EXPECT_EQ(changed, english_codes);
    if (row.script != english) continue;
    ASSERT_EQ(testing_util::Run(dir_ / "en", kGlyphpack).status, 0);
    const auto dump =
        testing_util::Run(dir_ / "en", kMsgdump + " --utf8 ../out.sfc");
    EXPECT_TRUE(
        SameBytes(dump.out, Text(ReadFile(kSample + "/expected.pairs.txt"))));
  }
}

}  // namespace
