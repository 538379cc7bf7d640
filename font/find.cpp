// Where in an image the font lies: every offset read as a glyph in each
// format, runs of glyph-like blocks found, and the likeliest runs matched
// against the references to tell a font from other data, and the one-byte
// page from the kanji page.
#include <algorithm>

#include "match_impl.h"

namespace font {

namespace {

enum Kind : unsigned char { kJunk, kBlank, kLike };

constexpr std::size_t kMinGlyphs = 24;     // a run shorter is no font
constexpr std::size_t kMaxBlanks = 64;     // blanks a run may hold in a row
constexpr std::size_t kMaxOdd = 2;         // and glyphs that look like none
constexpr std::size_t kOneBytePage = 240;  // entries 16 to 255
constexpr float kFloor = 0.15F;            // a run standing out less is no font
constexpr float kAbout = 0.05F;            // scores about as well

// The bits set in v (by halves, quarters, ...: no table, no library call).
int Popcount(unsigned v) {
  v = v - ((v >> 1) & 0x55555555U);
  v = (v & 0x33333333U) + ((v >> 2) & 0x33333333U);
  v = (v + (v >> 4)) & 0x0F0F0F0FU;
  return static_cast<int>((v * 0x01010101U) >> 24);
}

// Whether g could be a glyph of a 16-dot font: some ink but not most, and,
// unless it is a small mark, at least a quarter of it on strokes, runs of 4
// pixels or more in one of the four directions (most noise has fewer).
Kind KindOf(const Glyph& g) {
  constexpr std::size_t kRun = 4;
  int ink = 0;
  for (std::uint16_t r : g) ink += Popcount(r);
  if (ink == 0) return kBlank;
  if (ink < 3 || ink > 200) return kJunk;
  if (ink < 12) return kLike;
  // Its background is open: almost every blank pixel has a blank neighbour
  // (dense noise leaves blank pixels alone).
  int alone = 0;
  for (int y = 0; y < 16; ++y) {
    const unsigned r = g[static_cast<std::size_t>(y)];
    const unsigned up = y > 0 ? g[static_cast<std::size_t>(y) - 1] : 0;
    const unsigned down = y < 15 ? g[static_cast<std::size_t>(y) + 1] : 0;
    // A blank pixel is alone where left, right, up and down are all inked
    // (the glyph's edge counts as blank).
    alone +=
        Popcount(~r & (r << 1 | 1) & (r >> 1 | 0x8000) & up & down & 0xFFFF);
  }
  if (alone * 32 > 256 - ink) return kJunk;
  // Every pixel on a run: runs found by the row they start on (bits of the
  // masks where a run's first pixel is), then the pixels they cover.
  std::array<unsigned, 16> on{};
  for (std::size_t y = 0; y < 16; ++y) {
    unsigned h = g[y];  // horizontal, starting at the run's left end
    for (std::size_t k = 1; k < kRun; ++k)
      h &= static_cast<unsigned>(g[y]) >> k;
    for (std::size_t k = 0; k < kRun; ++k) on[y] |= h << k;
  }
  for (std::size_t y = 0; y + kRun <= 16; ++y) {
    unsigned down = 0xFFFF;
    unsigned right = 0xFFFF;  // down and to the right
    unsigned left = 0xFFFF;   // down and to the left
    for (std::size_t k = 0; k < kRun; ++k) {
      const unsigned row = g[y + k];
      down &= row;
      right &= row << k;
      left &= row >> k;
    }
    for (std::size_t k = 0; k < kRun; ++k)
      on[y + k] |= down | right >> k | left << k;
  }
  int stroked = 0;
  for (std::size_t y = 0; y < 16; ++y)
    stroked += Popcount(g[y] & on[y] & 0xFFFF);
  return stroked * 4 >= ink ? kLike : kJunk;
}

struct Run {
  Format format = Format::k1bpp;
  std::uint64_t start = 0;
  std::size_t blocks = 0;  // from start to its last glyph
  std::vector<std::uint64_t> glyphs;
  float score = 0;
  float kanji = 0;  // the share of its glyphs that look like kanji
  float kana = 0;
  float edges = 0;  // the share of its glyphs with a blank edge
};

// The run of glyph-like blocks from start on at stride size, ending at its
// last glyph before more than kMaxBlanks blanks or kMaxOdd junk blocks in a
// row.
Run Follow(const std::vector<Kind>& kinds, Format format, std::uint64_t start) {
  const std::size_t size = GlyphBytes(format);
  Run run;
  run.format = format;
  run.start = start;
  std::size_t blanks = 0;
  std::size_t odd = 0;
  for (std::uint64_t at = start; at < kinds.size(); at += size) {
    if (kinds[at] == kBlank) {
      if (++blanks > kMaxBlanks) break;
      continue;
    }
    if (kinds[at] == kJunk) {
      if (++odd > kMaxOdd) break;
      continue;
    }
    blanks = 0;
    odd = 0;
    run.glyphs.push_back(at);
    run.blocks = static_cast<std::size_t>((at - start) / size) + 1;
  }
  return run;
}

// The share of g's quarters (8 x 8) that hold ink: a 16 x 16 glyph fills
// its square, a font read in another format gives pieces of one.
float Filled(const Glyph& g) {
  int quarters = 0;
  for (std::size_t half = 0; half < 2; ++half) {
    unsigned rows = 0;
    for (std::size_t y = 8 * half; y < 8 * half + 8; ++y) rows |= g[y];
    quarters += ((rows & 0xFF00) != 0 ? 1 : 0) + ((rows & 0xFF) != 0 ? 1 : 0);
  }
  return static_cast<float>(quarters) / 4;
}

// The largest share of the glyphs at offsets that leave one edge blank (the
// top or bottom row, the first or last column): a font's spacing, where it
// is read at its own offset; another offset moves the blank line inside.
float BlankEdges(Format format, const unsigned char* image,
                 const std::vector<std::uint64_t>& offsets) {
  std::size_t blank[4] = {};
  for (std::uint64_t at : offsets) {
    const Glyph g = DecodeGlyph(format, image + at);
    unsigned rows = 0;
    for (std::uint16_t r : g) rows |= r;
    blank[0] += g[0] == 0 ? 1 : 0;
    blank[1] += g[15] == 0 ? 1 : 0;
    blank[2] += (rows & 0x8000) == 0 ? 1 : 0;
    blank[3] += (rows & 1) == 0 ? 1 : 0;
  }
  const std::size_t most = *std::max_element(blank, blank + 4);
  return offsets.empty()
             ? 0
             : static_cast<float>(most) / static_cast<float>(offsets.size());
}

// How well the glyphs at offsets match the references: the mean of how far
// each's best correlation stands above its mean one (noise correlates with
// every reference alike), times how much of its square it fills; and the
// shares of kanji and kana among the best.
struct Verdict {
  float score = 0;
  float kanji = 0;
  float kana = 0;
};
Verdict Judge(const Matcher::Impl& m, const std::vector<std::size_t>& subset,
              Format format, const unsigned char* image,
              const std::vector<std::uint64_t>& offsets) {
  Verdict v;
  if (offsets.empty() || subset.empty()) return v;
  for (std::uint64_t at : offsets) {
    const Glyph g = DecodeGlyph(format, image + at);
    const Coarse c = CoarseOf(g);
    std::int32_t best = -kOne * kOne;
    std::int64_t sum = 0;
    std::size_t which = 0;
    for (std::size_t i : subset) {
      const std::int32_t d = Dot(c, m.coarse[i]);
      sum += d;
      if (d > best) {
        best = d;
        which = i;
      }
    }
    const double mean =
        static_cast<double>(sum) / static_cast<double>(subset.size());
    v.score +=
        Filled(g) *
        static_cast<float>((best - mean) / (static_cast<double>(kOne) * kOne));
    v.kanji += IsKanji(m.refs[which].code) ? 1 : 0;
    v.kana += IsKana(m.refs[which].code) ? 1 : 0;
  }
  const auto n = static_cast<float>(offsets.size());
  return {v.score / n, v.kanji / n, v.kana / n};
}

// n of the offsets, spread evenly, from first on.
std::vector<std::uint64_t> Spread(const std::vector<std::uint64_t>& offsets,
                                  std::size_t first, std::size_t end,
                                  std::size_t n) {
  std::vector<std::uint64_t> out;
  if (end <= first) return out;
  const std::size_t count = end - first;
  for (std::size_t k = 0; k < n && k < count; ++k)
    out.push_back(offsets[first + k * count / std::min(n, count)]);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// Whether most of the glyphs at offsets differ from one another: a fill
// pattern repeated is no font.
bool Distinct(Format format, const unsigned char* image,
              const std::vector<std::uint64_t>& offsets) {
  std::vector<Glyph> seen;
  for (std::uint64_t at : offsets) {
    const Glyph g = DecodeGlyph(format, image + at);
    if (std::find(seen.begin(), seen.end(), g) == seen.end()) seen.push_back(g);
  }
  return seen.size() * 4 >= offsets.size() * 3;
}

}  // namespace

std::vector<Found> FindFonts(const Matcher& matcher, const unsigned char* image,
                             std::size_t size) {
  const Matcher::Impl& m = matcher.impl();
  // The references judged against: every non-kanji and one kanji in six,
  // once each.
  std::vector<std::size_t> subset;
  {
    std::vector<unsigned> codes;
    std::size_t kanji = 0;
    for (std::size_t i = 0; i < m.refs.size(); ++i) {
      const unsigned code = m.refs[i].code;
      if (std::find(codes.begin(), codes.end(), code) != codes.end()) continue;
      codes.push_back(code);
      if (!IsKanji(code) || kanji++ % 6 == 0) subset.push_back(i);
    }
  }
  // How many zero bytes start at each offset (up to 255): a blank glyph
  // is known at a glance.
  std::vector<unsigned char> zeros(size + 1, 0);
  for (std::size_t at = size; at-- > 0;)
    zeros[at] =
        image[at] != 0
            ? 0
            : static_cast<unsigned char>(std::min(255, zeros[at + 1] + 1));
  std::vector<Run> runs;
  std::vector<Kind> kinds;
  for (Format format : kFormats) {
    const std::size_t glyph = GlyphBytes(format);
    if (size < glyph) continue;
    kinds.assign(size - glyph + 1, kJunk);
    for (std::size_t at = 0; at < kinds.size(); ++at)
      kinds[at] =
          zeros[at] >= glyph ? kBlank : KindOf(DecodeGlyph(format, image + at));
    // Each run found from its first glyph; a run inside one already found
    // at the same stride is not followed again.
    std::vector<std::uint64_t> covered(glyph, 0);  // per phase: followed to
    for (std::size_t at = 0; at < kinds.size(); ++at) {
      if (kinds[at] != kLike || at < covered[at % glyph]) continue;
      Run run = Follow(kinds, format, at);
      covered[at % glyph] = at + run.blocks * glyph;
      if (run.glyphs.size() < kMinGlyphs) continue;
      // Quickly, then with more glyphs.
      const Verdict quick = Judge(m, subset, format, image,
                                  Spread(run.glyphs, 0, run.glyphs.size(), 4));
      if (quick.score < kFloor) continue;
      const std::vector<std::uint64_t> sample =
          Spread(run.glyphs, 0, run.glyphs.size(), 24);
      if (!Distinct(format, image, sample)) continue;
      const Verdict v = Judge(m, subset, format, image, sample);
      if (v.score < kFloor) continue;
      run.score = v.score;
      run.edges = BlankEdges(format, image, sample);
      // What its first page holds tells the pages apart.
      std::size_t head = 0;
      while (head < run.glyphs.size() &&
             run.glyphs[head] < at + kOneBytePage * glyph)
        ++head;
      const Verdict first = head == run.glyphs.size()
                                ? v
                                : Judge(m, subset, format, image,
                                        Spread(run.glyphs, 0, head, 16));
      run.kanji = first.kanji;
      run.kana = first.kana;
      runs.push_back(std::move(run));
    }
  }
  // Of runs that overlap, the one that matches best is the font (the
  // others are it read at another offset or in another format); of those
  // that match about as well (a font read a row off matches as well), the
  // one whose glyphs keep a blank edge most, then the one at the roundest
  // offset (fonts are stored aligned).
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
    return a.score > b.score || (a.score == b.score && a.start < b.start);
  });
  const auto overlap = [](const Run& a, const Run& b) {
    return a.start < b.start + b.blocks * GlyphBytes(b.format) &&
           b.start < a.start + a.blocks * GlyphBytes(a.format);
  };
  const auto round = [](std::uint64_t at) {
    int zeros = 0;
    for (; zeros < 24 && (at >> zeros & 1) == 0; ++zeros) {
    }
    return zeros;
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    std::size_t pick = i;
    for (std::size_t j = i + 1; j < runs.size(); ++j)
      if (runs[j].score >= runs[i].score - kAbout &&
          overlap(runs[i], runs[j]) &&
          (runs[j].edges > runs[pick].edges + kAbout ||
           (runs[j].edges >= runs[pick].edges - kAbout &&
            round(runs[j].start) > round(runs[pick].start))))
        pick = j;
    std::swap(runs[i], runs[pick]);
  }
  std::vector<Run> kept;
  for (Run& r : runs) {
    const std::uint64_t end = r.start + r.blocks * GlyphBytes(r.format);
    const bool overlaps =
        std::any_of(kept.begin(), kept.end(), [&](const Run& k) {
          return r.start < k.start + k.blocks * GlyphBytes(k.format) &&
                 k.start < end;
        });
    if (!overlaps) kept.push_back(std::move(r));
  }
  // One-byte pages hold kana, kanji pages kanji.  A one-byte page may run
  // straight on into the kanji page.
  std::vector<Found> found;
  for (const Run& one : kept) {
    if (one.kanji > 0.5F) continue;
    Found f;
    f.layout.format = one.format;
    f.layout.offset = one.start;
    f.score = one.score;
    const std::size_t glyph = GlyphBytes(one.format);
    if (one.blocks > kOneBytePage + kMinGlyphs) {
      std::size_t first = 0;
      while (first < one.glyphs.size() &&
             one.glyphs[first] < one.start + kOneBytePage * glyph)
        ++first;
      const Verdict rest =
          Judge(m, subset, one.format, image,
                Spread(one.glyphs, first, one.glyphs.size(), 12));
      if (first < one.glyphs.size() && rest.kanji > 0.5F) {
        // (Its first glyph: the page's blank cells come before it.)
        f.layout.has_kanji = true;
        f.layout.kanji = one.glyphs[first];
      }
    }
    if (!f.layout.has_kanji) {
      const Run* best = nullptr;
      for (const Run& k : kept)
        if (k.format == one.format && k.kanji > 0.5F &&
            (best == nullptr || k.score > best->score))
          best = &k;
      if (best != nullptr) {
        f.layout.has_kanji = true;
        f.layout.kanji = best->start;
        f.score = (f.score + best->score) / 2;
      }
    }
    found.push_back(f);
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.score > b.score ||
           (a.score == b.score && a.layout.offset < b.layout.offset);
  });
  return found;
}

}  // namespace font
