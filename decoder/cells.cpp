// What each cell of a table shows, and whether it tells its code apart.
#include "cells.h"

#include <map>

#include "cp932.h"
#include "script.h"

namespace decoder {

Cells CellsOf(const GlyphTable& table) {
  Cells cells;
  std::map<std::string, int> first;  // text -> the lowest entry showing it
  for (unsigned e = 0; e < glyph_table::kEntries; ++e) {
    Cell& c = cells[e];
    const unsigned char* bytes = table.entry[e];
    const std::size_t size = EntryLength(bytes);
    c.code = glyph_table::CodeOfEntry(e);
    c.unreachable = c.code < 0;
    c.control = e < glyph_table::kControlCodes;
    if (!c.unreachable || c.control)
      c.name = CodeName(c.unreachable ? e : static_cast<unsigned>(c.code));
    c.page = static_cast<int>(e / glyph_table::kPageEntries);
    c.line = static_cast<int>(e % glyph_table::kPageEntries /
                              glyph_table::kGridSide) +
             1;
    c.column = static_cast<int>(e % glyph_table::kGridSide) + 1;
    c.empty = size == 0;
    c.not_cp932 = !cp932::ToUtf8(bytes, size, &c.text);
    if (c.not_cp932) c.text = "\xEF\xBF\xBD";  // U+FFFD
    c.blank = !c.empty && !c.not_cp932 &&
              (c.text == "\xE3\x80\x80" ||  // U+3000, the full-width space
               c.text.find_first_not_of(' ') == std::string::npos);
    if (c.unreachable || c.empty || c.blank) continue;
    // Texts that are no CP932 are told apart by their bytes.
    const std::string key =
        c.not_cp932 ? std::string(reinterpret_cast<const char*>(bytes), size)
                    : c.text;
    const auto [at, fresh] = first.emplace(key, static_cast<int>(e));
    if (!fresh) {
      c.same_as = at->second;
      Cell& earlier = cells[static_cast<std::size_t>(at->second)];
      if (earlier.same_as < 0) earlier.same_as = static_cast<int>(e);
    }
  }
  return cells;
}

FillReason ReasonToFill(const Cell& cell) {
  if (cell.empty) return FillReason::kEmpty;
  if (cell.blank) return FillReason::kBlank;
  if (cell.not_cp932) return FillReason::kNotShiftJis;
  if (cell.same_as >= 0) return FillReason::kSameAsAnother;
  return FillReason::kNone;
}

}  // namespace decoder
