// The message converter's core: the in-memory glyph table and MsgConv, the
// walk that turns the game's text codes into Shift-JIS script.
//
// main (msgdump/main.cpp) wires these to zol.tbl, the ROM image and standard
// output; tests and the benchmark drive them with bytes in memory.
#ifndef ZOL_MSGDUMP_MSGCONV_H
#define ZOL_MSGDUMP_MSGCONV_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "glyph_table.h"

namespace msgdump {

// What msgdump prints on standard output before the script: the banner
// (with the version), the credit line, the table's name, an empty line.
inline constexpr char kVersion[] = "1.0";
inline constexpr char kBannerFormat[] =
    "-- SFC Zolvane Message Converter V%s --\n";
inline constexpr char kCredit[] =
    "Written by the Zolvane fan translation tools' authors\n";
inline constexpr char kLoadingFormat[] = "Loading Table File: %s\n";

// The game's script lies at these offsets of the ROM image, inclusive at both
// ends.  They are plain file offsets: no copier header is detected or skipped.
inline constexpr std::uint32_t kWindowStart = 0x2EF800;
inline constexpr std::uint32_t kWindowEnd = 0x2FFEB8;

// The glyph table as the converter holds it: all 512 entries in one array
// (the kanji lookup for 0xFF 0x00 reaches back across the page boundary),
// each entry its two bytes plus a NUL, so an entry prints as a C string of at
// most two bytes.  An entry that loading does not reach stays empty.
struct GlyphTable {
  unsigned char entry[glyph_table::kEntries][glyph_table::kEntryBytes + 1];
};

// Fills table from the stream fpt (the contents of zol.tbl): the first 1024
// bytes, entry after entry; a short file leaves the rest empty, a longer one
// is read no further.  False, with errno set, if reading fails (a stream
// that opened but cannot be read is no table).
bool LoadTable(std::FILE* fpt, GlyphTable& table);

// The same from the bytes of a table file already in memory.
void TableFromBytes(const unsigned char* raw, std::size_t size,
                    GlyphTable& table);

// Where MsgConv reads the image from.  The walk asks for the bytes at an
// absolute offset; a source hands back a run of bytes that starts there.
struct Span {
  const unsigned char* data = nullptr;
  std::size_t size = 0;  // at least 2 unless the image ends sooner; 0 past it
  bool error = false;    // a read error: errno tells which
};

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // The bytes of the image from offset p on.
  virtual Span Fetch(std::uint64_t p) = 0;
};

// An image held in memory (tests, benchmarks, fuzzing).
class MemoryImage final : public ImageSource {
 public:
  MemoryImage(const unsigned char* data, std::size_t size)
      : data_(data), size_(size) {}
  Span Fetch(std::uint64_t p) override;

 private:
  const unsigned char* data_;
  std::size_t size_;
};

// An image read from a seekable stream through a buffer: every request is
// served from the bytes at its own absolute offset, but a whole chunk is
// read per seek instead of two bytes per code.
class FileImage final : public ImageSource {
 public:
  explicit FileImage(std::FILE* fp);
  Span Fetch(std::uint64_t p) override;

 private:
  static constexpr std::size_t kChunk = std::size_t{64} * 1024;
  std::FILE* fp_;
  std::uint64_t base_ = 0;  // image offset of buf_[0]
  std::size_t len_ = 0;     // valid bytes in buf_
  bool ends_here_ = false;  // the image ends at base_ + len_
  unsigned char buf_[kChunk];
};

// Where MsgConv writes the script.
class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  // False, with errno set, if the bytes could not be written.
  virtual bool Write(const unsigned char* data, std::size_t size) = 0;
};

class FileSink final : public ScriptSink {
 public:
  explicit FileSink(std::FILE* f) : f_(f) {}
  bool Write(const unsigned char* data, std::size_t size) override;

 private:
  std::FILE* f_;
};

class StringSink final : public ScriptSink {
 public:
  bool Write(const unsigned char* data, std::size_t size) override {
    text.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::string text;
};

// What the size of an image says about it.  A headerless SFC image is a
// whole number of 32 KiB banks; copier devices put a 512-byte header in
// front, which moves every offset, the text window's too, 512 bytes on.
struct ImageSizeHints {
  bool copier_header = false;  // 512 bytes past a multiple of 32 KiB
  bool before_window = false;  // ends before the text window starts
};
ImageSizeHints HintsForImageSize(std::uint64_t size);

enum class WalkEnd {
  kWindowDone,  // every code up to end was decoded
  kEndOfImage,  // the image ended inside the window; "[EOF]" was written
  kReadError,   // the image could not be read (errno); nothing more written
  kWriteError,  // the sink refused the script (errno)
};

// Decodes the codes at offsets start..end (inclusive) of the image fp into
// out.  Each code is read from its own offset; a two-byte code whose first
// byte is end still takes the byte after it.  Nothing is printed when start
// is greater than end.
WalkEnd MsgConv(const GlyphTable& table, ImageSource& fp, ScriptSink& out,
                std::uint32_t start, std::uint32_t end);

// One decoded code, for tools that show where each character came from.
struct CodeTrace {
  std::uint32_t offset;  // the code's offset in the image
  std::uint16_t index;   // c for a one-byte code, 256 + n for 0xFF n
  std::uint16_t length;  // bytes of script it printed
};

// MsgConv, also recording every code it decodes in *codes (the same walk:
// the script is byte for byte MsgConv's).
WalkEnd MsgConvTraced(const GlyphTable& table, ImageSource& fp, ScriptSink& out,
                      std::uint32_t start, std::uint32_t end,
                      std::vector<CodeTrace>* codes);

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_MSGCONV_H
