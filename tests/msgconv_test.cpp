// The decoder over bytes in memory: every row of the code table, both
// lookups, the window's edges, the end of the image, and table loading.
#include "msgconv.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

using msgdump::GlyphTable;
using msgdump::MemoryImage;
using msgdump::MsgConv;
using msgdump::StringSink;
using msgdump::WalkEnd;

// A table whose every entry is two distinct bytes, so any mix-up of entries
// shows in the output.
std::string E(unsigned i) {
  return {static_cast<char>(0x88 + (i >> 6)),
          static_cast<char>(0x40 + (i & 63))};
}

const GlyphTable& Table() {
  static GlyphTable t = [] {
    GlyphTable g{};
    for (unsigned i = 0; i < glyph_table::kEntries; ++i) {
      const std::string e = E(i);
      g.entry[i][0] = static_cast<unsigned char>(e[0]);
      g.entry[i][1] = static_cast<unsigned char>(e[1]);
    }
    return g;
  }();
  return t;
}

struct Decoded {
  std::string text;
  WalkEnd end;
};

Decoded Decode(const std::string& bytes, std::uint32_t start, std::uint32_t end,
               const GlyphTable& table = Table()) {
  MemoryImage image(reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size());
  StringSink out;
  const WalkEnd e = MsgConv(table, image, out, start, end);
  return {out.text, e};
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

const std::string kSamoruta = "\x82\xB3\x82\xE0\x82\xE9\x82\xBD";
const std::string kRotan = "\x83\x8D\x83\x5E\x83\x93";
const std::string kQq = "\x81\x48\x81\x48";

struct CodeCase {
  std::string code;      // the code's bytes
  std::string expected;  // what it prints
};

// Each code is followed by the glyph code 0x20 and the whole is decoded, so
// a wrong width shows up as a missing or extra glyph after it.
TEST(MsgConvTest, EveryCodeRendersAndAdvancesByItsWidth) {
  const std::vector<CodeCase> cases = {
      {Bytes({0x00}), "\n"},         {Bytes({0x01}), "\n"},
      {Bytes({0x02}), "\n"},         {Bytes({0x03}), "[03]"},
      {Bytes({0x04}), "[04]"},       {Bytes({0x05, 0x41}), ""},
      {Bytes({0x05, 0xFF}), ""},  // the skipped byte is not looked at
      {Bytes({0x06}), kSamoruta},    {Bytes({0x07}), kRotan},
      {Bytes({0x08}), ""},           {Bytes({0x09}), kQq},
      {Bytes({0x0A}), "[0A]"},       {Bytes({0x0B, 0x41}), "\n"},
      {Bytes({0x0B, 0x05}), "\n"},   {Bytes({0x0C}), kQq},
      {Bytes({0x0D}), "[0D]"},       {Bytes({0x0E}), "[0E]"},
      {Bytes({0x0F}), ""},           {Bytes({0x10}), E(0x10)},
      {Bytes({0x7F}), E(0x7F)},      {Bytes({0xFE}), E(0xFE)},
      {Bytes({0xFF, 0x00}), E(255)},  // reaches back to the one-byte page
      {Bytes({0xFF, 0x01}), E(256)}, {Bytes({0xFF, 0x10}), E(271)},
      {Bytes({0xFF, 0xFE}), E(509)}, {Bytes({0xFF, 0xFF}), ""},
  };
  for (const CodeCase& c : cases) {
    const std::string bytes = c.code + Bytes({0x20});
    const Decoded d =
        Decode(bytes, 0, static_cast<std::uint32_t>(bytes.size() - 1));
    EXPECT_EQ(d.text, c.expected + E(0x20))
        << "code " << testing::PrintToString(c.code);
    EXPECT_EQ(d.end, WalkEnd::kWindowDone);
  }
}

TEST(MsgConvTest, MixedRunDecodesFiveCodes) {
  const Decoded d =
      Decode(Bytes({0x10, 0x0A, 0xFF, 0x01, 0x05, 0x3C, 0x00}), 0, 6);
  EXPECT_EQ(d.text, E(16) + "[0A]" + E(256) + "\n");
  EXPECT_EQ(d.end, WalkEnd::kWindowDone);

  // The traced walk prints the same and names each code: its offset, its
  // rendering (c, or 256 + n for 0xFF n) and how much it printed.
  const std::string bytes = Bytes({0x10, 0x0A, 0xFF, 0x01, 0x05, 0x3C, 0x00});
  MemoryImage image(reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size());
  StringSink out;
  std::vector<msgdump::CodeTrace> codes;
  EXPECT_EQ(msgdump::MsgConvTraced(Table(), image, out, 0, 6, &codes),
            WalkEnd::kWindowDone);
  EXPECT_EQ(out.text, d.text);
  std::string trace;
  for (const auto& c : codes)
    trace += std::to_string(c.offset) + ":" + std::to_string(c.index) + ":" +
             std::to_string(c.length) + " ";
  EXPECT_EQ(trace, "0:16:2 1:10:4 2:257:2 4:5:0 6:0:1 ");
}

struct WindowCase {
  const char* name;
  std::string image;
  std::uint32_t start, end;
  std::string expected;
  WalkEnd walk_end;
};

TEST(MsgConvTest, WindowEdgesAndEndOfImage) {
  const std::string pad(8, '\x20');
  const std::vector<WindowCase> cases = {
      {"last byte starts a kanji pair", Bytes({0x10, 0xFF, 0x02, 0x11}), 0, 1,
       E(16) + E(257), WalkEnd::kWindowDone},
      {"last byte starts a skip code", Bytes({0x10, 0x0B, 0x12, 0x11}), 0, 1,
       E(16) + "\n", WalkEnd::kWindowDone},
      {"start equal to end", Bytes({0x10, 0x11}), 1, 1, E(17),
       WalkEnd::kWindowDone},
      {"start greater than end", Bytes({0x10, 0x11}), 1, 0, "",
       WalkEnd::kWindowDone},
      {"image ends inside the window", Bytes({0x10, 0x11}), 0, 5,
       E(16) + E(17) + "[EOF]", WalkEnd::kEndOfImage},
      {"image ends at the window's last byte", Bytes({0x10, 0x11}), 0, 1,
       E(16) + E(17), WalkEnd::kWindowDone},
      {"image ends one byte after the window", Bytes({0x10, 0x11, 0x12}), 0, 1,
       E(16) + E(17), WalkEnd::kWindowDone},
      {"window starts past the image", Bytes({0x10, 0x11}), 2, 9, "[EOF]",
       WalkEnd::kEndOfImage},
      {"empty image", "", 0, 0, "[EOF]", WalkEnd::kEndOfImage},
      {"0xFF is the image's last byte, window goes on",
       Bytes({0x20, 0x10, 0xFF}), 0, 9, E(0x20) + E(0x10) + "[EOF]",
       WalkEnd::kEndOfImage},
      {"0xFF is the image's and the window's last byte",
       Bytes({0x20, 0x10, 0xFF}), 1, 2, E(0x10), WalkEnd::kWindowDone},
      {"0x05 is the image's last byte", Bytes({0x10, 0x05}), 0, 3,
       E(0x10) + "[EOF]", WalkEnd::kEndOfImage},
      {"0x0B is the image's last byte", Bytes({0x10, 0x0B}), 0, 3,
       E(0x10) + "\n[EOF]", WalkEnd::kEndOfImage},
      {"0x05 is the last byte, window ends after its width",
       Bytes({0x10, 0x05}), 0, 1, E(0x10), WalkEnd::kWindowDone},
      {"window begins on a kanji pair's second byte", Bytes({0xFF, 0x41, 0x20}),
       1, 2, E(0x41) + E(0x20), WalkEnd::kWindowDone},
      {"window begins on the byte a 0x05 skips", Bytes({0x05, 0x0A, 0x20}), 1,
       2, "[0A]" + E(0x20), WalkEnd::kWindowDone},
      {"window ends at the last 32-bit offset", pad, 6, 0xFFFFFFFFu,
       E(0x20) + E(0x20) + "[EOF]", WalkEnd::kEndOfImage},
  };
  for (const WindowCase& c : cases) {
    const Decoded d = Decode(c.image, c.start, c.end);
    EXPECT_EQ(d.text, c.expected) << c.name;
    EXPECT_EQ(d.end, c.walk_end) << c.name;
  }
}

// Table loading, from files of every interesting length.
struct LoadCase {
  const char* name;
  std::size_t size;
  // entry index -> expected printed bytes
  std::vector<std::pair<unsigned, std::string>> expect;
};

TEST(LoadTableTest, FilesOfEveryLength) {
  // File byte i is (i % 200) + 0x21: nonzero, so lengths are what matter.
  auto byte = [](std::size_t i) { return static_cast<char>(0x21 + i % 200); };
  auto entry = [&](unsigned i) {
    return std::string{byte(2 * i), byte(2 * i + 1)};
  };
  const std::vector<LoadCase> cases = {
      {"empty", 0, {{0x10, ""}, {255, ""}, {256, ""}}},
      {"one byte", 1, {{0, std::string{byte(0)}}, {1, ""}}},
      {"odd length keeps its last byte",
       5,
       {{1, entry(1)}, {2, std::string{byte(4)}}, {3, ""}}},
      {"one-byte page only",
       512,
       {{0x10, entry(0x10)}, {255, entry(255)}, {256, ""}}},
      {"full",
       1024,
       {{0x10, entry(0x10)}, {256, entry(256)}, {509, entry(509)}}},
      {"over-long", 2000, {{256, entry(256)}, {511, entry(511)}}},
  };
  testing_util::TempDir dir;
  for (const LoadCase& c : cases) {
    std::string bytes;
    for (std::size_t i = 0; i < c.size; ++i) bytes += byte(i);
    testing_util::WriteFile(dir / "t", bytes);
    std::FILE* f = std::fopen((dir / "t").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    GlyphTable table;
    std::memset(&table, 0x55, sizeof table);  // loading must clear leftovers
    EXPECT_TRUE(msgdump::LoadTable(f, table)) << c.name;
    std::fclose(f);
    for (const auto& [index, printed] : c.expect) {
      EXPECT_EQ(reinterpret_cast<const char*>(table.entry[index]), printed)
          << c.name << " entry " << index;
    }
  }
}

// Entries print as C strings: a zero first byte hides the second; a zero
// second byte leaves the first alone.  A table only 512 bytes long still
// serves 0xFF 0x00 from entry 255.
TEST(MsgConvTest, EntriesPrintAsShortStrings) {
  GlyphTable t{};
  t.entry[0x10][1] = 'x';  // first byte 0: nothing
  t.entry[0x11][0] = 'y';  // second byte 0: one byte
  t.entry[255][0] = 'a';
  t.entry[255][1] = 'b';
  const Decoded d =
      Decode(Bytes({0x10, 0x11, 0xFF, 0x00, 0xFF, 0x01, 0x12}), 0, 6, t);
  EXPECT_EQ(d.text, "yab");
}

// The file-backed image must give what the same bytes give in memory,
// whatever chunk boundaries fall inside the window and wherever it ends.
TEST(FileImageTest, MatchesMemoryAcrossChunkBoundaries) {
  std::mt19937 rng(7);
  std::string bytes(200 * 1024 + 3, '\0');
  for (char& b : bytes) {
    const unsigned r = rng() % 100;
    b = static_cast<char>(r < 60   ? 0x10 + rng() % 0xEF
                          : r < 75 ? 0xFF
                                   : rng() % 16);
  }
  testing_util::TempDir dir;
  testing_util::WriteFile(dir / "img", bytes);
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> windows = {
      {0, static_cast<std::uint32_t>(bytes.size() - 1)},
      {65535, 131073},
      {1000, 0x7FFFFFFF},
      {static_cast<std::uint32_t>(bytes.size() - 1),
       static_cast<std::uint32_t>(bytes.size() + 5)},
  };
  for (const auto& [start, end] : windows) {
    std::FILE* f = std::fopen((dir / "img").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    auto image = std::make_unique<msgdump::FileImage>(f);
    StringSink out;
    const WalkEnd e = MsgConv(Table(), *image, out, start, end);
    std::fclose(f);
    const Decoded want = Decode(bytes, start, end);
    EXPECT_EQ(out.text, want.text) << start << ".." << end;
    EXPECT_EQ(e, want.end) << start << ".." << end;
  }
}

// A directory and a pipe open as streams that cannot be read (or seeked)
// only on POSIX systems; Windows refuses to open them at all.
#ifndef _WIN32
TEST(LoadTableTest, DirectoryIsNoTable) {
  testing_util::TempDir dir;
  std::FILE* f = std::fopen(dir.path().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  GlyphTable table;
  EXPECT_FALSE(msgdump::LoadTable(f, table));
  EXPECT_EQ(errno, EISDIR);
  std::fclose(f);
}

TEST(FileImageTest, UnreadableImagesAreReadErrors) {
  testing_util::TempDir dir;
  std::FILE* d = std::fopen(dir.path().c_str(), "rb");
  ASSERT_NE(d, nullptr);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "\x10\x11", 2), 2);
  close(fds[1]);
  std::FILE* p = fdopen(fds[0], "rb");
  ASSERT_NE(p, nullptr);
  for (std::FILE* f : {d, p}) {
    auto image = std::make_unique<msgdump::FileImage>(f);
    StringSink out;
    EXPECT_EQ(MsgConv(Table(), *image, out, 0, 1), WalkEnd::kReadError);
    EXPECT_EQ(out.text, "");
    std::fclose(f);
  }
}

#endif  // _WIN32

// An image with glyph 0x10 at every offset, even the last 32-bit one: a
// window ending there must stop, not wrap around to offset 0.
class EndlessImage : public msgdump::ImageSource {
 public:
  msgdump::Span Fetch(std::uint64_t) override { return {bytes_, 2, false}; }

 private:
  const unsigned char bytes_[2] = {0x10, 0x10};
};

TEST(MsgConvTest, WindowAtTheTopOfTheOffsetRangeEnds) {
  EndlessImage image;
  StringSink out;
  EXPECT_EQ(MsgConv(Table(), image, out, 0xFFFFFFFDu, 0xFFFFFFFFu),
            WalkEnd::kWindowDone);
  EXPECT_EQ(out.text, E(0x10) + E(0x10) + E(0x10));
}

class FailingSink : public msgdump::ScriptSink {
 public:
  bool Write(const unsigned char*, std::size_t) override {
    errno = ENOSPC;
    return false;
  }
};

TEST(MsgConvTest, RefusedOutputStopsTheWalk) {
  for (std::size_t size : {std::size_t{1}, std::size_t{100000}}) {
    const std::string bytes(size, '\x06');
    MemoryImage image(reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size());
    FailingSink out;
    EXPECT_EQ(
        MsgConv(Table(), image, out, 0, static_cast<std::uint32_t>(size + 4)),
        WalkEnd::kWriteError);
    EXPECT_EQ(errno, ENOSPC);
  }
}

}  // namespace
