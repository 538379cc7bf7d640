// Which characters a glyph looks like: blurred normalised cross-correlation
// with stroke-direction features, best over shifts of up to 2 pixels, against
// the reference fonts; and the suggestions for a whole font.
#include <algorithm>
#include <cmath>

#include "match_impl.h"

namespace font {

namespace {

constexpr int kCanvas = 24;  // a glyph drawn at (4, 4), room to shift and blur
constexpr int kMargin = 4;
constexpr int kShift = 2;
constexpr int kPixels = kCanvas * kCanvas;
constexpr int kPooled = kCanvas / 2;  // directions pooled 2 x 2
constexpr int kFine = kPixels + 4 * kPooled * kPooled;
constexpr float kDirectionWeight = 0.8F;  // of the directions' correlation
constexpr std::size_t kShortList = 64;    // fine-matched per glyph
constexpr float kAlmost = 0.04F;          // "scores almost as well"

using Plane = std::array<float, kPixels>;

// A score and what it scores (two keys), best first, then by the keys: the
// one order every list here is sorted in (one sort, in the page's module).
struct Scored {
  float score;
  unsigned key;
  unsigned rank;
};
bool Better(const Scored& a, const Scored& b) {
  if (a.score != b.score) return a.score > b.score;
  return a.key != b.key ? a.key < b.key : a.rank < b.rank;
}

// Moves v[at] to the front, the ones before it one place on.
template <typename T>
void ToFront(std::vector<T>* v, std::size_t at) {
  const T front = (*v)[at];
  for (std::size_t i = at; i > 0; --i) (*v)[i] = (*v)[i - 1];
  (*v)[0] = front;
}

bool Ink(const Glyph& g, int x, int y) {
  return x >= 0 && x < 16 && y >= 0 && y < 16 && (g[y] >> (15 - x) & 1) != 0;
}

// Blurs p in place with the binomial kernel 1 4 6 4 1, rows then columns.
// Its ink lies within kShift of the glyph's square, so that the blur stays
// on the canvas; each inked value is spread (most are 0).
void Blur(Plane* p) {
  static constexpr float k[5] = {1 / 16.F, 4 / 16.F, 6 / 16.F, 4 / 16.F,
                                 1 / 16.F};
  constexpr int kFirst = kMargin - kShift;
  constexpr int kEnd = kMargin + 16 + kShift;
  static_assert(kFirst >= 2 && kEnd + 2 <= kCanvas);
  Plane t{};
  for (int y = kFirst; y < kEnd; ++y)
    for (int x = kFirst; x < kEnd; ++x) {
      const float v = (*p)[y * kCanvas + x];
      if (v == 0) continue;
      for (int i = -2; i <= 2; ++i) t[y * kCanvas + x + i] += k[i + 2] * v;
    }
  p->fill(0);
  for (int y = kFirst; y < kEnd; ++y)
    for (int x = 0; x < kCanvas; ++x) {
      const float v = t[y * kCanvas + x];
      if (v == 0) continue;
      for (int i = -2; i <= 2; ++i) (*p)[(y + i) * kCanvas + x] += k[i + 2] * v;
    }
}

// The ink and its four stroke-direction planes (horizontal, vertical, and
// the two diagonals) of g drawn at (kMargin + dx, kMargin + dy), blurred:
// each inked pixel is shared among the directions by the square of the
// length of the stroke through it in each.
void Planes(const Glyph& g, int dx, int dy, Plane* ink, Plane dirs[4]) {
  static constexpr int kStep[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  ink->fill(0);
  for (int d = 0; d < 4; ++d) dirs[d].fill(0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (!Ink(g, x, y)) continue;
      float len[4];
      float sum = 0;
      for (int d = 0; d < 4; ++d) {
        int n = 1;
        for (int s = 1; Ink(g, x + s * kStep[d][0], y + s * kStep[d][1]); ++s)
          ++n;
        for (int s = 1; Ink(g, x - s * kStep[d][0], y - s * kStep[d][1]); ++s)
          ++n;
        len[d] = static_cast<float>(n * n);
        sum += len[d];
      }
      const int at = (y + kMargin + dy) * kCanvas + x + kMargin + dx;
      (*ink)[at] = 1;
      for (int d = 0; d < 4; ++d) dirs[d][at] = len[d] / sum;
    }
  Blur(ink);
  for (int d = 0; d < 4; ++d) Blur(&dirs[d]);
}

// values[0, n) made zero-mean with a norm of kOne, as integers, into out.
void Normalise(const float* values, int n, std::int16_t* out) {
  double mean = 0;
  for (int i = 0; i < n; ++i) mean += values[i];
  mean /= n;
  double norm = 0;
  for (int i = 0; i < n; ++i) norm += (values[i] - mean) * (values[i] - mean);
  norm = std::sqrt(norm);
  for (int i = 0; i < n; ++i)
    out[i] = static_cast<std::int16_t>(
        norm > 0 ? std::lround((values[i] - mean) / norm * kOne) : 0);
}

// The fine features of g shifted by (dx, dy): the ink at full size, then
// the directions pooled 2 x 2, each part normalised.
void FineOf(const Glyph& g, int dx, int dy, std::int16_t* out) {
  Plane ink;
  Plane dirs[4];
  Planes(g, dx, dy, &ink, dirs);
  Normalise(ink.data(), kPixels, out);
  float pooled[4 * kPooled * kPooled];
  for (int d = 0; d < 4; ++d)
    for (int y = 0; y < kPooled; ++y)
      for (int x = 0; x < kPooled; ++x) {
        const int corner = 2 * y * kCanvas + 2 * x;
        const float* p = dirs[d].data() + corner;
        pooled[(d * kPooled + y) * kPooled + x] =
            p[0] + p[1] + p[kCanvas] + p[kCanvas + 1];
      }
  Normalise(pooled, 4 * kPooled * kPooled, out + kPixels);
}

std::int32_t DotN(const std::int16_t* a, const std::int16_t* b, int n) {
  std::int32_t s = 0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// The fine score of two glyphs' fine features, 1 for the same glyph.
float FineScore(const std::int16_t* a, const std::int16_t* b) {
  const auto ink = static_cast<float>(DotN(a, b, kPixels));
  const auto dirs =
      static_cast<float>(DotN(a + kPixels, b + kPixels, kFine - kPixels));
  return (ink + kDirectionWeight * dirs) /
         ((1 + kDirectionWeight) * static_cast<float>(kOne) * kOne);
}

}  // namespace

Coarse CoarseOf(const Glyph& glyph) {
  Plane ink;
  Plane dirs[4];
  Planes(glyph, 0, 0, &ink, dirs);
  // The ink in 8 x 8 cells of 3 x 3, the directions in 4 x 4 cells of 6 x 6.
  float inks[64];
  float strokes[64];
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      float s = 0;
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) s += ink[(3 * y + i) * kCanvas + 3 * x + j];
      inks[y * 8 + x] = s;
    }
  for (int d = 0; d < 4; ++d)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        float s = 0;
        for (int i = 0; i < 6; ++i)
          for (int j = 0; j < 6; ++j)
            s += dirs[d][(6 * y + i) * kCanvas + 6 * x + j];
        strokes[(d * 4 + y) * 4 + x] = s;
      }
  std::int16_t a[64];
  std::int16_t b[64];
  Normalise(inks, 64, a);
  Normalise(strokes, 64, b);
  Coarse c{};
  // Each half at a norm of kOne / sqrt(2), so the whole has kOne.
  for (int i = 0; i < 64; ++i) {
    c[i] = static_cast<std::int16_t>(a[i] * 181 / 256);
    c[64 + i] = static_cast<std::int16_t>(b[i] * 181 / 256);
  }
  return c;
}

std::int32_t Dot(const Coarse& a, const Coarse& b) {
  return DotN(a.data(), b.data(), kCoarse);
}

Matcher::Matcher(const std::vector<FontData>& fonts)
    : impl_(std::make_unique<Impl>()) {
  for (const FontData& f : fonts)
    for (std::size_t at = 0; at + 34 <= f.size; at += 34) {
      Impl::Ref r{};
      r.code = static_cast<unsigned>(f.records[at] << 8 | f.records[at + 1]);
      r.glyph = DecodeGlyph(Format::k1bpp, f.records + at + 2);
      impl_->refs.push_back(r);
      impl_->characters.push_back(r.code);
    }
  std::sort(impl_->characters.begin(), impl_->characters.end());
  impl_->characters.erase(
      std::unique(impl_->characters.begin(), impl_->characters.end()),
      impl_->characters.end());
  impl_->coarse.reserve(impl_->refs.size());
  for (const Impl::Ref& r : impl_->refs)
    impl_->coarse.push_back(CoarseOf(r.glyph));
  impl_->fine.resize(impl_->refs.size());
}

Matcher::~Matcher() = default;

std::size_t Matcher::characters() const { return impl_->characters.size(); }
std::size_t Matcher::glyphs() const { return impl_->refs.size(); }

std::size_t Matcher::Match(const Glyph& glyph, std::size_t n,
                           std::vector<unsigned>* codes,
                           std::vector<float>* scores) const {
  codes->clear();
  scores->clear();
  const Impl& m = *impl_;
  if (m.refs.empty()) return 0;
  // The short list: the references closest by their coarse features.
  const Coarse c = CoarseOf(glyph);
  std::vector<Scored> coarse(m.refs.size());
  for (std::size_t i = 0; i < m.refs.size(); ++i)
    coarse[i] = {static_cast<float>(Dot(c, m.coarse[i])),
                 static_cast<unsigned>(i), 0};
  const std::size_t shortlist = std::min(kShortList, coarse.size());
  std::partial_sort(coarse.begin(),
                    coarse.begin() + static_cast<std::ptrdiff_t>(shortlist),
                    coarse.end(), Better);
  // Each scored finely, the glyph shifted up to kShift pixels each way.
  std::vector<std::int16_t> shifted(
      static_cast<std::size_t>((2 * kShift + 1) * (2 * kShift + 1) * kFine));
  std::size_t k = 0;
  for (int dy = -kShift; dy <= kShift; ++dy)
    for (int dx = -kShift; dx <= kShift; ++dx, ++k)
      FineOf(glyph, dx, dy, shifted.data() + k * kFine);
  std::vector<Scored> best;  // per character: its best score, its code
  for (std::size_t j = 0; j < shortlist; ++j) {
    const std::size_t i = coarse[j].key;
    std::vector<std::int16_t>& fine = m.fine[i];
    if (fine.empty()) {
      fine.resize(kFine);
      FineOf(m.refs[i].glyph, 0, 0, fine.data());
    }
    float score = -1;
    for (std::size_t s = 0; s < k; ++s)
      score =
          std::max(score, FineScore(shifted.data() + s * kFine, fine.data()));
    auto same = std::find_if(best.begin(), best.end(), [&](const Scored& b) {
      return b.key == m.refs[i].code;
    });
    if (same == best.end())
      best.push_back({score, m.refs[i].code, 0});
    else
      same->score = std::max(same->score, score);
  }
  std::sort(best.begin(), best.end(), Better);
  for (std::size_t j = 0; j < best.size() && j < n; ++j) {
    codes->push_back(best[j].key);
    scores->push_back(best[j].score);
  }
  return codes->size();
}

std::vector<Suggestion> Suggest(const Matcher& matcher, const Layout& layout,
                                const unsigned char* image, std::size_t size) {
  constexpr std::size_t kKept = 2 * kSuggestions;
  std::vector<Suggestion> out;
  for (unsigned e = 0; e < 512; ++e) {
    Glyph g{};
    if (!GlyphOfEntry(layout, image, size, e, &g) ||
        std::all_of(g.begin(), g.end(), [](std::uint16_t r) { return r == 0; }))
      continue;
    Suggestion s;
    s.entry = e;
    matcher.Match(g, kKept, &s.codes, &s.scores);
    if (!s.codes.empty()) out.push_back(std::move(s));
  }
  // One glyph per character: the candidates within kAlmost of each glyph's
  // best, taken best score first, each character and glyph once.  A glyph
  // that gets one puts it first; the others keep their order.
  std::vector<Scored> pairs;  // score, glyph, rank
  for (std::size_t g = 0; g < out.size(); ++g)
    for (std::size_t r = 0; r < out[g].codes.size(); ++r)
      if (out[g].scores[r] >= out[g].scores[0] - kAlmost)
        pairs.push_back({out[g].scores[r], static_cast<unsigned>(g),
                         static_cast<unsigned>(r)});
  std::sort(pairs.begin(), pairs.end(), Better);
  std::vector<bool> placed(out.size(), false);
  std::vector<unsigned> taken;
  for (const Scored& p : pairs) {
    const unsigned code = out[p.key].codes[p.rank];
    if (placed[p.key] ||
        std::find(taken.begin(), taken.end(), code) != taken.end())
      continue;
    placed[p.key] = true;
    taken.push_back(code);
    ToFront(&out[p.key].codes, p.rank);
    ToFront(&out[p.key].scores, p.rank);
  }
  for (Suggestion& s : out) {
    if (s.codes.size() > kSuggestions) {
      s.codes.resize(kSuggestions);
      s.scores.resize(kSuggestions);
    }
  }
  return out;
}

}  // namespace font
