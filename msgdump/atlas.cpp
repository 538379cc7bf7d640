#include "atlas.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "cp932.h"

namespace msgdump {

namespace {

std::string Hex(unsigned byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4 & 15], kDigits[byte & 15]};
}

// The raw token of one byte.
std::string Raw(unsigned byte) { return "<$" + Hex(byte) + ">"; }

// Whether t is a proper prefix of some raw token <$XX> or ($XX).
bool PrefixOfRawToken(const std::string& t) {
  if (t.empty()) return false;
  for (const char* form : {"<$XX>", "($XX)"}) {
    bool prefix = t.size() < 5;
    for (std::size_t i = 0; prefix && i < t.size(); ++i)
      prefix = form[i] == 'X'
                   ? std::isxdigit(static_cast<unsigned char>(t[i])) != 0
                   : t[i] == form[i];
    if (prefix) return true;
  }
  return false;
}

// Whether code index ends a script line.
bool BreaksLine(unsigned index) {
  return index == 0x00 || index == 0x01 || index == 0x02 || index == 0x0B;
}

}  // namespace

ThingyTable MakeThingy(const GlyphTable& table) {
  // Every candidate line, as (text, code index); sorted, equal texts sit
  // together with the lowest code first, and a text that begins others sits
  // right before the first of them.
  std::vector<std::pair<std::string, unsigned>> lines;
  for (unsigned c = 0; c < 0x10; ++c) lines.emplace_back("<" + Hex(c) + ">", c);
  lines.emplace_back("<FFFF>", 256 + 0xFF);
  for (unsigned i = 0x10; i < 511; ++i) {
    if (i == 0xFF) continue;  // 0xFF alone is no code of the table
    const unsigned char* e = GlyphEntry(table, i);
    std::string text;
    if (cp932::ToUtf8(e, EntryLength(e), &text) && !text.empty() &&
        text.find_first_of("\r\n") == std::string::npos)
      lines.emplace_back(std::move(text), i);
  }
  std::sort(lines.begin(), lines.end());
  ThingyTable t;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& text = lines[k].first;
    if (k > 0 && lines[k - 1].first == text) continue;  // a lower code's
    std::size_t next = k + 1;
    while (next < lines.size() && lines[next].first == text) ++next;
    // Longest-match inserters would read a prefix's code as the longer one's.
    const bool prefix = next < lines.size() &&
                        lines[next].first.compare(0, text.size(), text) == 0;
    if (!prefix && !PrefixOfRawToken(text)) t.text[lines[k].second] = text;
  }
  return t;
}

std::string ThingyText(const ThingyTable& thingy) {
  std::string out;
  for (unsigned i = 0; i < 512; ++i) {
    if (thingy.text[i].empty()) continue;
    out +=
        (i < 256 ? Hex(i) : "FF" + Hex(i - 256)) + "=" + thingy.text[i] + "\n";
  }
  return out;
}

std::string AtlasScript(const ThingyTable& thingy, const Window& w) {
  std::string body;
  bool line_open = false;
  std::uint64_t last = std::uint64_t{w.start} - 1;  // no byte taken yet
  const WalkEnd end = MsgConv(w, [&](const Code& c) {
    const unsigned char* at = w.bytes.data() + (c.offset - w.start);
    if (!line_open) {
      char comment[24];
      std::snprintf(comment, sizeof comment, "//$%.6X\n", c.offset);
      body += comment;
    }
    const std::string& text = thingy.text[c.index];
    // Inserters read a line that starts with '#' as a command and one that
    // starts with "//" as a comment.
    const bool raw =
        text.empty() || (!line_open && (text[0] == '#' || text[0] == '/'));
    if (c.index < 0x10) {
      body += text;
      if (c.size == 2) body += Raw(at[1]);  // 0x05 and 0x0B's byte
    } else if (!raw) {
      body += text;
    } else {
      for (unsigned k = 0; k < c.size; ++k) body += Raw(at[k]);
    }
    line_open = !BreaksLine(c.index);
    if (!line_open) body += '\n';
    last = std::uint64_t{c.offset} + c.size - 1;
  });
  if (line_open) body += '\n';
  if (end == WalkEnd::kEndOfImage)
    body += "// [EOF]: the image ends inside the text window\n";
  char jmp[48];
  std::snprintf(jmp, sizeof jmp, "#JMP($%.6X, $%.6llX)\n", w.start,
                static_cast<unsigned long long>(last));
  return "#VAR(Script, TABLE)\n#ADDTBL(\"zolvane.tbl\", Script)\n"
         "#ACTIVETBL(Script)\n" +
         std::string(jmp) + body;
}

}  // namespace msgdump
