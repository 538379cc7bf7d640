// libFuzzer target: msgdump's core with arbitrary table bytes, image bytes
// and window bounds.
//
// Input: [table length: 2 bytes][start: 4][end: 4][flags: 1][table][image].
// Unless flag bit 0 is set, the bounds are folded into the image's size so
// most runs walk real bytes; with it they are used as given (far past the
// data, start greater than end, up to the last 32-bit offset).
//
// What must always hold:
//   - the window read from a file holds what the image in memory holds;
//   - an image that holds the whole window (and the byte after it) is never
//     cut short by an end of image, and nothing is printed when start is
//     greater than end;
//   - no code prints more than 8 bytes of Shift-JIS, and the UTF-8 script
//     is well-formed UTF-8;
//   - the Atlas script, inserted with the Thingy table by the core's
//     inserter into the image with the walk's bytes scrambled, gives back
//     every byte the walk took, and over those bytes it breaks no line;
//     and with one block's line replaced (by the input's own tail, as
//     text), only that block's bytes change;
//   - a dump is written over that script when it is untouched (whatever
//     its line ends), never once it is edited.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "atlas.h"
#include "fuzz_check.h"
#include "insert.h"
#include "keep.h"
#include "script.h"
#include "table.h"
#include "utf8.h"
#include "walk.h"
#include "window.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) |
         static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[3]) << 24;
}

bool WellFormedUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (std::size_t i = 0; i < s.size();) {
    const char32_t u = utf8::Next(p, s.size(), &i);
    if (u == utf8::kBad || u == utf8::kCut || u > 0xFFFF) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 11) return 0;
  std::size_t table_len = static_cast<std::size_t>(data[0] | data[1] << 8);
  std::uint32_t start = Get32(data + 2);
  std::uint32_t end = Get32(data + 6);
  const bool raw_bounds = data[10] & 1;
  data += 11;
  size -= 11;
  if (table_len > size) table_len = size;
  const std::uint8_t* image = data + table_len;
  const std::size_t image_size = size - table_len;
  if (!raw_bounds) {
    start %= static_cast<std::uint32_t>(image_size + 4);
    end %= static_cast<std::uint32_t>(image_size + 4);
  }

  decoder::GlyphTable table;
  decoder::TableFromBytes(data, table_len, table);
  const decoder::Window w = decoder::WindowOf(image, image_size, start, end);

  {
    // A memory-backed file with real file semantics (a seek past the end
    // succeeds and the read then finds the end), unlike fmemopen.
    const int fd = memfd_create("image", 0);
    Check(fd >= 0, "memfd opens");
    Check(image_size == 0 ||
              write(fd, image, image_size) == static_cast<ssize_t>(image_size),
          "image written");
    std::FILE* fp = fdopen(fd, "rb");
    Check(fp != nullptr, "image stream opens");
    decoder::Window read;
    Check(decoder::ReadWindow(fp, image_size, start, end, &read) &&
              read.bytes == w.bytes,
          "window from a file = window from memory");
    std::fclose(fp);
  }

  static decoder::Renderings r;
  decoder::Render(table, decoder::Encoding::kShiftJis, &r);
  const decoder::Script sjis = decoder::RenderScript(r, w);
  if (start > end) Check(sjis.size == 0, "empty window prints nothing");
  if (start <= end && static_cast<std::uint64_t>(end) < image_size)
    Check(sjis.end == decoder::WalkEnd::kWindowDone,
          "whole window never hits [EOF]");
  Check(sjis.size <= 8 * w.bytes.size() + 5, "at most 8 bytes per code");
  decoder::Render(table, decoder::Encoding::kUtf8, &r);
  const decoder::Script utf8 = decoder::RenderScript(r, w);
  Check(utf8.end == sjis.end && WellFormedUtf8(utf8.text()),
        "UTF-8 script is well-formed");

  const translate::ThingyTable thingy = translate::MakeThingy(table);
  const std::string script = translate::AtlasScript(thingy, w);
  const std::string thingy_text = translate::ThingyText(thingy);
  std::uint64_t taken = 0;
  decoder::MsgConv(w, [&](const decoder::Code& c) {
    taken = c.offset - std::uint64_t{start} + c.size;
  });
  const std::vector<unsigned char> original(image, image + image_size);
  std::vector<unsigned char> scrambled = original;
  for (std::uint64_t i = 0; i < taken; ++i) scrambled[start + i] ^= 0xA5;
  translate::Insertion report;
  // As Atlas: these windows are not the game's, which is only said.
  const bool inserted = translate::InsertScript(script, thingy_text, {-1, true},
                                                &scrambled, &report);
  Check(taken == 0 || (inserted && scrambled == original),
        "Atlas script inserts back the bytes the walk took");
  std::string saved = "\xEF\xBB\xBF";  // as an editor may save it
  for (const char c : script) saved += c == '\n' ? "\r\n" : std::string{c};
  Check(translate::LostLine(saved, script) == 0,
        "an untouched script, with CR LF and a byte order mark, is no one's");
  std::vector<unsigned char> same = original;
  translate::InsertScript(script, thingy_text, {-1, true}, &same, &report);
  for (const translate::Insertion::Problem& p : report.problems)
    Check(taken == 0 || p.kind == translate::Insertion::Kind::kOutsideWindow,
          "an untouched script over its own bytes breaks no line");

  // One block's copy replaced: only its bytes may change.
  const std::size_t jmp = script.find("\n#JMP($", script.size() / 2);
  if (jmp == std::string::npos) return 0;
  const std::size_t line = script.find('\n', jmp + 1) + 1;
  const std::size_t line_end = script.find('\n', line);
  unsigned long long first = 0, last = 0;
  if (std::sscanf(script.c_str() + jmp + 1, "#JMP($%llX, $%llX)", &first,
                  &last) != 2)
    return 0;
  std::string edited = script;
  std::string text;
  for (std::size_t i = 0; i < table_len && i < 12; ++i)
    text += "<$" +
            std::string{"0123456789ABCDEF"[data[i] >> 4],
                        "0123456789ABCDEF"[data[i] & 15]} +
            ">";
  edited.replace(line, line_end - line, text);
  Check(edited == script || translate::LostLine(edited, script) != 0,
        "an edited script is the translator's");
  std::vector<unsigned char> patched = original;
  Check(translate::InsertScript(edited, thingy_text, {0x20, true}, &patched,
                                &report),
        "an edited block inserts");
  Check(patched.size() == original.size(), "the image keeps its size");
  for (std::size_t i = 0; i < original.size(); ++i)
    Check(patched[i] == original[i] || (i >= first && i <= last),
          "an edited block changes its own bytes alone");
  return 0;
}
