#include "msgconv.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "file_io.h"

namespace msgdump {

namespace {

using glyph_table::kEntries;
using glyph_table::kEntryBytes;
using glyph_table::kFileBytes;

// What one code prints.  The longest rendering is the 8-byte fixed text of
// code 0x06.
struct Rendering {
  unsigned char bytes[8];
  unsigned char len;
};

// Codes two bytes wide: the kanji prefix with its n, and 0x05 and 0x0B,
// which take the byte after them without looking at it.  Every other code
// is one byte.
inline bool TakesNextByte(unsigned c) {
  return c == glyph_table::kKanjiPrefix || c == 0x05 || c == 0x0B;
}

#if defined(__GNUC__)
#define ZOL_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define ZOL_UNLIKELY(x) (x)
#endif

// Renderings for every code the walk can meet, worked out once per walk so
// the hot loop is a lookup and a copy: index c for the one-byte codes 0x00 to
// 0xFE, index 256 + n for the kanji form 0xFF n.
struct Renderings {
  Rendering code[512];
};

Rendering Text(const char* s) {
  Rendering r{};
  r.len = static_cast<unsigned char>(std::strlen(s));
  std::memcpy(r.bytes, s, r.len);
  return r;
}

// A glyph entry prints as a NUL-terminated string: both bytes, the first
// alone if the second is 0, nothing if the first is 0.
Rendering Glyph(const unsigned char* e) {
  Rendering r{};
  r.len = e[0] == 0 ? 0 : e[1] == 0 ? 1 : 2;
  std::memcpy(r.bytes, e, r.len);
  return r;
}

Rendering Hex(unsigned c) {
  char s[8];
  std::snprintf(s, sizeof s, "[%.2X]", c);
  return Text(s);
}

// The fixed texts, as the Shift-JIS bytes the game's codes stand for.
constexpr char kNewline[] = "\n";
constexpr char kSamoruta[] = "\x82\xB3\x82\xE0\x82\xE9\x82\xBD";  // さもるた
constexpr char kRotan[] = "\x83\x8D\x83\x5E\x83\x93";             // ロタン
constexpr char kQuestions[] = "\x81\x48\x81\x48";                 // ？？
constexpr char kEof[] = "[EOF]";

void Build(const GlyphTable& table, Renderings& r) {
  // The control codes 0x00 to 0x0F.
  r.code[0x00] = Text(kNewline);
  r.code[0x01] = Text(kNewline);
  r.code[0x02] = Text(kNewline);
  r.code[0x03] = Hex(0x03);
  r.code[0x04] = Hex(0x04);
  r.code[0x05] = Text("");
  r.code[0x06] = Text(kSamoruta);
  r.code[0x07] = Text(kRotan);
  r.code[0x08] = Text("");
  r.code[0x09] = Text(kQuestions);
  r.code[0x0A] = Hex(0x0A);
  r.code[0x0B] = Text(kNewline);
  r.code[0x0C] = Text(kQuestions);
  r.code[0x0D] = Hex(0x0D);
  r.code[0x0E] = Hex(0x0E);
  r.code[0x0F] = Text("");
  for (unsigned c = 0x10; c < glyph_table::kKanjiPrefix; ++c)
    r.code[c] = Glyph(table.entry[glyph_table::SingleByteEntry(
        static_cast<unsigned char>(c))]);
  r.code[0xFF] = Text("");  // 0xFF with no byte after it (image's end)
  for (unsigned n = 0; n < 0xFF; ++n)
    r.code[256 + n] = Glyph(
        table.entry[glyph_table::KanjiEntry(static_cast<unsigned char>(n))]);
  r.code[256 + 0xFF] = Text("");  // 0xFF 0xFF prints nothing
}

}  // namespace

bool LoadTable(std::FILE* fpt, GlyphTable& table) {
  unsigned char raw[kFileBytes];
  std::size_t got = 0;
  if (!file_io::ReadUpTo(fpt, raw, sizeof raw, &got)) return false;
  TableFromBytes(raw, got, table);
  return true;
}

void TableFromBytes(const unsigned char* raw, std::size_t size,
                    GlyphTable& table) {
  std::memset(&table, 0, sizeof table);
  const std::size_t got = size < kFileBytes ? size : kFileBytes;
  for (std::size_t i = 0; i < got / kEntryBytes; ++i)
    std::memcpy(table.entry[i], raw + i * kEntryBytes, kEntryBytes);
  // A file of odd length ends in half an entry.  That byte is kept as a
  // one-byte entry rather than dropped: a hand-made table never loses data.
  if (got % kEntryBytes != 0) table.entry[got / kEntryBytes][0] = raw[got - 1];
  static_assert(kFileBytes / kEntryBytes == kEntries);
}

ImageSizeHints HintsForImageSize(std::uint64_t size) {
  constexpr std::uint64_t kBank = std::uint64_t{32} * 1024;
  constexpr std::uint64_t kCopierHeader = 512;
  ImageSizeHints hints;
  hints.copier_header = size > kBank && size % kBank == kCopierHeader;
  hints.before_window = size <= kWindowStart;
  return hints;
}

Span MemoryImage::Fetch(std::uint64_t p) {
  if (p >= size_) return {};
  return {data_ + p, static_cast<std::size_t>(size_ - p), false};
}

FileImage::FileImage(std::FILE* fp) : fp_(fp) {
  // Reads go straight into buf_; stdio's own buffer would only copy twice.
  std::setvbuf(fp_, nullptr, _IONBF, 0);
}

Span FileImage::Fetch(std::uint64_t p) {
  const std::uint64_t have_end = base_ + len_;
  if (p >= base_ && p < have_end && (have_end - p >= 2 || ends_here_))
    return {buf_ + (p - base_), static_cast<std::size_t>(have_end - p), false};
  if (ends_here_ && p >= have_end) return {};
  // Refill from p itself: the walk never depends on where a read left off.
  // (Where long is 32 bits, offsets past 2 GiB cannot be reached with fseek;
  // no cartridge image comes near that size.)
  if (p > static_cast<std::uint64_t>(LONG_MAX)) return {};
  errno = 0;
  if (std::fseek(fp_, static_cast<long>(p), SEEK_SET) != 0) {
    if (errno == 0) errno = EIO;
    len_ = 0;
    return {nullptr, 0, true};
  }
  std::size_t got = 0;
  if (!file_io::ReadUpTo(fp_, buf_, kChunk, &got)) {
    len_ = 0;
    return {nullptr, 0, true};
  }
  base_ = p;
  len_ = got;
  ends_here_ = got < kChunk;
  if (got == 0) return {};
  return {buf_, got, false};
}

bool FileSink::Write(const unsigned char* data, std::size_t size) {
  return file_io::WriteAll(f_, data, size);
}

namespace {

// The walk itself.  trace is told of every code decoded (its offset, its
// rendering's index and length); MsgConv's NoTrace compiles to nothing.
struct NoTrace {
  void operator()(std::uint64_t /*offset*/, unsigned /*index*/,
                  unsigned /*length*/) const {}
};

template <typename Trace>
WalkEnd Walk(const GlyphTable& table, ImageSource& fp, ScriptSink& out,
             std::uint32_t start, std::uint32_t end, Trace trace) {
  Renderings r;
  Build(table, r);

  // Output is gathered here and handed to the sink in large pieces.  Every
  // code prints at most 8 bytes, so there is always room for one more code
  // while fill <= kOut - 8.
  constexpr std::size_t kOut = std::size_t{32} * 1024;
  unsigned char buf[kOut];
  std::size_t fill = 0;
  auto flush = [&]() {
    const bool ok = fill == 0 || out.Write(buf, fill);
    fill = 0;
    return ok;
  };
  // Appends one code's rendering; false if a full buffer could not be
  // handed on.  All 8 bytes are copied and len of them kept: one fixed-size
  // copy is cheaper than a copy of varying length.
  auto emit = [&](const Rendering& g) {
    std::memcpy(buf + fill, g.bytes, sizeof g.bytes);
    fill += g.len;
    return fill <= kOut - 8 || flush();
  };

  // p is kept in 64 bits so that a window ending at the last 32-bit offset
  // cannot wrap around and start over.
  std::uint64_t p = start;
  const std::uint64_t last = end;
  while (p <= last) {
    const Span s = fp.Fetch(p);
    if (s.error) {
      const int err = errno;
      flush();
      errno = err;
      return WalkEnd::kReadError;
    }
    if (s.size == 0) {
      std::memcpy(buf + fill, kEof, sizeof kEof - 1);
      fill += sizeof kEof - 1;
      return flush() ? WalkEnd::kEndOfImage : WalkEnd::kWriteError;
    }
    if (s.size == 1) {
      // The image's very last byte.  A two-byte code here has no second
      // byte: 0xFF prints nothing, and every code still advances by its
      // width, so the next read (if p has not passed end) finds the end.
      trace(p, s.data[0], r.code[s.data[0]].len);
      if (!emit(r.code[s.data[0]])) return WalkEnd::kWriteError;
      p += TakesNextByte(s.data[0]) ? 2 : 1;
      continue;
    }
    // Both bytes of every code at q <= q_last lie inside the span.
    const unsigned char* q = s.data;
    const std::uint64_t room = s.size - 2;
    const unsigned char* const q_last = q + (last - p < room ? last - p : room);
    while (q <= q_last) {
      // The step to the next code is a branch, not a looked-up width: the
      // processor runs ahead on the usual one-byte path instead of waiting
      // for the code's load before it can find the next code.
      const unsigned c = q[0];
      const unsigned char* const at = q;
      unsigned index = c;
      if (ZOL_UNLIKELY(TakesNextByte(c))) {
        if (c == glyph_table::kKanjiPrefix) index = 256 + q[1];
        q += 2;
      } else {
        q += 1;
      }
      trace(p + static_cast<std::uint64_t>(at - s.data), index,
            r.code[index].len);
      if (!emit(r.code[index])) return WalkEnd::kWriteError;
    }
    p += static_cast<std::uint64_t>(q - s.data);
  }
  return flush() ? WalkEnd::kWindowDone : WalkEnd::kWriteError;
}

}  // namespace

WalkEnd MsgConv(const GlyphTable& table, ImageSource& fp, ScriptSink& out,
                std::uint32_t start, std::uint32_t end) {
  return Walk(table, fp, out, start, end, NoTrace());
}

WalkEnd MsgConvTraced(const GlyphTable& table, ImageSource& fp, ScriptSink& out,
                      std::uint32_t start, std::uint32_t end,
                      std::vector<CodeTrace>* codes) {
  return Walk(table, fp, out, start, end,
              [codes](std::uint64_t offset, unsigned index, unsigned length) {
                codes->push_back({static_cast<std::uint32_t>(offset),
                                  static_cast<std::uint16_t>(index),
                                  static_cast<std::uint16_t>(length)});
              });
}

}  // namespace msgdump
