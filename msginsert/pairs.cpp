// msginsert --pairs: the choice, its files and glyphs, and its report.
#include "pairs.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "cp932.h"
#include "glyph_table.h"
#include "message.h"
#include "window.h"

namespace msginsert {

namespace {

using message::Format;

// The glyph table the Thingy table's lines stand for: each code's cell
// its text in CP932 (a code without a line, or not one double-byte
// character, drawn blank).
decoder::GlyphTable GlyphsOf(const translate::ThingyTable& thingy) {
  decoder::GlyphTable table{};
  for (auto& cell : table.entry) {  // a blank cell: the full-width space
    cell[0] = 0x81;
    cell[1] = 0x40;
  }
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    const int entry = glyph_table::EntryOfCode(i);
    std::string bytes;
    char32_t bad = 0;
    if (entry < 0 || thingy.text[i].empty() ||
        !cp932::FromUtf8(thingy.text[i], &bytes, &bad, nullptr) ||
        bytes.size() != glyph_table::kEntryBytes)
      continue;
    for (std::size_t k = 0; k < bytes.size(); ++k)
      table.entry[entry][k] = static_cast<unsigned char>(bytes[k]);
  }
  return table;
}

std::string Where(const translate::PairPlace& p) {
  return Format("$%06X", static_cast<unsigned>(p.offset));
}

}  // namespace

Pairs ChooseAndReport(const std::string& script, const std::string& table,
                      int fill, const std::vector<unsigned char>& image,
                      const std::string& script_name) {
  const translate::ThingyTable thingy = translate::ReadThingy(table);
  translate::CodeSet kept;  // (the padding stays blank)
  const std::vector<translate::PairLine> lines =
      translate::PairLinesOf(script, thingy, &kept);
  if (fill >= 0) kept.set(static_cast<std::size_t>(fill));
  Pairs pairs;
  pairs.choice = translate::ChoosePairs(
      lines, kept | translate::CodesOutside(image, lines));
  const translate::PairChoice& c = pairs.choice;
  pairs.table = translate::PairThingyText(thingy, c);
  const decoder::GlyphTable glyphs = GlyphsOf(thingy);
  for (int page = 0; page < 2; ++page)
    pairs.grid[page] = translate::PairGrid(glyphs, c, page);

  auto subject = [&](int line) {
    return script_name + ":" + std::to_string(line);
  };
  for (std::size_t k = 0; k < lines.size(); ++k) {
    bool english = false;
    for (const translate::PairLine::Piece& p : lines[k].pieces)
      english = english || !p.raw;
    if (!english) continue;
    const translate::PairChoice::Line& l = c.lines[k];
    message::Say(
        subject(lines[k].line),
        Format("$%06X (%zu bytes): %zu bytes of text, %zu in pairs%s",
               static_cast<unsigned>(lines[k].offset), lines[k].budget,
               l.before, l.after,
               l.after > lines[k].budget ? "; still does not fit" : ""));
  }
  for (const translate::PairPlace& p : c.singles)
    message::Say(subject(p.line),
                 Where(p) + Format(": '%c' stands alone in its glyph", p.what));
  for (const translate::PairPlace& p : c.missing)
    message::Say(subject(p.line),
                 Where(p) + (p.what >= 0x20 && p.what <= 0x7E
                                 ? Format(": '%c' gets no code: every glyph "
                                          "code is taken",
                                          p.what)
                                 : std::string(": a character that is not "
                                               "printable ASCII gets no "
                                               "code")));
  return pairs;
}

bool DrawPairs(const font::Layout& layout, const translate::PairChoice& choice,
               const std::string& image_name,
               std::vector<unsigned char>* image) {
  const std::size_t size = font::GlyphBytes(layout.format);
  const unsigned ink = layout.format == font::Format::k1bpp   ? 1
                       : layout.format == font::Format::k2bpp ? 3
                                                              : 15;
  // What a glyph may not cover: the text window, the cartridge's own
  // header (LoROM and HiROM) and, where the pages overlap, the other page.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> kept = {
      {decoder::kWindowStart, decoder::kWindowEnd + 1},
      {0x7FB0, 0x8000},
      {0xFFB0, 0x10000}};
  const std::uint64_t one_byte_end = layout.offset + 240 * size;
  if (layout.has_kanji && layout.offset < image->size() &&
      layout.kanji < image->size() && layout.kanji < one_byte_end &&
      layout.offset < layout.kanji + 254 * size)
    kept.emplace_back(0, std::numeric_limits<std::uint64_t>::max());
  std::vector<std::pair<std::uint64_t, translate::Tile>> glyphs;
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    if (choice.text[i].empty()) continue;
    const int entry = glyph_table::EntryOfCode(i);
    std::uint64_t at = 0;
    const char* why = nullptr;  // with the layout and the code
    if (entry < 0 ||
        !font::GlyphOffset(layout, static_cast<unsigned>(entry), &at) ||
        at > image->size() || image->size() - at < size)
      why = "the font %s has no room for code %s's glyph";
    for (const auto& [from, to] : kept)
      if (why == nullptr && at < to && from < at + size)
        why = from == 0 ? "the font %s has its kanji page over its one-byte "
                          "page (code %s)"
                        : "the font %s puts code %s's glyph over the text "
                          "window or the cartridge's header";
    if (why != nullptr) {
      message::Say(image_name,
                   Format(why, font::LayoutText(layout).c_str(),
                          i < 0x100 ? Format("%02X", i).c_str()
                                    : Format("FF%02X", i & 0xFF).c_str()) +
                       Format(" (the image holds %zu bytes)", image->size()));
      return false;
    }
    glyphs.emplace_back(at, translate::DrawTile(choice.text[i]));
  }
  for (const auto& [at, tile] : glyphs)
    font::EncodeGlyph(layout.format,
                      font::DecodeGlyph(font::Format::k1bpp, tile.data()), ink,
                      image->data() + at);
  return true;
}

}  // namespace msginsert
