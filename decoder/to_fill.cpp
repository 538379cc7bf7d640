// The glyphs still to fill, and their list as msgdump --to-fill prints it.
#include "to_fill.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "script.h"
#include "walk.h"

namespace decoder {

namespace {

constexpr std::size_t kAround = 12;  // characters shown either side of a use
constexpr std::size_t kUses = 3;     // uses kept per code

bool Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
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

std::vector<ToFill> GlyphsToFill(const GlyphTable& table, const Cells& cells,
                                 const Window& w) {
  static Renderings r;
  Render(table, Encoding::kUtf8, &r);
  struct Seen {
    unsigned count = 0;
    std::uint32_t first = 0;
    std::vector<std::pair<std::size_t, std::size_t>> at;  // in the script
  };
  std::array<Seen, glyph_table::kCodes> seen{};
  std::array<bool, glyph_table::kCodes> wanted{};
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    const int e = glyph_table::EntryOfCode(i);
    wanted[i] = e >= 0 && WhyToFill(cells[static_cast<std::size_t>(e)]);
  }
  std::string script;
  MsgConv(w, [&](const Code& c) {
    const Renderings::Text& t = r.code[c.index];
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
    f.why = WhyToFill(cell);
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

std::string ToFillText(const std::vector<ToFill>& list) {
  std::string out;
  for (const ToFill& f : list) {
    std::string why = f.why;
    if (why == "same")
      why = "same as " + CodeKey(static_cast<unsigned>(glyph_table::CodeOfEntry(
                             static_cast<unsigned>(f.same_as))));
    char head[64];
    std::snprintf(head, sizeof head, "\t%u\t", f.count);
    char at[16];
    std::snprintf(at, sizeof at, "\t$%.6X\t", f.first);
    const Use& u = f.uses.front();
    out += CodeKey(f.index) + head + why + at + "\xE2\x80\xA6" + u.before +
           "\xC2\xAB" + u.text + "\xC2\xBB" + u.after + "\xE2\x80\xA6\n";
  }
  return out;
}

}  // namespace decoder
