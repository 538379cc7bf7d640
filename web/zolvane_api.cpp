// The C API the browser page calls: the same cores as msgdump and
// glyphpack, over bytes the page hands in.  One page, one state: the glyph
// table in use and the last decoded window with its renderings.  Buffers
// returned stay valid until the next call that makes a new one.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "atlas.h"
#include "cp932.h"
#include "glyph_table.h"
#include "message.h"
#include "packer.h"
#include "script.h"
#include "table.h"
#include "window.h"

namespace {

// One code of the last walk, as the page reads it: 8 bytes.
struct TracedCode {
  std::uint32_t offset;  // in the image
  std::uint16_t index;   // c, or 256 + n for 0xFF n
  std::uint8_t size;     // bytes it took
  std::uint8_t chars;    // UTF-16 units it shows as in the UTF-8 script
};
static_assert(sizeof(TracedCode) == 8);

msgdump::GlyphTable table;
unsigned char packed[glyph_table::kFileBytes];
msgdump::Window window;
std::string dump;       // what msgdump writes on standard output
std::size_t script_at;  // where the script starts in dump
std::string utf8;       // what msgdump --utf8 writes
std::vector<TracedCode> trace;
unsigned char not_cp932[512];
std::string text;  // the last JSON report, Atlas script or Thingy table

// UTF-16 units of a UTF-8 text of BMP characters: its lead bytes.
unsigned char Units(const unsigned char* bytes, std::size_t size) {
  unsigned char n = 0;
  for (std::size_t i = 0; i < size; ++i) n += (bytes[i] & 0xC0) != 0x80;
  return n;
}

}  // namespace

extern "C" {

// Packs the two grids (either may be empty) into the 1024-byte table that
// glyphpack would write; returns it.
EMSCRIPTEN_KEEPALIVE const unsigned char* zol_pack(const unsigned char* grid0,
                                                   std::size_t size0,
                                                   const unsigned char* grid1,
                                                   std::size_t size1) {
  glyphpack::PackPage(grid0, size0, packed);
  glyphpack::PackPage(grid1, size1, packed + glyph_table::kPageBytes);
  return packed;
}

// Checks the grid of page (0 or 1) as glyphpack does; returns JSON:
// {"rows": n, "badEnding": line, "badLength": line, "length": bytes,
//  "utf8": bool, "bom": bool, "split": [[line, column, byte, byte], ...]}.
EMSCRIPTEN_KEEPALIVE const char* zol_check(const unsigned char* grid,
                                           std::size_t size, int page) {
  const glyphpack::GridReport r = glyphpack::CheckGrid(grid, size, page);
  text = message::Format(
      "{\"rows\":%d,\"badEnding\":%d,\"badLength\":%d,\"length\":%zu,"
      "\"utf8\":%s,\"bom\":%s,\"split\":[",
      r.complete_rows, r.bad_ending_line, r.bad_length_line, r.bad_length,
      r.utf8 ? "true" : "false", r.utf8_bom ? "true" : "false");
  for (std::size_t i = 0; i < r.split_cells.size(); ++i) {
    const glyphpack::SplitCell& s = r.split_cells[i];
    text += message::Format("%s[%d,%d,%u,%u]", i == 0 ? "" : ",", s.line,
                            s.column, s.bytes[0], s.bytes[1]);
  }
  text += "]}";
  return text.c_str();
}

// Loads the glyph table from a table file's bytes, as msgdump loads zol.tbl.
EMSCRIPTEN_KEEPALIVE void zol_set_table(const unsigned char* bytes,
                                        std::size_t size) {
  msgdump::TableFromBytes(bytes, size, table);
}

// What the image's size says: 1 a copier header, 2 it ends before the
// text window.
EMSCRIPTEN_KEEPALIVE int zol_image_hints(double size) {
  const msgdump::ImageSizeHints h =
      msgdump::HintsForImageSize(static_cast<std::uint64_t>(size));
  return (h.copier_header ? 1 : 0) | (h.before_window ? 2 : 0);
}

// Decodes the text window of the image as msgdump does; returns the walk's
// end (0 window done, 1 end of image).  Then zol_output holds what msgdump
// prints, zol_utf8 what msgdump --utf8 prints, and zol_trace every code.
EMSCRIPTEN_KEEPALIVE int zol_decode(const unsigned char* image,
                                    std::size_t size) {
  window = msgdump::WindowOf(image, size, msgdump::kWindowStart,
                             msgdump::kWindowEnd);
  static msgdump::Renderings r;
  msgdump::Render(table, msgdump::Encoding::kShiftJis, &r);
  dump = message::Format(msgdump::kBannerFormat, msgdump::kVersion);
  dump += msgdump::kCredit;
  dump += message::Format(msgdump::kLoadingFormat, glyph_table::kFileName);
  dump += '\n';
  script_at = dump.size();
  const msgdump::Script script = msgdump::RenderScript(r, window);
  dump += script.text();

  msgdump::Render(table, msgdump::Encoding::kUtf8, &r);
  utf8 = std::string(msgdump::RenderScript(r, window).text());
  unsigned char units[512];
  for (unsigned i = 0; i < 512; ++i) {
    units[i] = Units(r.code[i].bytes, r.code[i].size);
    not_cp932[i] = r.not_cp932[i] ? 1 : 0;
  }
  trace.clear();
  msgdump::MsgConv(window, [&](const msgdump::Code& c) {
    trace.push_back(
        {c.offset, c.index, static_cast<std::uint8_t>(c.size), units[c.index]});
  });
  return script.end == msgdump::WalkEnd::kEndOfImage ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* zol_output() { return dump.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_output_size() { return dump.size(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_script_start() { return script_at; }
EMSCRIPTEN_KEEPALIVE const char* zol_utf8() { return utf8.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_utf8_size() { return utf8.size(); }
EMSCRIPTEN_KEEPALIVE const TracedCode* zol_trace() { return trace.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_trace_count() { return trace.size(); }
// 512 flags by code index: the entry is not CP932 (U+FFFD in UTF-8).
EMSCRIPTEN_KEEPALIVE const unsigned char* zol_not_cp932() { return not_cp932; }

// What msgdump --atlas and msgdump --thingy print, for the last window and
// the table; the size of it is zol_text_size.
EMSCRIPTEN_KEEPALIVE const char* zol_atlas() {
  text = msgdump::AtlasScript(msgdump::MakeThingy(table), window);
  return text.data();
}
EMSCRIPTEN_KEEPALIVE const char* zol_thingy() {
  text = msgdump::ThingyText(msgdump::MakeThingy(table));
  return text.data();
}
EMSCRIPTEN_KEEPALIVE std::size_t zol_text_size() { return text.size(); }

// The character of the CP932 double-byte code lead, trail; 0 where none.
EMSCRIPTEN_KEEPALIVE unsigned zol_cp932(unsigned lead, unsigned trail) {
  return static_cast<unsigned>(cp932::DoubleByte(lead, trail));
}

}  // extern "C"
