// The C API of the page's "Make it fit": the one call msginsert --pairs
// makes (translate/fit.h) over bytes the page hands in, its records as JSON
// and its files as bytes, as zolvane_api.cpp's calls answer.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "answer.h"
#include "bps.h"
#include "fit.h"
#include "font.h"
#include "insertion_json.h"
#include "json.h"
#include "script.h"

namespace {

using web::Json;
using web::Kept;
using web::Member;
using web::Result;

// The last fit, for zol_fit_file.
translate::Fit last_fit;

// rows as [[entry, ...], ...].
void Rows(Json& j, const std::vector<std::vector<int>>& rows) {
  j.Open('[');
  for (const std::vector<int>& row : rows) {
    j.Open('[');
    for (const int entry : row) j.Num(entry);
    j.Close(']');
  }
  j.Close(']');
}

// A code by the walk's index as the page names codes: "D1", "FF12".
std::string Key(int code) {
  return code < 0 ? std::string()
                  : decoder::CodeKey(static_cast<unsigned>(code));
}

}  // namespace

extern "C" {

// Makes the script fit the image with pairs, as msginsert --font LAYOUT
// --pairs does, with the original Thingy table; fill is the #FILL byte from
// the start (-1: the choice's blank), as_atlas inserts as Atlas does.
// {"layout": false} when layout is none; else {"layout": true, "ok",
// "pairs": [{"code", "text"}], "blank", "lines": [{"line", "offset",
// "budget", "before", "after", "fits", "original": rows, "patched": rows
// (when ok)}], "singles": [{"line", "offset", "char"}], "missing": [{"line",
// "offset", "byte"}], "undrawn" (the code whose glyph could not be drawn,
// or ""), "why" ("noRoom", "overKept", "pagesOverlap"), "insertion" (as
// zol_insert's)}, each line's rows the glyph entries the game shows for its
// bytes, one row per screen line.
EMSCRIPTEN_KEEPALIVE const Result* zol_fit(
    const unsigned char* image, std::size_t size, const char* script,
    std::size_t script_size, const char* table, std::size_t table_size,
    const char* layout, std::size_t layout_size, int fill, int as_atlas) {
  static Kept<std::string> out;
  Json j;
  j.Open('{');
  font::Layout l;
  font::LayoutError e;
  last_fit = translate::Fit{};
  if (!font::ParseLayout(std::string_view(layout, layout_size), &l, &e))
    return out(j.Field("layout", false).Close('}').text());
  const std::vector<unsigned char> original(image, image + size);
  last_fit = translate::MakeFit(std::string(script, script_size),
                                std::string(table, table_size), original, l,
                                translate::InsertOptions{fill, as_atlas != 0});
  const translate::Fit& f = last_fit;
  j.Members({Member{"layout", true}, Member{"ok", f.ok()}})
      .Key("pairs")
      .Open('[');
  for (int code = 0; code < static_cast<int>(f.choice.text.size()); ++code)
    if (!f.choice.text[code].empty())
      j.Open('{')
          .Members(
              {Member{"code", Key(code)}, Member{"text", f.choice.text[code]}})
          .Close('}');
  j.Close(']').Field("blank", Key(f.choice.blank)).Key("lines").Open('[');
  for (const translate::Fit::Line& line : f.lines) {
    j.Open('{')
        .Members({Member{"line", line.line}, Member{"offset", line.offset},
                  Member{"budget", line.budget}, Member{"before", line.before},
                  Member{"after", line.after}, Member{"fits", line.fits}})
        .Key("original");
    Rows(j, translate::ShownRows(original, line.offset, line.budget));
    if (f.ok()) {
      j.Key("patched");
      Rows(j, translate::ShownRows(f.patched, line.offset, line.budget));
    }
    j.Close('}');
  }
  j.Close(']').Key("singles").Open('[');
  for (const translate::PairPlace& p : f.choice.singles)
    j.Open('{')
        .Members({Member{"line", p.line}, Member{"offset", p.offset},
                  Member{"char", std::string(1, p.what)}})
        .Close('}');
  j.Close(']').Key("missing").Open('[');
  for (const translate::PairPlace& p : f.choice.missing)
    j.Open('{')
        .Members({Member{"line", p.line}, Member{"offset", p.offset},
                  Member{"byte", static_cast<unsigned char>(p.what)}})
        .Close('}');
  static constexpr const char* kWhy[] = {"noRoom", "overKept", "pagesOverlap"};
  j.Close(']')
      .Members({Member{"undrawn", Key(f.undrawn)},
                Member{"why", kWhy[static_cast<int>(f.why)]}})
      .Key("insertion");
  web::InsertionJson(j, f.inserted, f.insertion);
  return out(j.Close('}').text());
}

// A file of the last zol_fit, as msginsert writes it: 0 english.tbl, 1
// zol_00.txt, 2 zol_01.txt, 3 the patched image, 4 the BPS patch from image
// to it; the image and the patch are empty when the fit did not go in.
EMSCRIPTEN_KEEPALIVE const Result* zol_fit_file(const unsigned char* image,
                                                std::size_t size, int which) {
  static Kept<std::string> out;
  const translate::Fit& f = last_fit;
  std::string bytes;
  if (which == 0) bytes = f.table;
  if (which == 1 || which == 2) bytes = f.grid[which - 1];
  if (which == 3) bytes.assign(f.patched.begin(), f.patched.end());
  if (which == 4 && f.ok()) {
    const std::vector<unsigned char> patch = translate::MakeBps(
        std::vector<unsigned char>(image, image + size), f.patched);
    bytes.assign(patch.begin(), patch.end());
  }
  return out(std::move(bytes));
}

}  // extern "C"
