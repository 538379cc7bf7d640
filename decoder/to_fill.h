// The glyphs still to fill: the codes the text window uses whose cell
// shows nothing that tells them apart (blank, empty, not Shift-JIS, or
// the same text as another cell), the most used first, each with where it
// occurs.  msgdump --to-fill prints them (msgdump/to_fill_text.h); the page
// lists them.
#ifndef ZOL_DECODER_TO_FILL_H
#define ZOL_DECODER_TO_FILL_H

#include <cstdint>
#include <string>
#include <vector>

#include "cells.h"
#include "table.h"
#include "window.h"

namespace decoder {

// A use of a code in the UTF-8 script: the text around it, its own text.
struct Use {
  std::string before, text, after;  // line breaks in before and after: ⏎
};

struct ToFill {
  unsigned index = 0;  // the code (c, or 256 + n)
  int entry = 0;       // its cell
  unsigned count = 0;  // how often the window uses it
  FillReason why = FillReason::kNone;
  int same_as = -1;         // for kSameAsAnother: the other cell
  std::uint32_t first = 0;  // offset of its first use
  std::vector<Use> uses;    // its first three uses
};

// The list for table and the window w, most used first (then by code).
std::vector<ToFill> GlyphsToFill(const GlyphTable& table, const Window& w);

}  // namespace decoder

#endif  // ZOL_DECODER_TO_FILL_H
