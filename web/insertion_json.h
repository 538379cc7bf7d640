// The inserter's report as the page reads it, written once for the two
// calls that insert (zol_insert, zol_fit).
#ifndef ZOL_WEB_INSERTION_JSON_H
#define ZOL_WEB_INSERTION_JSON_H

#include "insert.h"
#include "json.h"

namespace web {

// The names the page knows the inserter's kinds by, in the order of the
// enum.
inline const char* KindOf(translate::Insertion::Kind kind) {
  static constexpr const char* kNames[] = {
      "cut",           "shorterLeft", "noText",       "lostBreak",
      "outsideWindow", "overlap",     "notEncodable", "lowerCaseToken",
      "notUtf8",       "lineEnds",    "badNumber",    "outsideImage",
      "fillBeyond",    "noBlock",     "syntax"};
  return kNames[static_cast<int>(kind)];
}

// {"ok", "fillLine", "fill" (the script's first #FILL, which wins),
// "blocks": [{"line", "start", "bound", "budget", "text", "written",
// "padded", "fill", "left"}, ...], "problems": [{"line", "inTable", "what",
// "block", "warning", "kind" (KindOf's name), "offset", "budget",
// "imageSize"}, ...]}.
inline void InsertionJson(Json& j, bool ok,
                          const translate::Insertion& report) {
  j.Open('{')
      .Members({Member{"ok", ok}, Member{"fillLine", report.fill_line},
                Member{"fill", report.fill}})
      .Key("blocks")
      .Open('[');
  for (const translate::Insertion::Block& b : report.blocks)
    j.Open('{')
        .Members({Member{"line", b.line}, Member{"start", b.start},
                  Member{"bound", b.bound}, Member{"budget", b.budget},
                  Member{"text", b.text}, Member{"written", b.written},
                  Member{"padded", b.padded}, Member{"fill", b.fill},
                  Member{"left", b.left}})
        .Close('}');
  j.Close(']').Key("problems").Open('[');
  for (const translate::Insertion::Problem& p : report.problems)
    j.Open('{')
        .Members({Member{"line", p.line}, Member{"inTable", p.in_table},
                  Member{"what", p.what}, Member{"block", p.block},
                  Member{"warning", p.warning}, Member{"kind", KindOf(p.kind)},
                  Member{"offset", p.offset}, Member{"budget", p.budget},
                  Member{"imageSize", p.image_size}})
        .Close('}');
  j.Close(']').Close('}');
}

}  // namespace web

#endif  // ZOL_WEB_INSERTION_JSON_H
