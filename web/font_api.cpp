// The C API of the page's font panel: the font core (font/) over bytes the
// page hands in, answers in JSON or bytes as zolvane_api.cpp's are.  Each
// call takes all it needs but the reference fonts, which the page hands in
// once (zol_font_references) and which are kept until it hands in others:
// reading them takes longer than any one call.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "answer.h"
#include "cp932.h"
#include "font.h"
#include "glyph_table.h"
#include "json.h"
#include "script.h"

namespace {

using web::Kept;
using web::Result;

// The references and their matcher, once handed in.
struct References {
  std::vector<unsigned char> records;
  std::unique_ptr<font::Matcher> matcher;
};
References& KeptReferences() {
  static References r;
  return r;
}

// The layout in text[0, size); false if it is none.
bool LayoutOf(const char* text, std::size_t size, font::Layout* layout) {
  font::LayoutError e;
  return font::ParseLayout(std::string_view(text, size), layout, &e);
}

font::Format FormatOf(int index) {
  return index == 2   ? font::Format::k4bpp
         : index == 1 ? font::Format::k2bpp
                      : font::Format::k1bpp;
}

// The UTF-8 of a Shift-JIS code.
std::string Utf8Of(unsigned code) {
  const unsigned char sjis[2] = {static_cast<unsigned char>(code >> 8),
                                 static_cast<unsigned char>(code)};
  std::string utf8;
  cp932::ToUtf8(sjis, 2, &utf8);
  return utf8;
}

void Append1bpp(const font::Glyph& g, std::vector<unsigned char>* out) {
  unsigned char bytes[32];
  font::EncodeGlyph(font::Format::k1bpp, g, 1, bytes);
  out->insert(out->end(), bytes, bytes + 32);
}

}  // namespace

extern "C" {

// The formats: [{"name":"1bpp","bytes":32}, ...], index 0, 1, 2 as the
// other calls take them.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_formats() {
  web::Json j;
  j.Open('[');
  for (font::Format f : font::kFormats)
    j.Open('{')
        .Field("name", font::FormatName(f))
        .Field("bytes", font::GlyphBytes(f))
        .Close('}');
  static Kept<std::string> out;
  return out(j.Close(']').text());
}

// Hands in the reference fonts (records as font::FontData holds them, the
// fonts one after another): {"glyphs":N,"characters":M}.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_references(
    const unsigned char* records, std::size_t size) {
  References& r = KeptReferences();
  r.matcher.reset();
  r.records.assign(records, records + size);
  r.matcher = std::make_unique<font::Matcher>(
      std::vector<font::FontData>{{r.records.data(), r.records.size()}});
  web::Json j;
  j.Open('{')
      .Field("glyphs", r.matcher->glyphs())
      .Field("characters", r.matcher->characters())
      .Close('}');
  static Kept<std::string> out;
  return out(j.text());
}

// A layout read: {"ok":true,"layout":"2bpp:0xC8000:0xCC000","format":1,
// "offset":N} with "kanji":N where it has one, or {"ok":false,"error":
// "format"|"offset"|"kanji"|"trailing","at":N}.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_layout(const char* text,
                                                   std::size_t size) {
  static Kept<std::string> out;
  font::Layout s;
  font::LayoutError e;
  web::Json j;
  j.Open('{');
  if (!font::ParseLayout(std::string_view(text, size), &s, &e)) {
    static const char* const kWhy[] = {"format", "offset", "kanji", "trailing"};
    j.Field("ok", false).Field("error", kWhy[e.kind]).Field("at", e.at);
    return out(j.Close('}').text());
  }
  j.Field("ok", true)
      .Field("layout", font::LayoutText(s))
      .Field("format", static_cast<int>(s.format))
      .Field("offset", s.offset);
  if (s.has_kanji) j.Field("kanji", s.kanji);
  return out(j.Close('}').text());
}

// Every table entry's glyph where the layout puts it: 512 bytes, 1 where
// entry e has a glyph in the image, then 512 glyphs of 32 bytes as 1bpp
// (zeros where none).  Empty if the layout is none.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_sheet(const unsigned char* image,
                                                  std::size_t size,
                                                  const char* layout,
                                                  std::size_t layout_size) {
  static Kept<std::vector<unsigned char>> out;
  font::Layout s;
  if (!LayoutOf(layout, layout_size, &s)) return out({});
  std::vector<unsigned char> bytes(512, 0);
  for (unsigned e = 0; e < 512; ++e) {
    font::Glyph g{};
    bytes[e] = font::GlyphOfEntry(s, image, size, e, &g) ? 1 : 0;
    Append1bpp(g, &bytes);
  }
  return out(std::move(bytes));
}

// count glyphs of format (0, 1, 2) from offset on, one after another, as
// 1bpp, 32 bytes each: as many as the image holds whole.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_glyphs(const unsigned char* image,
                                                   std::size_t size, int format,
                                                   double offset, int count) {
  static Kept<std::vector<unsigned char>> out;
  const font::Format f = FormatOf(format);
  std::vector<unsigned char> bytes;
  if (offset < 0) return out({});
  auto at = static_cast<std::uint64_t>(offset);
  for (int i = 0; i < count && at <= size && size - at >= font::GlyphBytes(f);
       ++i, at += font::GlyphBytes(f))
    Append1bpp(font::DecodeGlyph(f, image + at), &bytes);
  return out(std::move(bytes));
}

// A 16 x 16 glyph (32 bytes, 1bpp) stored in format (0, 1, 2) with its ink
// as pixel value ink: the bytes to write at its offset.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_encode(const unsigned char* glyph,
                                                   int format, int ink) {
  static Kept<std::vector<unsigned char>> out;
  const font::Format f = FormatOf(format);
  std::vector<unsigned char> bytes(font::GlyphBytes(f));
  font::EncodeGlyph(f, font::DecodeGlyph(font::Format::k1bpp, glyph),
                    static_cast<unsigned>(ink), bytes.data());
  return out(std::move(bytes));
}

// Where a layout's page must start so that table entry's glyph, in format
// (0, 1, 2), lies at byte at: {"ok":true,"offset":N,"kanji":false} (the
// one-byte page's OFFSET, or the kanji page's KANJI where kanji is true),
// or {"ok":false} where entry has no glyph or at is too early for it.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_place(int format, int entry,
                                                  double at) {
  static Kept<std::string> out;
  font::Layout s;
  s.format = FormatOf(format);
  s.has_kanji = true;
  std::uint64_t from = 0;
  web::Json j;
  j.Open('{');
  if (entry < 0 || at < 0 ||
      !font::GlyphOffset(s, static_cast<unsigned>(entry), &from) ||
      static_cast<double>(from) > at) {
    j.Field("ok", false);
    return out(j.Close('}').text());
  }
  j.Field("ok", true)
      .Field("offset", static_cast<std::uint64_t>(at) - from)
      .Field("kanji", entry >= 256);
  return out(j.Close('}').text());
}

// The suggestions for every inked entry, in code order: {"ok":true,
// "suggestions":[{"entry":16,"code":"10","chars":["あ",...]}, ...]}, or
// {"ok":false,"why":"layout"|"references"}.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_suggest(const unsigned char* image,
                                                    std::size_t size,
                                                    const char* layout,
                                                    std::size_t layout_size) {
  static Kept<std::string> out;
  web::Json j;
  j.Open('{');
  font::Layout s;
  const References& r = KeptReferences();
  if (!LayoutOf(layout, layout_size, &s) || !r.matcher) {
    j.Field("ok", false).Field("why", r.matcher ? "layout" : "references");
    return out(j.Close('}').text());
  }
  j.Field("ok", true).Key("suggestions").Open('[');
  for (const font::Suggestion& g : font::Suggest(*r.matcher, s, image, size)) {
    const int code = glyph_table::CodeOfEntry(g.entry);
    if (code < 0) continue;
    j.Open('{')
        .Field("entry", g.entry)
        .Field("code", decoder::CodeKey(static_cast<unsigned>(code)))
        .Key("chars")
        .Open('[');
    for (unsigned c : g.codes) j.Str(Utf8Of(c));
    j.Close(']').Close('}');
  }
  return out(j.Close(']').Close('}').text());
}

// The likeliest fonts in the image, best first: {"ok":true,"found":[
// {"layout":"2bpp:0xC8000:0xCC000","score":318}, ...]} (scores in
// thousandths), or {"ok":false,"why":"references"}.
EMSCRIPTEN_KEEPALIVE const Result* zol_font_find(const unsigned char* image,
                                                 std::size_t size) {
  static Kept<std::string> out;
  web::Json j;
  j.Open('{');
  const References& r = KeptReferences();
  if (!r.matcher) {
    j.Field("ok", false).Field("why", "references");
    return out(j.Close('}').text());
  }
  j.Field("ok", true).Key("found").Open('[');
  for (const font::Found& f : font::FindFonts(*r.matcher, image, size))
    j.Open('{')
        .Field("layout", font::LayoutText(f.layout))
        .Field("score", static_cast<int>(f.score * 1000))
        .Close('}');
  return out(j.Close(']').Close('}').text());
}

}  // extern "C"
