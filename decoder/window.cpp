// The text window read from an image, in a file or in memory.
#include "window.h"

#include <cerrno>

#include "file_io.h"

namespace decoder {

namespace {

// How many bytes of the window start..end an image of size bytes holds,
// counting the byte after end.
std::size_t HeldBytes(std::uint64_t size, std::uint32_t start,
                      std::uint32_t end) {
  if (start > end || size <= start) return 0;
  const std::uint64_t want = std::uint64_t{end} - start + 2;
  return static_cast<std::size_t>(size - start < want ? size - start : want);
}

}  // namespace

bool ReadWindow(std::FILE* fp, std::uint64_t size, std::uint32_t start,
                std::uint32_t end, Window* window) {
  window->start = start;
  window->end = end;
  window->bytes.resize(HeldBytes(size, start, end));
  if (window->bytes.empty()) return true;
  // Reads go straight into the window; stdio's own buffer would only copy.
  std::setvbuf(fp, nullptr, _IONBF, 0);
  // (Where long is 32 bits, offsets past 2 GiB cannot be reached with
  // fseek; no cartridge image comes near that size.)
  errno = 0;
  const auto at = static_cast<long>(start);
  if (at < 0 || std::fseek(fp, at, SEEK_SET) != 0) {
    if (errno == 0) errno = EINVAL;
    return false;
  }
  std::size_t got = 0;
  if (!file_io::ReadUpTo(fp, window->bytes.data(), window->bytes.size(), &got))
    return false;
  window->bytes.resize(got);  // the file shrank since its size was taken
  return true;
}

Window WindowOf(const unsigned char* image, std::size_t size,
                std::uint32_t start, std::uint32_t end) {
  Window w;
  w.start = start;
  w.end = end;
  const std::size_t n = HeldBytes(size, start, end);
  w.bytes.assign(image + (n > 0 ? start : 0), image + (n > 0 ? start : 0) + n);
  return w;
}

}  // namespace decoder
