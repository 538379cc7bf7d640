// The pairs chosen, inserted and drawn; and a line as the game shows it.
#include "fit.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "cp932.h"
#include "glyph_table.h"
#include "tiles.h"
#include "walk.h"
#include "window.h"

namespace translate {

namespace {

// The glyph table the Thingy table's lines stand for: each code's cell
// its text in CP932 (a code without a line, or not one double-byte
// character, drawn blank).
decoder::GlyphTable GlyphsOf(const ThingyTable& thingy) {
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

// Draws each chosen code's glyph into *fit's patched image where layout
// places it; where one cannot be, none is, and *fit says which and why.
void DrawPairs(const font::Layout& layout, Fit* fit) {
  std::vector<unsigned char>& image = fit->patched;
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
  if (layout.has_kanji && layout.offset < image.size() &&
      layout.kanji < image.size() && layout.kanji < one_byte_end &&
      layout.offset < layout.kanji + 254 * size)
    kept.emplace_back(0, std::numeric_limits<std::uint64_t>::max());
  std::vector<std::pair<std::uint64_t, Tile>> glyphs;
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    if (fit->choice.text[i].empty()) continue;
    const int entry = glyph_table::EntryOfCode(i);
    std::uint64_t at = 0;
    bool undrawn =
        entry < 0 ||
        !font::GlyphOffset(layout, static_cast<unsigned>(entry), &at) ||
        at > image.size() || image.size() - at < size;
    Fit::Undrawn why = Fit::Undrawn::kNoRoom;
    for (const auto& [from, to] : kept)
      if (!undrawn && at < to && from < at + size) {
        undrawn = true;
        why = from == 0 ? Fit::Undrawn::kPagesOverlap : Fit::Undrawn::kOverKept;
      }
    if (undrawn) {
      fit->undrawn = static_cast<int>(i);
      fit->why = why;
      return;
    }
    glyphs.emplace_back(at, DrawTile(fit->choice.text[i]));
  }
  for (const auto& [at, tile] : glyphs)
    font::EncodeGlyph(layout.format,
                      font::DecodeGlyph(font::Format::k1bpp, tile.data()), ink,
                      image.data() + at);
}

}  // namespace

Fit MakeFit(const std::string& script, const std::string& table,
            const std::vector<unsigned char>& image, const font::Layout& layout,
            InsertOptions options) {
  Fit fit;
  fit.insertion.problems = TableFileProblems(table, options.as_atlas);
  for (const Insertion::Problem& p : fit.insertion.problems)
    fit.original_table = fit.original_table || !p.warning;
  if (fit.original_table) return fit;
  fit.insertion.problems.clear();  // (the insertion says its warnings)
  const ThingyTable thingy = ReadThingy(table);
  CodeSet kept;  // (the padding stays blank)
  const std::vector<PairLine> lines = PairLinesOf(script, thingy, &kept);
  if (options.fill >= 0) kept.set(static_cast<std::size_t>(options.fill));
  fit.choice = ChoosePairs(lines, kept | CodesOutside(image, lines));
  fit.table = PairThingyText(thingy, fit.choice);
  const decoder::GlyphTable glyphs = GlyphsOf(thingy);
  for (int page = 0; page < 2; ++page)
    fit.grid[page] = PairGrid(glyphs, fit.choice, page);
  // (A line with a character left out is not fitted either.)
  std::vector<int> left_out;
  for (const PairPlace& p : fit.choice.missing) left_out.push_back(p.line);
  std::sort(left_out.begin(), left_out.end());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    bool english = false;
    for (const PairLine::Piece& p : lines[k].pieces)
      english = english || !p.raw;
    if (!english) continue;
    const PairChoice::Line& l = fit.choice.lines[k];
    fit.lines.push_back(
        {lines[k].line, lines[k].offset, lines[k].budget, l.before, l.after,
         l.after <= lines[k].budget &&
             !std::binary_search(left_out.begin(), left_out.end(),
                                 lines[k].line)});
  }

  if (options.fill < 0) options.fill = fit.choice.blank;
  fit.patched = image;
  fit.inserted =
      InsertScript(script, fit.table, options, &fit.patched, &fit.insertion);
  if (fit.inserted) DrawPairs(layout, &fit);
  if (!fit.ok()) fit.patched.clear();
  return fit;
}

std::vector<std::vector<int>> ShownRows(const std::vector<unsigned char>& image,
                                        std::uint32_t offset,
                                        std::size_t budget) {
  std::vector<std::vector<int>> rows(1);
  if (budget == 0 || offset >= image.size()) return rows;
  const auto last = static_cast<std::uint32_t>(offset + budget - 1);
  decoder::MsgConv(decoder::WindowOf(image.data(), image.size(), offset, last),
                   [&](const decoder::Code& c) {
                     if (decoder::BreaksLine(c.index)) {
                       rows.emplace_back();
                       return;
                     }
                     const int entry = glyph_table::EntryOfCode(c.index);
                     if (entry >= 0) rows.back().push_back(entry);
                   });
  while (rows.size() > 1 && rows.back().empty()) rows.pop_back();
  return rows;
}

}  // namespace translate
