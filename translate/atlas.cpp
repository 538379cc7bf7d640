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

// The raw token scripts are written with: <$XX>.
const std::string& Raw(unsigned byte) { return RawTokens()[byte].text; }

// Whether t is a proper prefix of a raw token.
bool PrefixOfRawToken(const std::string& t) {
  if (t.empty() || t.size() >= 5 || (t[0] != '<' && t[0] != '('))
    return false;  // (the tokens are 5 bytes, in <> or ())
  return std::any_of(
      RawTokens().begin(), RawTokens().end(),
      [&](const RawToken& r) { return r.text.compare(0, t.size(), t) == 0; });
}

}  // namespace

const std::vector<RawToken>& RawTokens() {
  static const std::vector<RawToken> tokens = [] {
    std::vector<RawToken> t;
    for (const char* form : {"<$%s>", "($%s)"})
      for (unsigned v = 0; v < 256; ++v) {
        char s[8];
        std::snprintf(s, sizeof s, form, Hex(v).c_str());
        t.push_back({s, static_cast<unsigned char>(v)});
      }
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(c));
      return s;
    };
    for (unsigned v = 0; v < 256; ++v) {
      if ((v & 0x0F) >= 0x0A) t.push_back({lower(t[v].text), t[v].byte});
      if ((v & 0x0F) == 0x0A)
        t.push_back({lower(t[256 + v].text), t[256 + v].byte});
    }
    return t;
  }();
  return tokens;
}

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
    "// bytes it fills (#JMP, first and last) and a copy to translate; the\n"
    "// line's break (<00>, <01>, <02>, <0B><$XX>) follows in a #JMP of its\n"
    "// own, to be left as it is.\n"
    "// Translate under each original, within its bytes: the game expects\n"
    "// every line where it is, and text past a line's last byte is cut.\n"
    "// To pad shorter lines, add #FILL($XX) before the first #JMP, with XX\n"
    "// the one-byte code of a blank glyph: the padding goes between the\n"
    "// text and its break.\n"
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

  // The blocks: each line's text, then its break in a block of its own
  // (trailing it) with the breaks of the empty lines after it.
  struct Block {
    std::uint64_t first = 0, last = 0;
    std::string text;
    bool breaks = false;    // of break codes alone
    bool trailing = false;  // right after a line's text, with no comments
  };
  std::vector<Block> blocks;
  Block text;  // the current line's text so far
  for (std::size_t k = 0; k < tail; ++k) {
    const Code& c = codes[k];
    const std::string& t = thingy.text[c.index];
    std::string token;
    if (c.index < 0x10) {
      token = t;
      if (c.size == 2) token += Raw(byte(c.offset + 1));  // 05, 0B's byte
    } else if (!t.empty() && !(text.text.empty() && BadStart(t))) {
      token = t;
    } else {
      for (unsigned i = 0; i < c.size; ++i) token += Raw(byte(c.offset + i));
    }
    const bool breaks = c.index == 0x00 || c.index == 0x01 || c.index == 0x02 ||
                        c.index == 0x0B;
    if (!breaks) {
      if (text.text.empty()) text.first = c.offset;
      text.text += token;
      text.last = end_of(c);
    } else if (!text.text.empty()) {
      blocks.push_back(text);
      text = Block{};
      blocks.push_back({c.offset, end_of(c), token, true, true});
    } else if (!blocks.empty() && blocks.back().breaks) {
      blocks.back().text += token;
      blocks.back().last = end_of(c);
    } else {
      blocks.push_back({c.offset, end_of(c), token, true, false});
    }
  }
  if (!text.text.empty()) blocks.push_back(text);

  for (const Block& block : blocks) {
    const std::string jmp =
        "#JMP(" + Offset(block.first) + ", " + Offset(block.last) + ")\n";
    out += block.trailing ? jmp + block.text + "\n"
                          : "\n//" + Offset(block.first) + "\n//" + block.text +
                                "\n" + jmp + block.text + "\n";
  }
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

}  // namespace translate
