// libFuzzer target: the inserter with arbitrary script and table text, as
// a translator could hand it, into an image that holds the whole window.
//
// Input: [flags: 1 byte][fill: 1][table length: 2][table][script].  Flag
// bit 0 puts the fill byte in force from the start; bit 1 ends the image
// inside the text window instead of after it; bit 2 puts a table of every
// byte up to 0x7E (tokens, then ASCII) before the input's; bit 3 puts the lines
// that make it the active table before the script.
//
// What must always hold (ASan checks that nothing is read or written
// outside the image):
//   - the image keeps its size, and a refused insertion leaves it as it
//     was;
//   - an insertion changes bytes only inside the blocks it reports;
//   - one that goes in by default keeps every block inside its bounds and
//     the text window, cuts nothing and leaves nothing of the original
//     behind; as Atlas, the same script then gives the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "insert.h"
#include "window.h"

namespace {

// An image whose window holds codes of every kind, breaks among them.
std::vector<unsigned char> Pristine(std::size_t size) {
  std::vector<unsigned char> image(size);
  std::uint32_t x = 12345;
  for (std::size_t i = decoder::kWindowStart; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    const unsigned v = x >> 16 & 0xFF;
    image[i] = static_cast<unsigned char>(v < 0x30 ? v & 0x0F : v);
  }
  return image;
}

// The spans [first, last + 1) the report's blocks may write, sorted.
std::vector<std::pair<std::uint64_t, std::uint64_t>> Spans(
    const translate::Insertion& report, std::size_t image_size) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
  for (const translate::Insertion::Block& b : report.blocks)
    spans.emplace_back(b.start, b.bound < 0
                                    ? image_size
                                    : static_cast<std::uint64_t>(b.bound) + 1);
  std::sort(spans.begin(), spans.end());
  return spans;
}

// Whether the bytes outside the spans are pristine's; then puts pristine's
// back inside them, for the next run.
bool OnlySpansChanged(
    std::vector<unsigned char>* image,
    const std::vector<unsigned char>& pristine,
    const std::vector<std::pair<std::uint64_t, std::uint64_t>>& spans) {
  const std::uint64_t size = image->size();
  std::uint64_t at = 0;
  bool same = true;
  for (const auto& [from, to] : spans) {
    if (from > at)
      same = same && std::memcmp(image->data() + at, pristine.data() + at,
                                 from - at) == 0;
    at = std::max(at, std::min<std::uint64_t>(to, size));
    if (from < at)
      std::memcpy(image->data() + from, pristine.data() + from, at - from);
  }
  return same &&
         (at >= size || std::memcmp(image->data() + at, pristine.data() + at,
                                    size - at) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 4) return 0;
  const unsigned flags = data[0];
  const int fill = (flags & 1) != 0 ? data[1] : -1;
  const bool short_image = (flags & 2) != 0;
  std::size_t table_len = static_cast<std::size_t>(data[2] | data[3] << 8);
  data += 4;
  size -= 4;
  table_len = std::min(table_len, size);
  static const std::string every_byte = [] {
    std::string t;
    char line[16];
    for (unsigned v = 0; v < 0x7F; ++v) {
      if (v < 0x10)
        std::snprintf(line, sizeof line, "%02X=<%02X>\n", v, v);
      else if (v >= 0x20)
        std::snprintf(line, sizeof line, "%02X=%c\n", v, static_cast<int>(v));
      t += v < 0x10 || v >= 0x20 ? line : "";
    }
    return t;
  }();
  const std::string table =
      ((flags & 4) != 0 ? every_byte : "") +
      std::string(reinterpret_cast<const char*>(data), table_len);
  const std::string script =
      ((flags & 8) != 0 ? "#VAR(S, TABLE)\n#ADDTBL(\"t\", S)\n#ACTIVETBL(S)\n"
                        : "") +
      std::string(reinterpret_cast<const char*>(data) + table_len,
                  size - table_len);

  static const std::vector<unsigned char> whole =
      Pristine(decoder::kWindowEnd + 1);
  static const std::vector<unsigned char> cut =
      Pristine(decoder::kWindowStart + 0x400);
  const std::vector<unsigned char>& pristine = short_image ? cut : whole;
  // Kept pristine between runs (copying 3 MiB each time is slow).
  static std::vector<unsigned char> whole_image = whole, cut_image = cut,
                                    whole_atlas = whole, cut_atlas = cut;
  std::vector<unsigned char>& image = short_image ? cut_image : whole_image;
  std::vector<unsigned char>& atlas = short_image ? cut_atlas : whole_atlas;

  translate::Insertion report;
  const bool ok =
      translate::InsertScript(script, table, {fill, false}, &image, &report);
  Check(image.size() == pristine.size(), "the image keeps its size");
  const auto spans = Spans(report, image.size());
  // (Checked before the bytes are put back.)
  bool in_bounds = true;
  for (const translate::Insertion::Block& b : report.blocks) {
    in_bounds = in_bounds && b.start >= decoder::kWindowStart;
    if (b.bound >= 0)
      in_bounds = in_bounds && b.bound <= decoder::kWindowEnd &&
                  b.written == b.text && b.left == 0;
  }
  bool same_as_atlas = true;
  if (ok) {
    translate::Insertion as_atlas;
    same_as_atlas = translate::InsertScript(script, table, {fill, true}, &atlas,
                                            &as_atlas) &&
                    atlas == image;
    Check(OnlySpansChanged(&atlas, pristine, Spans(as_atlas, atlas.size())),
          "as Atlas, only the blocks' bytes change");
  }
  Check(ok ? OnlySpansChanged(&image, pristine, spans)
           : OnlySpansChanged(&image, pristine, {}),
        ok ? "only the blocks' bytes change"
           : "a refused insertion writes nothing");
  if (!ok) return 0;
  Check(report.problems.empty(), "by default, a problem stops the insertion");
  Check(in_bounds,
        "by default, a block stays in the window, neither cut nor leaving "
        "the original");
  Check(same_as_atlas, "as Atlas, what goes in by default goes in the same");
  return 0;
}
