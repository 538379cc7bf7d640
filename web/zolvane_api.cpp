// The C API the page calls: the same cores as msgdump and glyphpack, over
// bytes the page hands in.  Every call takes all it needs (the image, the
// table, a grid) and answers in a Result of its own, valid until that same
// call is made again: bytes for what is bytes (a script, a table, an image,
// a patch), the cores' records as JSON (json.h) for the rest, and for the
// trace a Uint32Array.  Nothing here decides anything: every rule is the
// cores'.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "answer.h"
#include "atlas.h"
#include "bps.h"
#include "cells.h"
#include "cp932.h"
#include "glyph_table.h"
#include "image_hints.h"
#include "insert.h"
#include "insertion_json.h"
#include "json.h"
#include "line_ends.h"
#include "packer.h"
#include "scene.h"
#include "script.h"
#include "table.h"
#include "to_fill.h"
#include "walk.h"
#include "window.h"

namespace {

using web::Json;
using web::Member;

using web::Kept;
using web::Result;

// The answer of a call that gives JSON.
const Result* Answer(Kept<std::string>& kept, const Json& j) {
  return kept(j.text());
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

// bytes as a JSON array of numbers.
template <typename Bytes>
void Array(Json& j, const Bytes& bytes) {
  j.Open('[');
  for (const auto b : bytes) j.Num(static_cast<unsigned char>(b));
  j.Close(']');
}

// The names the page knows the cores' kinds by, in the order of their
// enums.
const char* KindOf(grids::FindingKind kind) {
  static constexpr const char* kNames[] = {
      "lineEnd",      "utf8",       "utf8LineEnd", "lineEndCell",
      "lastLineLong", "lineLength", "splitCell",   "incomplete"};
  return kNames[static_cast<int>(kind)];
}
const char* FixOf(grids::FindingFix fix) {
  static constexpr const char* kNames[] = {"", "lineEnds", "shiftJis"};
  return kNames[static_cast<int>(fix)];
}
const char* WhyOf(decoder::FillReason why) {
  static constexpr const char* kNames[] = {"", "empty", "blank", "notShiftJis",
                                           "same"};
  return kNames[static_cast<int>(why)];
}

// The cores' records as the page reads them: one writer a kind, and a list
// of any kind.
void Write(Json& j, const grids::Finding& f) {
  j.Open('{')
      .Members({Member{"kind", KindOf(f.kind)}, Member{"line", f.line},
                Member{"column", f.column}, Member{"fix", FixOf(f.fix)},
                Member{"count", f.count}, Member{"bom", f.bom}})
      .Key("bytes");
  Array(j, f.bytes);
  j.Key("marks").Open('[').Num(f.first_entry).Num(f.entries).Close(']');
  j.Close('}');
}
void Write(Json& j, const decoder::ToFill& f) {
  j.Open('{')
      .Members({Member{"entry", f.entry}, Member{"count", f.count},
                Member{"why", WhyOf(f.why)}, Member{"sameAs", f.same_as},
                Member{"first", f.first}})
      .Key("uses")
      .Open('[');
  for (const decoder::Use& u : f.uses)
    j.Open('[').Str(u.before).Str(u.text).Str(u.after).Close(']');
  j.Close(']').Close('}');
}
template <typename Items>
Json& List(Json& j, const Items& items) {
  j.Open('[');
  for (const auto& item : items) Write(j, item);
  return j.Close(']');
}

// The last insertion: how it went, and the image it made.
struct Inserted {
  bool ok = false;
  translate::Insertion report;
  std::vector<unsigned char> image;
};
Inserted last_insertion;

// Inserts script into a copy of the image with table (Thingy text); fill
// is the #FILL byte from the start, or -1; as_atlas inserts as Atlas does.
// The one call of the inserter.
void Insert(const unsigned char* image, std::size_t size,
            const std::string& script, const std::string& table, int fill,
            bool as_atlas) {
  Inserted& r = last_insertion;
  r = Inserted{};
  r.image.assign(image, image + size);
  translate::InsertOptions options;
  options.fill = fill;
  options.as_atlas = as_atlas;
  r.ok = translate::InsertScript(script, table, options, &r.image, &r.report);
  if (!r.ok) r.image.clear();
}

}  // namespace

extern "C" {

// The numbers and names both sides share.
EMSCRIPTEN_KEEPALIVE const Result* zol_constants() {
  Json j;
  j.Open('{')
      .Members({Member{"windowStart", decoder::kWindowStart},
                Member{"headerBytes", decoder::kCopierHeaderBytes},
                Member{"tableBytes", glyph_table::kFileBytes},
                Member{"tableName", glyph_table::kFileName},
                Member{"gridSide", glyph_table::kGridSide},
                Member{"cellBytes", glyph_table::kEntryBytes},
                Member{"rowBytes", glyph_table::kRowBytes},
                Member{"lineBytes", grids::kLineBytes},
                Member{"entries", glyph_table::kEntries},
                Member{"leastGridBytes", grids::kLeastGridBytes},
                Member{"mostGridBytes", grids::kMostGridBytes}})
      .Key("gridNames")
      .Open('[');
  for (const char* name : glyph_table::kGridNames) j.Str(name);
  static Kept<std::string> out;
  return Answer(out, j.Close(']').Close('}'));
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

// A grid of full-width spaces.
EMSCRIPTEN_KEEPALIVE const Result* zol_blank_grid() {
  static Kept<std::string> out;
  return out(grids::BlankGrid());
}

// The grid that packs to page of the table.
EMSCRIPTEN_KEEPALIVE const Result* zol_grid_of_table(const unsigned char* table,
                                                     std::size_t size,
                                                     int page) {
  static Kept<std::string> out;
  return out(grids::GridOfTable(table, size, page));
}

// The grid with table entry's cell holding the two bytes.
EMSCRIPTEN_KEEPALIVE const Result* zol_with_cell(const unsigned char* grid,
                                                 std::size_t size, int entry,
                                                 int byte0, int byte1) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(byte0),
                                  static_cast<unsigned char>(byte1)};
  static Kept<std::string> out;
  return out(
      grids::WithCell(grid, size, static_cast<std::size_t>(entry), bytes));
}

// What glyphpack finds in the grid of page, in its order: [{"kind",
// "line", "column", "fix", "count", "bytes", "bom", "marks": [first
// entry, entries]}, ...].
EMSCRIPTEN_KEEPALIVE const Result* zol_grid_findings(const unsigned char* grid,
                                                     std::size_t size,
                                                     int page) {
  Json j;
  List(j, grids::FindingsOf(grids::CheckGrid(grid, size, page), page));
  static Kept<std::string> out;
  return Answer(out, j);
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
  const grids::Converted c = grids::GridFromUtf8(std::string(text, size));
  Json j;
  j.Open('{').Key("bytes");
  Array(j, c.bytes);
  j.Field("lost", c.lost);
  static Kept<std::string> out;
  return Answer(out, j.Close('}'));
}

// A typed character's cell bytes: {"bytes": [...]} or {"bad": char},
// with "substituted": [[typed, stored], ...].
EMSCRIPTEN_KEEPALIVE const Result* zol_encode(const char* text,
                                              std::size_t size) {
  std::string bytes;
  char32_t bad = 0;
  std::vector<cp932::Substitution> subs;
  Json j;
  j.Open('{');
  if (cp932::FromUtf8(std::string(text, size), &bytes, &bad, &subs)) {
    j.Key("bytes");
    Array(j, bytes);
  } else {
    j.Field("bad", static_cast<unsigned>(bad));
  }
  j.Key("substituted").Open('[');
  for (const cp932::Substitution& s : subs)
    j.Open('[').Num(s.typed).Num(s.stored).Close(']');
  static Kept<std::string> out;
  return Answer(out, j.Close(']').Close('}'));
}

// Every cell of a table, by entry: {"thingy", "cells": [{"code", "name",
// "control", "reachable", "page", "line", "column", "text", "empty",
// "blank", "notCp932", "sameAs", "bytes"}, ...]}.
EMSCRIPTEN_KEEPALIVE const Result* zol_cells(const unsigned char* table,
                                             std::size_t size) {
  const decoder::GlyphTable t = TableOf(table, size);
  Json j;
  j.Open('{').Field("thingy", decoder::LooksLikeThingy(t)).Key("cells");
  j.Open('[');
  const decoder::Cells cells = decoder::CellsOf(t);
  for (std::size_t e = 0; e < cells.size(); ++e) {
    const decoder::Cell& c = cells[e];
    j.Open('{')
        .Members({Member{"code", c.code}, Member{"name", c.name},
                  Member{"control", c.control},
                  Member{"reachable", !c.unreachable}, Member{"page", c.page},
                  Member{"grid", glyph_table::kGridNames[c.page]},
                  Member{"line", c.line}, Member{"column", c.column},
                  Member{"text", c.text}, Member{"empty", c.empty},
                  Member{"blank", c.blank}, Member{"notCp932", c.not_cp932},
                  Member{"sameAs", c.same_as}})
        .Key("bytes");
    Array(j, std::string(reinterpret_cast<const char*>(t.entry[e]),
                         glyph_table::kEntryBytes));
    j.Close('}');
  }
  static Kept<std::string> out;
  return Answer(out, j.Close(']').Close('}'));
}

// Every code index, as the trace gives them: [{"name", "entry",
// "control"}, ...].
EMSCRIPTEN_KEEPALIVE const Result* zol_codes() {
  Json j;
  j.Open('[');
  for (unsigned i = 0; i < glyph_table::kCodes; ++i)
    j.Open('{')
        .Members({Member{"name", decoder::CodeName(i)},
                  Member{"entry", glyph_table::EntryOfCode(i)},
                  Member{"control", i < glyph_table::kControlCodes}})
        .Close('}');
  static Kept<std::string> out;
  return Answer(out, j.Close(']'));
}

// What the image's size says: {"copierHeader", "beforeWindow",
// "insideWindow"}.
EMSCRIPTEN_KEEPALIVE const Result* zol_image_hints(double size) {
  const decoder::ImageSizeHints h =
      decoder::HintsForImageSize(static_cast<std::uint64_t>(size));
  Json j;
  j.Open('{').Members({Member{"copierHeader", h.copier_header},
                       Member{"beforeWindow", h.before_window},
                       Member{"insideWindow", h.inside_window}});
  static Kept<std::string> out;
  return Answer(out, j.Close('}'));
}

// What msgdump prints for the image: with utf8 0, its standard output
// (the original tools' lines, then the Shift-JIS script); with 1, what
// msgdump --utf8 prints; with crlf 1, as msgdump.exe writes it.
EMSCRIPTEN_KEEPALIVE const Result* zol_script(const unsigned char* image,
                                              std::size_t size,
                                              const unsigned char* table,
                                              std::size_t table_size, int utf8,
                                              int crlf) {
  static decoder::Renderings r;
  decoder::Render(
      TableOf(table, table_size),
      utf8 != 0 ? decoder::Encoding::kUtf8 : decoder::Encoding::kShiftJis, &r);
  std::string printed = utf8 != 0 ? "" : decoder::ScriptHead();
  printed += decoder::RenderScript(r, WindowOf(image, size)).text();
  static Kept<std::string> out;
  return out(crlf != 0 ? line_ends::WithCrLf(printed) : printed);
}

// How many UTF-16 units each code index shows as in the UTF-8 script.
EMSCRIPTEN_KEEPALIVE const Result* zol_units(const unsigned char* table,
                                             std::size_t table_size) {
  static decoder::Renderings r;
  decoder::Render(TableOf(table, table_size), decoder::Encoding::kUtf8, &r);
  static Kept<std::vector<unsigned char>> out;
  return out(decoder::Utf16Units(r));
}

// Every code of the window, as (offset, code index) pairs, then how the
// walk ended: 1 where the image ends inside the window ([EOF]), else 0.
EMSCRIPTEN_KEEPALIVE const Result* zol_trace(const unsigned char* image,
                                             std::size_t size) {
  std::vector<std::uint32_t> trace;
  const decoder::WalkEnd end =
      decoder::MsgConv(WindowOf(image, size), [&](const decoder::Code& c) {
        trace.push_back(c.offset);
        trace.push_back(c.index);
      });
  trace.push_back(end == decoder::WalkEnd::kEndOfImage ? 1 : 0);
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
  Json j;
  List(j, decoder::GlyphsToFill(t, WindowOf(image, size)));
  static Kept<std::string> out;
  return Answer(out, j);
}

// Inserts an Atlas script into a copy of the image with a Thingy table;
// fill is the #FILL byte from the start, or -1; as_atlas (last, so 0 when
// not given) inserts as Atlas does.  Says how it went, as InsertionJson
// (insertion_json.h) writes it; the image it made is kept for zol_patched.
EMSCRIPTEN_KEEPALIVE const Result* zol_insert(
    const unsigned char* image, std::size_t size, const char* script,
    std::size_t script_size, const char* table, std::size_t table_size,
    int fill, int as_atlas) {
  Insert(image, size, std::string(script, script_size),
         std::string(table, table_size), fill, as_atlas != 0);
  Json j;
  web::InsertionJson(j, last_insertion.ok, last_insertion.report);
  static Kept<std::string> out;
  return Answer(out, j);
}

// What the last zol_insert made, when it went in: the patched image (bps
// 0) or the BPS patch from image to it (1); nothing when it did not.
EMSCRIPTEN_KEEPALIVE const Result* zol_patched(const unsigned char* image,
                                               std::size_t size, int bps) {
  static Kept<std::vector<unsigned char>> out;
  const std::vector<unsigned char>& patched = last_insertion.image;
  if (bps == 0 || patched.empty()) return out(patched);
  return out(translate::MakeBps(std::vector<unsigned char>(image, image + size),
                                patched));
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
