// Choosing the pairs, encoding the lines with them, and the table and the
// grids that the choice makes.
#include "pairs.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>

#include "packer.h"

namespace translate {

namespace {

using glyph_table::kCodes;

constexpr std::size_t kAscii = 128;

bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

// The bytes of code: one, or 0xFF and n.
std::size_t CodeBytes(int code) { return code < 0x100 ? 1 : 2; }

void PutCode(int code, std::vector<unsigned char>* out) {
  if (code >= 0x100) out->push_back(glyph_table::kKanjiPrefix);
  out->push_back(static_cast<unsigned char>(code & 0xFF));
}

// Adds to *used the glyph codes raw bytes show, read as the walk reads
// them (0x05 and 0x0B take the byte after them along).
void MarkRaw(const std::string& raw, CodeSet* used) {
  for (std::size_t i = 0; i < raw.size();) {
    const auto b = static_cast<unsigned char>(raw[i]);
    if (b == 0x05 || b == 0x0B) {
      i += 2;
    } else if (b == glyph_table::kKanjiPrefix) {
      if (i + 1 < raw.size())
        used->set(0x100 + static_cast<unsigned char>(raw[i + 1]));
      i += 2;
    } else {
      if (b >= 0x10) used->set(b);
      ++i;
    }
  }
}

// A pair an inserter could read across the end of the text: raw tokens
// (<$XX>, ($XX), <0A>) start with these.
bool TokenStart(unsigned char c) { return c == '<' || c == '('; }

// The whole translation's English as one text, each piece followed by a
// NUL (no code spans one), and its longest-match parse with the codes
// taken so far.
class Chooser {
 public:
  Chooser(const std::vector<PairLine>& lines, const CodeSet& free)
      : lines_(lines), line_bytes_(lines.size()) {
    for (unsigned c = 0x10; c < 0xFF; ++c)
      if (free[c]) one_byte_.push_back(static_cast<int>(c));
    for (unsigned c = 0x100; c < 0x1FF; ++c)
      if (free[c]) kanji_.push_back(static_cast<int>(c));
    std::fill(std::begin(single_), std::end(single_), -1);
    pair_.assign(kAscii * kAscii, -1);
    for (std::size_t l = 0; l < lines.size(); ++l) {
      for (const PairLine::Piece& piece : lines[l].pieces) {
        if (piece.raw) continue;
        for (const char c : piece.text) {
          text_ += Printable(static_cast<unsigned char>(c)) ? c : '\0';
          line_of_.push_back(static_cast<std::uint32_t>(l));
        }
        text_ += '\0';
        line_of_.push_back(static_cast<std::uint32_t>(l));
      }
    }
    text_ += '\0';  // so that every character has one after it
    line_of_.push_back(0);
    token_.assign(text_.size(), 0);
  }

  void Choose(PairChoice* choice) {
    choice_ = choice;
    TakeSingles();
    Parse();
    std::vector<std::uint32_t> keys = Occurrences();
    // Pairs that save bytes, for the one-byte codes.
    while (!one_byte_.empty()) {
      const Best best = BestPair(keys, 1, false);
      if (best.key < 0 || best.bytes >= 0) break;
      Take(best.key, one_byte_);
    }
    // Pairs that leave no single character before another, for what is
    // left: the one-byte codes, then the kanji codes.
    for (std::vector<int>* codes : {&one_byte_, &kanji_}) {
      while (!codes->empty()) {
        const Best best =
            BestPair(keys, static_cast<int>(CodeBytes(codes->front())), true);
        if (best.key < 0 || best.singles > 0 || best.removed == 0) break;
        Take(best.key, *codes);
      }
    }
    Encode();
  }

 private:
  struct Best {
    int key = -1;
    long bytes = 0;    // the change in the translation's bytes
    long singles = 0;  // the change in single characters before another
    long removed = 0;  // of those, the ones it pairs or moves
  };

  // The single characters: those used most get one-byte codes, in
  // character order, then the rest kanji codes.  The space is always
  // wanted, as the blank to pad with.
  void TakeSingles() {
    std::size_t count[kAscii] = {};
    for (const char c : text_) ++count[static_cast<unsigned char>(c)];
    std::vector<unsigned char> wanted;
    for (unsigned c = 0x20; c < 0x7F; ++c)
      if (count[c] > 0 || c == ' ')
        wanted.push_back(static_cast<unsigned char>(c));
    std::stable_sort(
        wanted.begin(), wanted.end(),
        [&](unsigned char a, unsigned char b) { return count[a] > count[b]; });
    const auto ones =
        static_cast<long>(std::min(wanted.size(), one_byte_.size()));
    auto give = [&](std::vector<unsigned char> group, std::vector<int>* codes) {
      std::sort(group.begin(), group.end());
      for (const unsigned char c : group) {
        if (codes->empty()) return;
        single_[c] = codes->front();
        choice_->text[static_cast<std::size_t>(codes->front())] =
            std::string(1, static_cast<char>(c));
        codes->erase(codes->begin());
      }
    };
    give({wanted.begin(), wanted.begin() + ones}, &one_byte_);
    give({wanted.begin() + ones, wanted.end()}, &kanji_);
    const int space = single_[static_cast<unsigned char>(' ')];
    if (space >= 0 && space < 0x100) choice_->blank = space;
    // A character without a code stands for none: it is a gap in the text.
    for (char& c : text_)
      if (c != '\0' && single_[static_cast<unsigned char>(c)] < 0) c = '\0';
  }

  // Every pair that a code could hold, with where it occurs, keyed
  // a * 128 + b; the keys in ASCII order.
  std::vector<std::uint32_t> Occurrences() {
    where_.assign(kAscii * kAscii, {});
    std::vector<std::uint32_t> keys;
    for (std::size_t i = 0; i + 1 < text_.size(); ++i) {
      const auto a = static_cast<unsigned char>(text_[i]);
      const auto b = static_cast<unsigned char>(text_[i + 1]);
      if (a == 0 || b == 0 || TokenStart(b)) continue;
      std::vector<std::uint32_t>& at = where_[a * kAscii + b];
      if (at.empty()) keys.push_back(a * kAscii + b);
      at.push_back(static_cast<std::uint32_t>(i));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  [[nodiscard]] int PairAt(std::size_t i) const {
    const auto a = static_cast<unsigned char>(text_[i]);
    const auto b = static_cast<unsigned char>(text_[i + 1]);
    return a == 0 || b == 0 ? -1 : pair_[a * kAscii + b];
  }

  // The parse: token_[i] is the length of the token that starts at i (a
  // NUL is a token of its own), 0 inside a pair.  Also each line's bytes.
  void Parse() {
    std::fill(token_.begin(), token_.end(), 0);
    for (std::size_t l = 0; l < lines_.size(); ++l) {
      line_bytes_[l] = 0;
      for (const PairLine::Piece& piece : lines_[l].pieces)
        if (piece.raw) line_bytes_[l] += piece.text.size();
    }
    for (std::size_t i = 0; i < text_.size();) {
      const std::size_t n = PairAt(i) >= 0 ? 2 : 1;
      token_[i] = static_cast<unsigned char>(n);
      line_bytes_[line_of_[i]] += Cost(i);
      i += n;
    }
  }

  // The bytes of the token at i.
  [[nodiscard]] std::size_t Cost(std::size_t i) const {
    if (token_[i] == 2) return CodeBytes(PairAt(i));
    const auto c = static_cast<unsigned char>(text_[i]);
    return c == 0 ? 0 : CodeBytes(single_[c]);
  }

  // Whether the token at i is a single character with another after it.
  [[nodiscard]] bool Single(std::size_t i) const {
    return token_[i] == 1 && text_[i] != '\0' && text_[i + 1] != '\0';
  }

  // What taking pair key for a code of cost bytes would change.  Where the
  // pair starts a token of the parse, the parse from there on is worked out
  // again up to the first place where it meets the old one.  With
  // fitting, a change that would make a line that fits overflow, or one
  // that does not grow, is refused (bytes then 1, singles 0).
  Best Evaluate(std::uint32_t key, int cost, bool fitting) {
    const auto a = static_cast<char>(key / kAscii);
    const auto b = static_cast<char>(key % kAscii);
    Best change;
    change.key = static_cast<int>(key);
    touched_.clear();
    std::size_t until = 0;
    for (const std::uint32_t i : where_[key]) {
      if (i < until || token_[i] == 0) continue;
      long bytes = cost;
      long singles = 0;
      std::size_t p = i + 2;
      while (token_[p] == 0) {
        const bool pair =
            text_[p + 1] != '\0' &&
            (PairAt(p) >= 0 || (text_[p] == a && text_[p + 1] == b));
        if (pair) {
          bytes += text_[p] == a && text_[p + 1] == b
                       ? cost
                       : static_cast<long>(CodeBytes(PairAt(p)));
        } else {
          bytes += static_cast<long>(
              CodeBytes(single_[static_cast<unsigned char>(text_[p])]));
          if (text_[p + 1] != '\0') ++singles;
        }
        p += pair ? 2 : 1;
      }
      long removed = 0;
      for (std::size_t q = i; q < p; q += token_[q]) {
        bytes -= static_cast<long>(Cost(q));
        if (Single(q)) ++removed;
      }
      until = p;
      change.bytes += bytes;
      change.singles += singles - removed;
      change.removed += removed;
      if (fitting && bytes != 0) {
        const std::uint32_t l = line_of_[i];
        if (delta_.size() < lines_.size()) delta_.assign(lines_.size(), 0);
        if (delta_[l] == 0) touched_.push_back(l);
        delta_[l] += bytes;  // (a line listed twice is read once)
      }
    }
    bool refused = false;
    for (const std::uint32_t l : touched_) {
      const long grown = delta_[l];
      delta_[l] = 0;
      if (grown > 0 && static_cast<long>(line_bytes_[l]) + grown >
                           static_cast<long>(lines_[l].budget))
        refused = true;
    }
    if (refused) return {change.key, 1, 0, 0};
    return change;
  }

  // The pair that saves the most bytes (fitting false), or the most
  // singles, then moves the most of them on towards the end of their text
  // (where one is no gap), then costs the fewest bytes (true); the first
  // in ASCII order of equal ones, or key -1.
  Best BestPair(const std::vector<std::uint32_t>& keys, int cost,
                bool fitting) {
    Best best;
    for (const std::uint32_t key : keys) {
      if (pair_[key] >= 0) continue;
      const Best c = Evaluate(key, cost, fitting);
      const bool better =
          fitting ? std::make_tuple(c.singles, -c.removed, c.bytes) <
                        std::make_tuple(best.singles, -best.removed, best.bytes)
                  : c.bytes < best.bytes;
      if (better || best.key < 0) best = c;
    }
    return best;
  }

  void Take(int key, std::vector<int>& codes) {
    const int code = codes.front();
    codes.erase(codes.begin());
    pair_[static_cast<std::size_t>(key)] = code;
    choice_->text[static_cast<std::size_t>(code)] = {
        static_cast<char>(key / static_cast<int>(kAscii)),
        static_cast<char>(key % static_cast<int>(kAscii))};
    Parse();
  }

  // Each line's bytes, and the places that the report names.
  void Encode() {
    std::size_t at = 0;  // in text_
    for (const PairLine& line : lines_) {
      PairChoice::Line out;
      auto place = [&](char what) {
        return PairPlace{
            line.line,
            line.offset + static_cast<std::uint32_t>(out.bytes.size()), what};
      };
      for (const PairLine::Piece& piece : line.pieces) {
        if (piece.raw) {
          out.bytes.insert(out.bytes.end(), piece.text.begin(),
                           piece.text.end());
          out.before += piece.text.size();
          continue;
        }
        out.before += piece.text.size();
        const std::size_t start = at;
        while (at < start + piece.text.size()) {
          if (text_[at] == '\0') {
            const char c = piece.text[at - start];
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
              choice_->missing.push_back(place(c));  // (once a character)
            ++at;
            continue;
          }
          if (Single(at)) choice_->singles.push_back(place(text_[at]));
          const int code = token_[at] == 2
                               ? PairAt(at)
                               : single_[static_cast<unsigned char>(text_[at])];
          PutCode(code, &out.bytes);
          at += token_[at];
        }
        ++at;  // the piece's NUL
      }
      out.after = out.bytes.size();
      if (out.after > line.budget)
        choice_->overflows.push_back({line.line, line.offset, 0});
      choice_->lines.push_back(std::move(out));
    }
  }

  const std::vector<PairLine>& lines_;
  std::vector<int> one_byte_, kanji_;  // the free codes, ascending
  int single_[kAscii];                 // each character's code, or -1
  std::vector<int> pair_;              // each pair's code, or -1
  std::string text_;
  std::vector<std::uint32_t> line_of_;  // by position in text_
  std::vector<unsigned char> token_;
  std::vector<std::size_t> line_bytes_;
  std::vector<std::vector<std::uint32_t>> where_;
  std::vector<long> delta_;
  std::vector<std::uint32_t> touched_;
  PairChoice* choice_ = nullptr;
};

}  // namespace

CodeSet GlyphCodes() {
  CodeSet codes;
  for (unsigned i = 0; i < kCodes; ++i)
    if (glyph_table::EntryOfCode(i) >= 0) codes.set(i);
  return codes;
}

PairChoice ChoosePairs(const std::vector<PairLine>& lines, const CodeSet& kept,
                       const CodeSet& exists) {
  CodeSet used = kept;
  bool english = false;
  for (const PairLine& line : lines)
    for (const PairLine::Piece& piece : line.pieces)
      if (piece.raw)
        MarkRaw(piece.text, &used);
      else
        english = true;
  PairChoice choice;
  if (lines.empty()) return choice;
  // (Without English no code is taken, not even the blank.)
  Chooser(lines, english ? exists & GlyphCodes() & ~used : CodeSet())
      .Choose(&choice);
  return choice;
}

std::string PairThingyText(const ThingyTable& original,
                           const PairChoice& choice) {
  ThingyTable table = original;
  for (unsigned i = 0; i < kCodes; ++i) {
    std::string& text = table.text[i];
    if (!choice.text[i].empty())
      text = choice.text[i];
    else if (glyph_table::EntryOfCode(i) >= 0 && !text.empty() &&
             Printable(static_cast<unsigned char>(text[0])))
      text.clear();
  }
  return ThingyText(table);
}

std::string PairGrid(const decoder::GlyphTable& original,
                     const PairChoice& choice, int page) {
  if (page != 0 && page != 1) return {};
  unsigned char bytes[glyph_table::kPageBytes];
  for (std::size_t k = 0; k < glyph_table::kPageEntries; ++k) {
    const auto entry = static_cast<unsigned>(
        static_cast<std::size_t>(page) * glyph_table::kPageEntries + k);
    const int code = glyph_table::CodeOfEntry(entry);
    static const std::string kNone;
    const std::string& text =
        code < 0 ? kNone : choice.text[static_cast<std::size_t>(code)];
    const unsigned char* cell = original.entry[entry];
    bytes[2 * k] = text.empty() ? cell[0] : static_cast<unsigned char>(text[0]);
    bytes[2 * k + 1] = text.empty()      ? cell[1]
                       : text.size() > 1 ? static_cast<unsigned char>(text[1])
                                         : 0;
  }
  return grids::GridOfPage(bytes);
}

int LostCell(const std::string& old, const std::string& new_grid) {
  for (std::size_t k = 0; k < glyph_table::kPageEntries; ++k) {
    const std::size_t at =
        k / glyph_table::kGridSide * grids::kLineBytes +
        k % glyph_table::kGridSide * glyph_table::kEntryBytes;
    bool letters = true;
    bool same = true;
    for (std::size_t b = at; b < at + glyph_table::kEntryBytes; ++b) {
      const auto c = static_cast<unsigned char>(b < old.size() ? old[b] : 0);
      letters = letters && (c == 0 || Printable(c));
      same = same && b < new_grid.size() && b < old.size() &&
             old[b] == new_grid[b];
    }
    if (!letters && !same) return static_cast<int>(k);
  }
  return -1;
}

}  // namespace translate
