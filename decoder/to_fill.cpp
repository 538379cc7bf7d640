// The glyphs still to fill: the codes the window uses whose cells need drawing.
#include "to_fill.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "script.h"
#include "utf8.h"
#include "walk.h"

namespace decoder {

namespace {

constexpr std::size_t kAround = 12;  // characters shown either side of a use
constexpr std::size_t kUses = 3;     // uses kept per code

bool Continuation(char c) {
  return utf8::Continuation(static_cast<unsigned char>(c));
}

// text with its line breaks shown as ⏎.
std::string Flat(const std::string& text) {
  std::string flat;
  for (const char c : text)
    flat += c == '\n' ? std::string("\xE2\x8F\x8E") : std::string(1, c);
  return flat;
}
// At most kAround characters of text ending at `to`, flat.
std::string Before(const std::string& text, std::size_t to) {
  std::size_t from = to;
  for (std::size_t n = 0; n < kAround && from > 0; ++n) {
    --from;
    while (from > 0 && Continuation(text[from])) --from;
  }
  return Flat(text.substr(from, to - from));
}
// At most kAround characters of text starting at `from`, flat.
std::string After(const std::string& text, std::size_t from) {
  std::size_t to = from;
  for (std::size_t n = 0; n < kAround && to < text.size(); ++n) {
    ++to;
    while (to < text.size() && Continuation(text[to])) ++to;
  }
  return Flat(text.substr(from, to - from));
}

}  // namespace

std::vector<ToFill> GlyphsToFill(const GlyphTable& table, const Window& w) {
  const Cells cells = CellsOf(table);
  const auto r = std::make_unique<Renderings>();
  Render(table, Encoding::kUtf8, r.get());
  struct Seen {
    unsigned count = 0;
    std::uint32_t first = 0;
    std::vector<std::pair<std::size_t, std::size_t>> at;  // in the script
  };
  std::array<Seen, glyph_table::kCodes> seen{};
  std::array<bool, glyph_table::kCodes> wanted{};
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    const int e = glyph_table::EntryOfCode(i);
    wanted[i] = e >= 0 && ReasonToFill(cells[static_cast<std::size_t>(e)]) !=
                              FillReason::kNone;
  }
  std::string script;
  MsgConv(w, [&](const Code& c) {
    const Renderings::Text& t = r->code[c.index];
    if (wanted[c.index]) {
      Seen& s = seen[c.index];
      if (s.count++ == 0) s.first = c.offset;
      if (s.at.size() < kUses) s.at.emplace_back(script.size(), t.size);
    }
    script.append(reinterpret_cast<const char*>(t.bytes), t.size);
  });

  std::vector<ToFill> list;
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    if (seen[i].count == 0) continue;
    ToFill f;
    f.index = i;
    f.entry = glyph_table::EntryOfCode(i);
    const Cell& cell = cells[static_cast<std::size_t>(f.entry)];
    f.count = seen[i].count;
    f.why = ReasonToFill(cell);
    f.same_as = cell.same_as;
    f.first = seen[i].first;
    for (const auto& [at, size] : seen[i].at)
      f.uses.push_back({Before(script, at), Flat(script.substr(at, size)),
                        After(script, at + size)});
    list.push_back(std::move(f));
  }
  // Most used first; among equals the codes stay in order.
  std::stable_sort(
      list.begin(), list.end(),
      [](const ToFill& a, const ToFill& b) { return a.count > b.count; });
  return list;
}

}  // namespace decoder
