// The Thingy table and the Atlas script of a window.
#include "atlas.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "cp932.h"

namespace translate {

using decoder::Code;
using decoder::EntryLength;
using decoder::GlyphEntry;
using decoder::MsgConv;
using decoder::WalkEnd;

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

namespace {

// The header: how to translate, and the table.
constexpr char kHeader[] =
    "// The text window of a Zolvane ROM image, from msgdump --atlas, for\n"
    "// Atlas with the table zolvane.tbl from msgdump --thingy.  One block\n"
    "// per line of the script: its offset, the original as a comment, the\n"
    "// bytes it fills (#JMP, first and last) and a copy to translate.\n"
    "// Translate under each original, within its bytes: the game expects\n"
    "// every line where it is, and text past a line's last byte is cut.\n"
    "// To pad shorter lines, add #FILL($XX) before the first #JMP, with XX\n"
    "// the one-byte code of a blank glyph.\n"
    "#VAR(Script, TABLE)\n"
    "#ADDTBL(\"zolvane.tbl\", Script)\n"
    "#ACTIVETBL(Script)\n";

constexpr std::size_t kFillRun = 16;  // a shorter run stays text

std::string Offset(std::uint64_t at) {
  char s[16];
  std::snprintf(s, sizeof s, "$%.6llX", static_cast<unsigned long long>(at));
  return s;
}

// Whether a line that starts with text would be read as a command, a
// comment or nothing: blanks, '#' or '/' first.
bool BadStart(const std::string& text) {
  return text[0] == ' ' || text[0] == '\t' || text[0] == '#' || text[0] == '/';
}

}  // namespace

std::string AtlasScript(const ThingyTable& thingy, const Window& w) {
  std::vector<Code> codes;
  const WalkEnd end = MsgConv(w, [&](const Code& c) { codes.push_back(c); });
  std::string out = kHeader;
  if (codes.empty()) {
    return out + "\n// The image holds none of the text window (" +
           Offset(w.start) + " to " + Offset(w.end) + "): nothing to insert.\n";
  }
  auto byte = [&](std::uint64_t offset) { return w.bytes[offset - w.start]; };
  auto end_of = [](const Code& c) {
    return std::uint64_t{c.offset} + c.size - 1;
  };
  const std::uint64_t last = end_of(codes.back());  // the last byte taken

  // The padding at the end: the first code from which every byte taken is
  // the last one's value, if that makes kFillRun bytes or more.
  std::size_t tail = codes.size();
  for (; tail > 0; --tail) {
    const Code& c = codes[tail - 1];
    if (byte(c.offset) != byte(last) || byte(end_of(c)) != byte(last)) break;
  }
  if (tail == codes.size() || last + 1 - codes[tail].offset < kFillRun)
    tail = codes.size();

  // The blocks: lines up to a line-break code, a run of lines of nothing
  // but those as one.
  struct Block {
    std::uint64_t first = 0, last = 0;
    std::string text;
    bool breaks_only = true;
  };
  std::vector<Block> blocks;
  Block line;
  auto add = [&] {
    if (line.text.empty()) return;
    if (!blocks.empty() && blocks.back().breaks_only && line.breaks_only) {
      blocks.back().text += line.text;
      blocks.back().last = line.last;
    } else {
      blocks.push_back(line);
    }
    line = Block{};
  };
  for (std::size_t k = 0; k < tail; ++k) {
    const Code& c = codes[k];
    if (line.text.empty()) line.first = c.offset;
    const std::string& t = thingy.text[c.index];
    if (c.index < 0x10) {
      line.text += t;
      if (c.size == 2) line.text += Raw(byte(c.offset + 1));  // 05, 0B's byte
    } else if (!t.empty() && !(line.text.empty() && BadStart(t))) {
      line.text += t;
    } else {
      for (unsigned i = 0; i < c.size; ++i)
        line.text += Raw(byte(c.offset + i));
    }
    const bool breaks = c.index == 0x00 || c.index == 0x01 || c.index == 0x02 ||
                        c.index == 0x0B;
    line.breaks_only = line.breaks_only && breaks;
    line.last = end_of(c);
    if (breaks) add();
  }
  add();

  for (const Block& block : blocks)
    out += "\n//" + Offset(block.first) + "\n//" + block.text + "\n#JMP(" +
           Offset(block.first) + ", " + Offset(block.last) + ")\n" +
           block.text + "\n";
  if (tail < codes.size()) {
    const std::uint64_t from = codes[tail].offset;
    const std::string fill = "$" + Hex(byte(last));
    out += "\n//" + Offset(from) + ": " + std::to_string(last + 1 - from) +
           " bytes of " + fill + " to the end, written by #FILL\n#JMP(" +
           Offset(from) + ", " + Offset(last) + ")\n#FILL(" + fill + ")\n";
  }
  if (end == WalkEnd::kEndOfImage)
    out += "\n// [EOF]: the image ends inside the text window\n";
  return out;
}

std::size_t TranslatedLine(std::string_view script) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= script.size();) {
    std::size_t end = script.find('\n', at);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    at = end + 1;
  }
  auto starts = [](std::string_view line, std::string_view with) {
    return line.substr(0, with.size()) == with;
  };
  // A block as AtlasScript writes it: //$offset, //original, #JMP, then
  // the copy alone up to a blank line.
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
    if (!starts(lines[i], "#JMP(") || !starts(lines[i - 2], "//$") ||
        !starts(lines[i - 1], "//"))
      continue;
    if (lines[i + 1] != lines[i - 1].substr(2)) return i + 2;
    if (i + 2 < lines.size() && !lines[i + 2].empty()) return i + 3;
  }
  return 0;
}

}  // namespace translate
