// Throughput of the walk and the Shift-JIS rendering over a window in
// memory: 64 KiB, 1 MiB and 16 MiB of a fixed-seed mixed stream (about 60%
// one-byte glyphs, 15% kanji pairs, 25% control codes) and of a glyph-only
// stream.  Bytes per second count code bytes read.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "script.h"
#include "table.h"
#include "window.h"

namespace {

const decoder::GlyphTable& Table() {
  static decoder::GlyphTable t = [] {
    decoder::GlyphTable g{};
    for (unsigned i = 0; i < glyph_table::kEntries; ++i) {
      g.entry[i][0] = static_cast<unsigned char>(0x88 + (i >> 6));
      g.entry[i][1] = static_cast<unsigned char>(0x40 + (i & 63));
    }
    return g;
  }();
  return t;
}

std::vector<unsigned char> Stream(std::size_t size, bool mixed) {
  std::mt19937 rng(20261208);
  std::vector<unsigned char> s;
  s.reserve(size + 1);
  while (s.size() < size) {
    const unsigned pick = rng() % 100;
    if (!mixed || pick < 60) {
      s.push_back(static_cast<unsigned char>(0x10 + rng() % 0xEF));
    } else if (pick < 75) {
      s.push_back(0xFF);
      s.push_back(static_cast<unsigned char>(rng() % 0xFF));
    } else {
      s.push_back(static_cast<unsigned char>(rng() % 16));
    }
  }
  s.resize(size);
  return s;
}

void Decode(benchmark::State& state, bool mixed) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const std::vector<unsigned char> bytes = Stream(size, mixed);
  const decoder::Window window = decoder::WindowOf(
      bytes.data(), bytes.size(), 0, static_cast<std::uint32_t>(size - 1));
  static decoder::Renderings r;
  decoder::Render(Table(), decoder::Encoding::kShiftJis, &r);
  for (auto _ : state) {
    const decoder::Script script = decoder::RenderScript(r, window);
    benchmark::DoNotOptimize(script.bytes.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
}

void BM_DecodeMixed(benchmark::State& state) { Decode(state, true); }
void BM_DecodeGlyphOnly(benchmark::State& state) { Decode(state, false); }

BENCHMARK(BM_DecodeMixed)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_DecodeGlyphOnly)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace

BENCHMARK_MAIN();
