// The scan engine's per-pixel correction of one 300-dpi colour line (2555 pixels, three
// channels, written interleaved), beside two peers on the same data: the arithmetic the gain
// table replaces (a subtraction, a multiplication and a division per pixel in double precision)
// and a plain copy of the output's bytes, the floor any pass over them costs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gain_table.h"

namespace {

constexpr int kPixels = 2555;

struct Line {
  usbminid::GainTable table;
  std::vector<uint8_t> raw[3], dark[3];
  std::vector<const uint8_t*> rows[3];
  std::vector<int> difference[3];
  std::vector<uint8_t> out = std::vector<uint8_t>(kPixels * 3);

  Line() {
    table.Build(250);
    for (int c = 0; c < 3; ++c) {
      raw[c].resize(kPixels);
      dark[c].resize(kPixels);
      rows[c].resize(kPixels);
      difference[c].resize(kPixels);
      for (int x = 0; x < kPixels; ++x) {
        dark[c][x] = static_cast<uint8_t>(3 + (x * 13 + c * 5) % 9);
        difference[c][x] = 200 + (x * 37 + c * 11) % 40;
        rows[c][x] = table.RowForDifference(static_cast<uint8_t>(difference[c][x]));
        raw[c][x] = static_cast<uint8_t>((x * 7 + c * 3) % 256);
      }
    }
  }
};

void SetCounters(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * 3);
  state.counters["ns_per_line"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_CorrectColourLine(benchmark::State& state) {
  Line l;
  for (auto _ : state) {
    for (int c = 0; c < 3; ++c) {
      usbminid::CorrectLine(l.raw[c].data(), l.rows[c].data(), l.dark[c].data(), l.out.data() + c, kPixels, 3);
    }
    benchmark::DoNotOptimize(l.out.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}
BENCHMARK(BM_CorrectColourLine);

void BM_PeerArithmeticPerPixel(benchmark::State& state) {
  Line l;
  for (auto _ : state) {
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < kPixels; ++x) {
        const int v = l.raw[c][x] > l.dark[c][x] ? l.raw[c][x] - l.dark[c][x] : 0;
        const double s = v * 250.0 / l.difference[c][x];
        l.out[x * 3 + c] = s >= 255.4 ? 255 : static_cast<uint8_t>(s + 0.5);
      }
    }
    benchmark::DoNotOptimize(l.out.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}
BENCHMARK(BM_PeerArithmeticPerPixel);

void BM_PeerCopyOfTheOutput(benchmark::State& state) {
  Line l;
  std::vector<uint8_t> source(kPixels * 3, 7);
  for (auto _ : state) {
    std::memcpy(l.out.data(), source.data(), source.size());
    benchmark::DoNotOptimize(l.out.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}
BENCHMARK(BM_PeerCopyOfTheOutput);

}  // namespace

BENCHMARK_MAIN();
