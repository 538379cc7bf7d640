// libFuzzer target: the decoder with arbitrary table bytes, image bytes and
// window bounds.
//
// Input: [table length: 2 bytes][start: 4][end: 4][flags: 1][table][image].
// Unless flag bit 0 is set, the bounds are folded into the image's size so
// most runs walk real bytes; with it they are used as given (far past the
// data, start greater than end, up to the last 32-bit offset).
//
// What must always hold:
//   - decoding the same bytes again gives the same script and the same end;
//   - the file-backed image gives what the in-memory image gives;
//   - an image that holds the whole window (and the byte after it) is never
//     cut short by an end of image;
//   - nothing is printed when start is greater than end;
//   - no code prints more than 8 bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "fuzz_check.h"
#include "msgconv.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) |
         static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[3]) << 24;
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

  msgdump::GlyphTable table{};
  if (table_len > 0) {
    std::FILE* fpt = fmemopen(const_cast<std::uint8_t*>(data), table_len, "rb");
    Check(fpt != nullptr, "table stream opens");
    Check(msgdump::LoadTable(fpt, table), "table loads");
    std::fclose(fpt);
  }

  msgdump::MemoryImage memory(image, image_size);
  msgdump::StringSink first, second;
  const msgdump::WalkEnd e1 =
      msgdump::MsgConv(table, memory, first, start, end);
  const msgdump::WalkEnd e2 =
      msgdump::MsgConv(table, memory, second, start, end);
  Check(e1 == e2 && first.text == second.text, "decoding is repeatable");
  Check(
      e1 != msgdump::WalkEnd::kReadError && e1 != msgdump::WalkEnd::kWriteError,
      "memory images never fail");
  if (start > end) Check(first.text.empty(), "empty window prints nothing");
  if (start <= end && static_cast<std::uint64_t>(end) < image_size)
    Check(e1 == msgdump::WalkEnd::kWindowDone, "whole window never hits [EOF]");
  if (start <= end)
    Check(first.text.size() <=
              8 * (static_cast<std::uint64_t>(end) - start + 1) + 5,
          "at most 8 bytes per code");

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
    {
      msgdump::FileImage file(fp);
      msgdump::StringSink third;
      const msgdump::WalkEnd e3 =
          msgdump::MsgConv(table, file, third, start, end);
      Check(e3 == e1 && third.text == first.text, "file image = memory image");
    }
    std::fclose(fp);
  }
  return 0;
}
