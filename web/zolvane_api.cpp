// The C API the browser page calls: the same cores as msgdump and
// glyphpack, over bytes the page hands in.  One page, one state: the glyph
// table in use, the last dump and its trace.  Buffers returned stay valid
// until the next call that makes a new one.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "glyph_table.h"
#include "msgconv.h"
#include "packer.h"

namespace {

msgdump::GlyphTable table;
unsigned char packed[glyph_table::kFileBytes];
std::string dump;       // what msgdump writes on standard output
std::size_t script_at;  // where the script starts in dump
std::vector<msgdump::CodeTrace> trace;
std::string report;  // the last grid check, as JSON

void AppendJsonString(std::string* out, const std::string& s) {
  *out += '"';
  for (const char c : s) {
    if (c == '"' || c == '\\') *out += '\\';
    if (c == '\n') {
      *out += "\\n";
      continue;
    }
    *out += c;
  }
  *out += '"';
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
// {"warnings": [lines as glyphpack prints them], "split": [[line, column]],
//  "badEnding": line, "badLength": line, "rows": n, "utf8": bool}.
EMSCRIPTEN_KEEPALIVE const char* zol_check(const unsigned char* grid,
                                           std::size_t size, int page) {
  const glyphpack::SourceName name(page);
  const std::size_t n =
      size < glyphpack::kGridBytes ? size : glyphpack::kGridBytes;
  const glyphpack::GridReport r = glyphpack::CheckGrid(grid, n, page);
  const std::string text = glyphpack::GridWarnings("glyphpack", name.text, r);
  report = "{\"warnings\":[";
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos;
       from = nl + 1) {
    if (from != 0) report += ',';
    AppendJsonString(&report, text.substr(from, nl - from));
  }
  report += "],\"split\":[";
  for (std::size_t i = 0; i < r.split_cells.size(); ++i) {
    if (i != 0) report += ',';
    report += '[' + std::to_string(r.split_cells[i].line) + ',' +
              std::to_string(r.split_cells[i].column) + ']';
  }
  report += "],\"badEnding\":" + std::to_string(r.bad_ending_line) +
            ",\"badLength\":" + std::to_string(r.bad_length_line) +
            ",\"rows\":" + std::to_string(r.complete_rows) +
            ",\"utf8\":" + (r.utf8 ? "true" : "false") + '}';
  return report.c_str();
}

// Loads the glyph table from a table file's bytes, as msgdump loads zol.tbl.
EMSCRIPTEN_KEEPALIVE void zol_set_table(const unsigned char* bytes,
                                        std::size_t size) {
  msgdump::TableFromBytes(bytes, size, table);
}

// Decodes the text window of the image as msgdump does; returns the walk's
// end (0 window done, 1 end of image).  zol_output then holds exactly what
// msgdump prints on standard output.
EMSCRIPTEN_KEEPALIVE int zol_decode(const unsigned char* image,
                                    std::size_t size) {
  char line[128];
  dump.clear();
  std::snprintf(line, sizeof line, msgdump::kBannerFormat, msgdump::kVersion);
  dump += line;
  dump += msgdump::kCredit;
  std::snprintf(line, sizeof line, msgdump::kLoadingFormat,
                glyph_table::kFileName);
  dump += line;
  dump += '\n';
  script_at = dump.size();
  msgdump::MemoryImage rom(image, size);
  msgdump::StringSink out;
  trace.clear();
  const msgdump::WalkEnd end = msgdump::MsgConvTraced(
      table, rom, out, msgdump::kWindowStart, msgdump::kWindowEnd, &trace);
  dump += out.text;
  return static_cast<int>(end);
}

EMSCRIPTEN_KEEPALIVE const char* zol_output() { return dump.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_output_size() { return dump.size(); }
EMSCRIPTEN_KEEPALIVE std::size_t zol_script_start() { return script_at; }

// The codes of the last dump, two 32-bit words each: the code's offset in
// the image, then its rendering index (c, or 256 + n for 0xFF n) in the low
// 16 bits and the bytes it printed in the high 16.
EMSCRIPTEN_KEEPALIVE const msgdump::CodeTrace* zol_trace() {
  return trace.data();
}
EMSCRIPTEN_KEEPALIVE std::size_t zol_trace_count() { return trace.size(); }

}  // extern "C"

static_assert(sizeof(msgdump::CodeTrace) == 8);
