// glyphpack's warnings about a grid, in its words.
#include "warnings.h"

#include <string>

#include "message.h"
#include "shell.h"

namespace glyphpack {

using glyph_table::kGridSide;
using message::Format;

void WarnAboutGrid(const char* name, const grids::GridReport& report) {
  // At most 16 lines, then a count of the rest.
  constexpr int kMaxLines = 16;
  int lines = 0;
  int more = 0;
  auto warn = [&](const std::string& subject, const std::string& text) {
    if (lines == kMaxLines) {
      ++more;
      return;
    }
    ++lines;
    message::Say(subject, text);
  };
  const std::string at = name;
  auto line = [&](int n) { return at + ":" + std::to_string(n); };
  constexpr char kOutOfStep[] =
      "rows are read every 34 bytes, so this page is out of step";
  constexpr char kOrPage[] = ", or open it in zolvane-tools.html";
  if (report.bad_ending_line != 0 && !report.utf8)
    warn(line(report.bad_ending_line),
         std::string("line does not end in CR LF; ") + kOutOfStep +
             "; give every line CR LF: " + shell::FixLineEnds(name) + kOrPage);
  if (report.utf8) {
    warn(at,
         std::string("looks like UTF-8") +
             (report.utf8_bom ? " (it starts with a byte order mark)" : "") +
             "; save it as Shift-JIS (CP932): " +
             shell::ConvertToShiftJis(name, report.utf8_bom) + kOrPage);
    if (report.bad_ending_line != 0)
      warn(line(report.bad_ending_line),
           std::string("line does not end in CR LF; ") + kOutOfStep +
               "; after that, give every line CR LF: " +
               shell::FixLineEnds(name));
  } else if (report.line_end_column != 0) {
    warn(line(report.bad_length_line),
         Format("line holds %zu bytes, not 32; its line end is read as "
                "column %d",
                report.bad_length, report.line_end_column));
  } else if (report.bad_length_line == static_cast<int>(kGridSide) &&
             report.bad_length > glyph_table::kRowBytes) {
    // Nothing is read after the last row: its extra bytes shift nothing.
    warn(line(report.bad_length_line),
         Format("line holds %zu bytes, not 32; only the first 32 are read",
                report.bad_length));
  } else if (report.bad_length_line != 0) {
    warn(line(report.bad_length_line),
         Format("line holds %zu bytes, not 32; ", report.bad_length) +
             kOutOfStep);
  }
  if (!report.utf8)
    for (const grids::SplitCell& s : report.split_cells)
      warn(line(s.line),
           Format("column %d holds %.2X %.2X, not one Shift-JIS character or "
                  "two single-byte ones; a half-width character before it "
                  "shifts the cells after it",
                  s.column, s.bytes[0], s.bytes[1]));
  if (report.complete_rows < static_cast<int>(kGridSide))
    warn(at, Format("only %d of 16 rows are complete; the rest are left empty",
                    report.complete_rows));
  if (more > 0) message::Say(at, Format("... and %d more", more));
}

}  // namespace glyphpack
