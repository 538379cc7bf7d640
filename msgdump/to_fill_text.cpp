// The glyphs to fill as msgdump --to-fill prints them.
#include "to_fill_text.h"

#include <cstdio>

#include "glyph_table.h"
#include "script.h"

namespace msgdump {

namespace {

// Why the code's glyph must be drawn, in the format's words: one a
// FillReason, in its order, with the other code after "same as".
std::string Why(const decoder::ToFill& f) {
  static constexpr const char* kWords[] = {"", "empty", "blank",
                                           "not Shift-JIS", "same as "};
  std::string why = kWords[static_cast<int>(f.why)];
  if (f.why == decoder::FillReason::kSameAsAnother)
    why += decoder::CodeKey(static_cast<unsigned>(
        glyph_table::CodeOfEntry(static_cast<unsigned>(f.same_as))));
  return why;
}

}  // namespace

std::string ToFillText(const std::vector<decoder::ToFill>& list) {
  std::string out;
  for (const decoder::ToFill& f : list) {
    char head[64];
    std::snprintf(head, sizeof head, "\t%u\t", f.count);
    char at[16];
    std::snprintf(at, sizeof at, "\t$%.6X\t", f.first);
    const decoder::Use& u = f.uses.front();
    out += decoder::CodeKey(f.index) + head + Why(f) + at + "\xE2\x80\xA6" +
           u.before + "\xC2\xAB" + u.text + "\xC2\xBB" + u.after +
           "\xE2\x80\xA6\n";
  }
  return out;
}

}  // namespace msgdump
