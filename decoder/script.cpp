// Every code's rendering, and the script of a window.
#include "script.h"

#include <cstdio>
#include <cstring>

#include "banner.h"
#include "cp932.h"

namespace decoder {

namespace {

using Text = Renderings::Text;

Text Fixed(const char* s) {
  Text r{};
  r.size = static_cast<unsigned char>(std::strlen(s));
  std::memcpy(r.bytes, s, r.size);
  return r;
}

Text Hex(unsigned c) {
  char s[8];
  std::snprintf(s, sizeof s, "[%.2X]", c);
  return Fixed(s);
}

// The fixed texts the control codes print, in each encoding.
struct Fixeds {
  const char* samoruta;   // さもるた
  const char* rotan;      // ロタン
  const char* questions;  // ？？
};
constexpr Fixeds kShiftJisTexts = {"\x82\xB3\x82\xE0\x82\xE9\x82\xBD",
                                   "\x83\x8D\x83\x5E\x83\x93",
                                   "\x81\x48\x81\x48"};
constexpr Fixeds kUtf8Texts = {
    "\xE3\x81\x95\xE3\x82\x82\xE3\x82\x8B\xE3\x81\x9F",
    "\xE3\x83\xAD\xE3\x82\xBF\xE3\x83\xB3", "\xEF\xBC\x9F\xEF\xBC\x9F"};
constexpr char kEof[] = "[EOF]";

}  // namespace

void Render(const GlyphTable& table, Encoding encoding, Renderings* r) {
  const Fixeds& f = encoding == Encoding::kUtf8 ? kUtf8Texts : kShiftJisTexts;
  std::memset(r->not_cp932, 0, sizeof r->not_cp932);
  Text* const code = r->code;
  for (unsigned c = 0; c < glyph_table::kControlCodes; ++c)
    if (BreaksLine(c)) code[c] = Fixed("\n");
  code[0x03] = Hex(0x03);
  code[0x04] = Hex(0x04);
  code[0x05] = code[0x08] = code[0x0F] = Fixed("");
  code[0x06] = Fixed(f.samoruta);
  code[0x07] = Fixed(f.rotan);
  code[0x09] = code[0x0C] = Fixed(f.questions);
  code[0x0A] = Hex(0x0A);
  code[0x0D] = Hex(0x0D);
  code[0x0E] = Hex(0x0E);
  code[0xFF] = Fixed("");        // 0xFF with no byte after it (image's end)
  code[256 + 0xFF] = Fixed("");  // 0xFF 0xFF prints nothing
  for (unsigned i = 0x10; i < 511; ++i) {
    if (i == 0xFF) continue;
    const unsigned char* e = GlyphEntry(table, i);
    const std::size_t size = EntryLength(e);
    if (encoding == Encoding::kShiftJis) {
      code[i] = Text{};
      std::memcpy(code[i].bytes, e, size);
      code[i].size = static_cast<unsigned char>(size);
      continue;
    }
    std::string utf8;
    if (!cp932::ToUtf8(e, size, &utf8)) {
      r->not_cp932[i] = true;
      utf8 = "\xEF\xBF\xBD";  // U+FFFD
    }
    code[i] = Fixed(utf8.c_str());
  }
}

Script RenderScript(const Renderings& r, const Window& w) {
  // Every code takes at least one of the window's bytes and prints at most
  // 15; each is copied as 16 bytes, of which its size are kept, since one
  // fixed-size copy is cheaper than a copy of varying length.
  Script s;
  s.bytes.reset(new char[w.bytes.size() * 16 + 16 + sizeof kEof]);
  char* const base = s.bytes.get();
  std::size_t fill = 0;
  s.end = MsgConv(w, [&](const Code& c) {
    const Text* t = r.code + c.index;
    std::memcpy(base + fill, t, sizeof *t);
    fill += t->size;
  });
  if (s.end == WalkEnd::kEndOfImage) {
    std::memcpy(base + fill, kEof, sizeof kEof - 1);
    fill += sizeof kEof - 1;
  }
  s.size = fill;
  return s;
}

std::vector<unsigned> CodesNotCp932(const Renderings& r, const Window& w) {
  bool seen[512] = {};
  MsgConv(w, [&](const Code& c) { seen[c.index] = r.not_cp932[c.index]; });
  std::vector<unsigned> codes;
  for (unsigned i = 0; i < 512; ++i)
    if (seen[i]) codes.push_back(i);
  return codes;
}

std::string ScriptHead() {
  char banner[128];
  std::snprintf(banner, sizeof banner, kBannerFormat, kInterfaceVersion);
  char loading[128];
  std::snprintf(loading, sizeof loading, kLoadingFormat,
                glyph_table::kFileName);
  return std::string(banner) + kCredit + loading + "\n";
}

std::vector<unsigned char> Utf16Units(const Renderings& r) {
  std::vector<unsigned char> units(glyph_table::kCodes);
  for (unsigned i = 0; i < glyph_table::kCodes; ++i)
    for (unsigned k = 0; k < r.code[i].size; ++k)
      units[i] += (r.code[i].bytes[k] & 0xC0) != 0x80;  // BMP only
  return units;
}

std::string CodeKey(unsigned index) {
  char s[16];
  if (index < 256)
    std::snprintf(s, sizeof s, "%.2X", index);
  else
    std::snprintf(s, sizeof s, "FF%.2X", index - 256);
  return s;
}

std::string CodeName(unsigned index) {
  const std::string key = CodeKey(index);
  return index < 256 ? "0x" + key : "0xFF 0x" + key.substr(2);
}

}  // namespace decoder
