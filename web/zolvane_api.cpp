// The C API the page calls: the same cores as msgdump and glyphpack, over
// bytes the page hands in.  Every call takes all it needs (the image, the
// table, a grid) and keeps nothing between calls, and every call answers
// in a Result of its own, valid until that same call is made again: bytes
// for what is bytes (a script, a table, an image, a patch), JSON for the
// rest, and for the trace a Uint32Array of (offset, code index) pairs.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "atlas.h"
#include "banner.h"
#include "bps.h"
#include "cells.h"
#include "cp932.h"
#include "glyph_table.h"
#include "image_hints.h"
#include "insert.h"
#include "message.h"
#include "packer.h"
#include "scene.h"
#include "script.h"
#include "table.h"
#include "to_fill.h"
#include "walk.h"
#include "window.h"

namespace {

using message::Format;

// What a call answers: its bytes, and how many.
struct Result {
  const void* data;
  std::uint32_t size;
};

// One call's answer, kept for the page to read until that call is made
// again.
template <typename Bytes>
class Kept {
 public:
  const Result* operator()(Bytes bytes) {
    bytes_ = std::move(bytes);
    result_.data = bytes_.data();
    result_.size =
        static_cast<std::uint32_t>(bytes_.size() * sizeof(*bytes_.data()));
    return &result_;
  }

 private:
  Bytes bytes_;
  Result result_{};
};

std::string Bool(bool b) { return b ? "true" : "false"; }

// text as a JSON string.
std::string Json(const std::string& text) {
  std::string j = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\')
      j += std::string("\\") + c;
    else if (static_cast<unsigned char>(c) < 0x20)
      j += Format("\\u%04x", static_cast<unsigned>(c));
    else
      j += c;
  }
  return j + "\"";
}

decoder::GlyphTable TableOf(const unsigned char* table, std::size_t size) {
  decoder::GlyphTable t;
  decoder::TableFromBytes(table, size, t);
  return t;
}

decoder::Window WindowOf(const unsigned char* image, std::size_t size) {
  return decoder::WindowOf(image, size, decoder::kWindowStart,
                           decoder::kWindowEnd);
}

}  // namespace

extern "C" {

// The numbers and names both sides share.
EMSCRIPTEN_KEEPALIVE const Result* zol_constants() {
  static Kept<std::string> out;
  return out(Format(
      "{\"windowStart\":%u,\"windowEnd\":%u,\"tableBytes\":%zu,"
      "\"pageBytes\":%zu,\"gridLine\":%zu,\"gridBytes\":%zu,"
      "\"gridReadBytes\":%zu,\"tableName\":%s,\"gridNames\":[%s,%s]}",
      decoder::kWindowStart, decoder::kWindowEnd, glyph_table::kFileBytes,
      glyph_table::kPageBytes, grids::kLineBytes, grids::kGridBytes,
      grids::kCheckBytes, Json(glyph_table::kFileName).c_str(),
      Json(grids::GridName(0)).c_str(), Json(grids::GridName(1)).c_str()));
}

// The 1024-byte table glyphpack packs from the two grids (either empty).
EMSCRIPTEN_KEEPALIVE const Result* zol_pack(const unsigned char* grid0,
                                            std::size_t size0,
                                            const unsigned char* grid1,
                                            std::size_t size1) {
  std::vector<unsigned char> t(glyph_table::kFileBytes);
  grids::PackPage(grid0, size0, t.data());
  grids::PackPage(grid1, size1, t.data() + glyph_table::kPageBytes);
  static Kept<std::vector<unsigned char>> out;
  return out(t);
}

// The grid that packs to a 512-byte page, or a blank one for none.
EMSCRIPTEN_KEEPALIVE const Result* zol_grid(const unsigned char* page,
                                            std::size_t size) {
  static Kept<std::string> out;
  return out(size < glyph_table::kPageBytes ? grids::BlankGrid()
                                            : grids::GridOfPage(page));
}

// What glyphpack finds in the grid of page: {"rows", "badEnding",
// "badLength", "length", "lineEndColumn", "utf8", "bom",
// "split": [[line, column, byte, byte], ...]}.
EMSCRIPTEN_KEEPALIVE const Result* zol_grid_findings(const unsigned char* grid,
                                                     std::size_t size,
                                                     int page) {
  const grids::GridReport r = grids::CheckGrid(grid, size, page);
  std::string j = Format(
      "{\"rows\":%d,\"badEnding\":%d,\"badLength\":%d,\"length\":%zu,"
      "\"lineEndColumn\":%d,\"utf8\":%s,\"bom\":%s,\"split\":[",
      r.complete_rows, r.bad_ending_line, r.bad_length_line, r.bad_length,
      r.line_end_column, Bool(r.utf8).c_str(), Bool(r.utf8_bom).c_str());
  for (std::size_t i = 0; i < r.split_cells.size(); ++i) {
    const grids::SplitCell& s = r.split_cells[i];
    j += Format("%s[%d,%d,%u,%u]", i == 0 ? "" : ",", s.line, s.column,
                s.bytes[0], s.bytes[1]);
  }
  static Kept<std::string> out;
  return out(j + "]}");
}

// A grid with every LF that lacks a CR given one.
EMSCRIPTEN_KEEPALIVE const Result* zol_fix_line_ends(const unsigned char* grid,
                                                     std::size_t size) {
  static Kept<std::string> out;
  return out(grids::FixLineEnds(grid, size));
}

// A grid saved as UTF-8, in Shift-JIS: {"bytes": [...], "lost": "chars
// with no Shift-JIS code, each made ？"}.
EMSCRIPTEN_KEEPALIVE const Result* zol_grid_from_utf8(const char* text,
                                                      std::size_t size) {
  std::string utf8(text, size);
  if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) utf8.erase(0, 3);
  std::string bytes, lost;
  for (std::size_t at = 0; at < utf8.size();) {
    std::size_t n = 1;
    while (at + n < utf8.size() && (utf8[at + n] & 0xC0) == 0x80) ++n;
    const std::string c = utf8.substr(at, n);
    std::string b;
    char32_t bad = 0;
    std::vector<cp932::Substitution> subs;
    if (c == "\r" || c == "\n")
      bytes += c;
    else if (cp932::FromUtf8(c, &b, &bad, &subs))
      bytes += b;
    else {
      bytes += "\x81\x48";  // ？
      if (lost.find(c) == std::string::npos) lost += c;
    }
    at += n;
  }
  std::string j = "{\"bytes\":[";
  for (std::size_t i = 0; i < bytes.size(); ++i)
    j +=
        Format("%s%u", i == 0 ? "" : ",", static_cast<unsigned char>(bytes[i]));
  static Kept<std::string> out;
  return out(j + "],\"lost\":" + Json(lost) + "}");
}

// A typed character's cell bytes: {"bytes": [...]} or {"bad": "char"},
// with "substituted": [["typed", "stored"], ...].
EMSCRIPTEN_KEEPALIVE const Result* zol_encode(const char* text,
                                              std::size_t size) {
  std::string bytes;
  char32_t bad = 0;
  std::vector<cp932::Substitution> subs;
  const bool ok = cp932::FromUtf8(std::string(text, size), &bytes, &bad, &subs);
  std::string j = ok ? "{\"bytes\":[" : Format("{\"bad\":%u", unsigned(bad));
  for (std::size_t i = 0; ok && i < bytes.size(); ++i)
    j +=
        Format("%s%u", i == 0 ? "" : ",", static_cast<unsigned char>(bytes[i]));
  j += ok ? "],\"substituted\":[" : ",\"substituted\":[";
  for (std::size_t i = 0; i < subs.size(); ++i)
    j += Format("%s[%u,%u]", i == 0 ? "" : ",", unsigned(subs[i].typed),
                unsigned(subs[i].stored));
  static Kept<std::string> out;
  return out(j + "]}");
}

// Every cell of a table: [{"text", "unreachable", "empty", "blank",
// "notCp932", "sameAs"}, ...], by entry; and what the table file is.
EMSCRIPTEN_KEEPALIVE const Result* zol_cells(const unsigned char* table,
                                             std::size_t size) {
  const decoder::GlyphTable t = TableOf(table, size);
  const decoder::Cells cells = decoder::CellsOf(t);
  std::string j = Format("{\"thingy\":%s,\"cells\":[",
                         Bool(decoder::LooksLikeThingy(t)).c_str());
  for (std::size_t e = 0; e < cells.size(); ++e) {
    const decoder::Cell& c = cells[e];
    j += Format(
        "%s{\"text\":%s,\"unreachable\":%s,\"empty\":%s,"
        "\"blank\":%s,\"notCp932\":%s,\"sameAs\":%d}",
        e == 0 ? "" : ",", Json(c.text).c_str(), Bool(c.unreachable).c_str(),
        Bool(c.empty).c_str(), Bool(c.blank).c_str(), Bool(c.not_cp932).c_str(),
        c.same_as);
  }
  static Kept<std::string> out;
  return out(j + "]}");
}

// What the image's size says: {"copierHeader", "beforeWindow",
// "insideWindow"}.
EMSCRIPTEN_KEEPALIVE const Result* zol_image_hints(double size) {
  const decoder::ImageSizeHints h =
      decoder::HintsForImageSize(static_cast<std::uint64_t>(size));
  static Kept<std::string> out;
  return out(
      Format("{\"copierHeader\":%s,\"beforeWindow\":%s,"
             "\"insideWindow\":%s}",
             Bool(h.copier_header).c_str(), Bool(h.before_window).c_str(),
             Bool(h.inside_window).c_str()));
}

// What msgdump prints for the image: with utf8 0, its standard output
// (the original tools' lines, then the Shift-JIS script); with 1, what
// msgdump --utf8 prints.
EMSCRIPTEN_KEEPALIVE const Result* zol_script(const unsigned char* image,
                                              std::size_t size,
                                              const unsigned char* table,
                                              std::size_t table_size,
                                              int utf8) {
  static decoder::Renderings r;
  decoder::Render(
      TableOf(table, table_size),
      utf8 != 0 ? decoder::Encoding::kUtf8 : decoder::Encoding::kShiftJis, &r);
  std::string printed;
  if (utf8 == 0) {
    printed = Format(decoder::kBannerFormat, decoder::kInterfaceVersion);
    printed += decoder::kCredit;
    printed += Format(decoder::kLoadingFormat, glyph_table::kFileName);
    printed += '\n';
  }
  printed += decoder::RenderScript(r, WindowOf(image, size)).text();
  static Kept<std::string> out;
  return out(printed);
}

// How many UTF-16 units each code index shows as in the UTF-8 script.
EMSCRIPTEN_KEEPALIVE const Result* zol_units(const unsigned char* table,
                                             std::size_t table_size) {
  static decoder::Renderings r;
  decoder::Render(TableOf(table, table_size), decoder::Encoding::kUtf8, &r);
  std::vector<unsigned char> units(glyph_table::kCodes);
  for (unsigned i = 0; i < glyph_table::kCodes; ++i)
    for (unsigned k = 0; k < r.code[i].size; ++k)
      units[i] += (r.code[i].bytes[k] & 0xC0) != 0x80;  // BMP only
  static Kept<std::vector<unsigned char>> out;
  return out(units);
}

// Every code of the window, as (offset, code index) pairs.
EMSCRIPTEN_KEEPALIVE const Result* zol_trace(const unsigned char* image,
                                             std::size_t size) {
  std::vector<std::uint32_t> trace;
  decoder::MsgConv(WindowOf(image, size), [&](const decoder::Code& c) {
    trace.push_back(c.offset);
    trace.push_back(c.index);
  });
  static Kept<std::vector<std::uint32_t>> out;
  return out(trace);
}

// What msgdump --atlas and msgdump --thingy print.
EMSCRIPTEN_KEEPALIVE const Result* zol_atlas(const unsigned char* image,
                                             std::size_t size,
                                             const unsigned char* table,
                                             std::size_t table_size) {
  static Kept<std::string> out;
  return out(
      translate::AtlasScript(translate::MakeThingy(TableOf(table, table_size)),
                             WindowOf(image, size)));
}
EMSCRIPTEN_KEEPALIVE const Result* zol_thingy(const unsigned char* table,
                                              std::size_t table_size) {
  static Kept<std::string> out;
  return out(
      translate::ThingyText(translate::MakeThingy(TableOf(table, table_size))));
}

// The glyphs to fill: [{"entry", "count", "why", "sameAs", "first",
// "uses": [[before, text, after], ...]}, ...], most used first.
EMSCRIPTEN_KEEPALIVE const Result* zol_to_fill(const unsigned char* image,
                                               std::size_t size,
                                               const unsigned char* table,
                                               std::size_t table_size) {
  const decoder::GlyphTable t = TableOf(table, table_size);
  std::string j = "[";
  for (const decoder::ToFill& f :
       decoder::GlyphsToFill(t, WindowOf(image, size))) {
    j += Format(
        "%s{\"entry\":%d,\"count\":%u,\"why\":%s,\"sameAs\":%d,"
        "\"first\":%u,\"uses\":[",
        j.size() == 1 ? "" : ",", f.entry, f.count,
        Json(decoder::WhyToFill(f.why)).c_str(), f.same_as, f.first);
    for (std::size_t k = 0; k < f.uses.size(); ++k)
      j += Format("%s[%s,%s,%s]", k == 0 ? "" : ",",
                  Json(f.uses[k].before).c_str(), Json(f.uses[k].text).c_str(),
                  Json(f.uses[k].after).c_str());
    j += "]}";
  }
  static Kept<std::string> out;
  return out(j + "]");
}

// Inserts an Atlas script into the image with a Thingy table; fill is
// the #FILL byte from the start, or -1.  zol_insert says how it went:
// {"ok", "blocks": [{"line", "start", "bound", "text", "written",
// "padded", "fill"}, ...], "problems": [{"line", "inTable", "what",
// "block"}, ...]};
// zol_patched gives the image (0) or the BPS patch from the image (1).
EMSCRIPTEN_KEEPALIVE const Result* zol_insert(
    const unsigned char* image, std::size_t size, const char* script,
    std::size_t script_size, const char* table, std::size_t table_size,
    int fill) {
  std::vector<unsigned char> patched(image, image + size);
  translate::Insertion report;
  const bool ok = translate::InsertScript(std::string(script, script_size),
                                          std::string(table, table_size), fill,
                                          &patched, &report);
  std::string j = "{\"ok\":" + Bool(ok) + ",\"blocks\":[";
  for (std::size_t i = 0; i < report.blocks.size(); ++i) {
    const translate::Insertion::Block& b = report.blocks[i];
    j += Format(
        "%s{\"line\":%d,\"start\":%u,\"bound\":%lld,\"text\":%zu,"
        "\"written\":%zu,\"padded\":%zu,\"fill\":%d}",
        i == 0 ? "" : ",", b.line, b.start, static_cast<long long>(b.bound),
        b.text, b.written, b.padded, b.fill);
  }
  j += "],\"problems\":[";
  for (std::size_t i = 0; i < report.problems.size(); ++i) {
    const translate::Insertion::Problem& p = report.problems[i];
    j += Format("%s{\"line\":%d,\"inTable\":%s,\"what\":%s,\"block\":%d}",
                i == 0 ? "" : ",", p.line, Bool(p.in_table).c_str(),
                Json(p.what).c_str(), p.block);
  }
  static Kept<std::string> out;
  return out(j + "]}");
}
EMSCRIPTEN_KEEPALIVE const Result* zol_patched(
    const unsigned char* image, std::size_t size, const char* script,
    std::size_t script_size, const char* table, std::size_t table_size,
    int fill, int bps) {
  std::vector<unsigned char> patched(image, image + size);
  translate::Insertion report;
  translate::InsertScript(std::string(script, script_size),
                          std::string(table, table_size), fill, &patched,
                          &report);
  if (bps != 0)
    patched = translate::MakeBps(
        std::vector<unsigned char>(image, image + size), patched);
  static Kept<std::vector<unsigned char>> out;
  return out(patched);
}

// The sample's image, made from its scene (hexadecimal bytes, # comments).
EMSCRIPTEN_KEEPALIVE const Result* zol_sample_image(const char* scene,
                                                    std::size_t size) {
  std::string bytes, why;
  sample::ParseScene(std::string(scene, size), &bytes, &why);
  static Kept<std::vector<unsigned char>> out;
  return out(sample::ImageOf(bytes));
}

}  // extern "C"
