// glyphpack's warnings about a grid, in its words.
#include "warnings.h"

#include <string>

#include "message.h"
#include "shell.h"

namespace glyphpack {

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
  for (const grids::Finding& f : grids::FindingsOf(report, 0)) {
    switch (f.kind) {
      case grids::FindingKind::kLineEnd:
        warn(line(f.line), std::string("line does not end in CR LF; ") +
                               kOutOfStep + "; give every line CR LF: " +
                               shell::FixLineEnds(name) + kOrPage);
        break;
      case grids::FindingKind::kUtf8:
        warn(at, std::string("looks like UTF-8") +
                     (f.bom ? " (it starts with a byte order mark)" : "") +
                     "; save it as Shift-JIS (CP932): " +
                     shell::ConvertToShiftJis(name, f.bom) + kOrPage);
        break;
      case grids::FindingKind::kUtf8LineEnd:
        warn(line(f.line), std::string("line does not end in CR LF; ") +
                               kOutOfStep +
                               "; after that, give every line CR LF: " +
                               shell::FixLineEnds(name));
        break;
      case grids::FindingKind::kLineEndCell:
        warn(line(f.line),
             Format("line holds %zu bytes, not 32; its line end is read as "
                    "column %d",
                    f.count, f.column));
        break;
      case grids::FindingKind::kLastLineLong:
        warn(line(f.line),
             Format("line holds %zu bytes, not 32; only the first 32 are read",
                    f.count));
        break;
      case grids::FindingKind::kLineLength:
        warn(line(f.line),
             Format("line holds %zu bytes, not 32; ", f.count) + kOutOfStep);
        break;
      case grids::FindingKind::kSplitCell:
        warn(line(f.line),
             Format("column %d holds %.2X %.2X, not one Shift-JIS character "
                    "or two single-byte ones; a half-width character before "
                    "it shifts the cells after it",
                    f.column, f.bytes[0], f.bytes[1]));
        break;
      case grids::FindingKind::kIncomplete:
        warn(at,
             Format("only %zu of 16 rows are complete; the rest are left empty",
                    f.count));
        break;
    }
  }
  if (more > 0) message::Say(at, Format("... and %d more", more));
}

}  // namespace glyphpack
