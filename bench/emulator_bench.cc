// How fast the emulated scanner delivers image data through READ, so that it never limits a
// scan. The peer in the same run is a plain memcpy of the same bytes: the ratio says how much of
// the cost is the emulation itself.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/clock/clock.h"
#include "scsi_scanner.h"

namespace {

using emulator::ScannerModel;
using emulator::ScsiScanner;

std::vector<uint8_t> Window(uint16_t res, uint8_t composition) {
  std::vector<uint8_t> d(54, 0);
  auto be16 = [&](size_t at, uint32_t v) { d[at] = uint8_t(v >> 8); d[at + 1] = uint8_t(v); };
  be16(6, 46);
  be16(10, res);
  be16(12, res);
  be16(24, 5100);   // width: 8.5 in at 600 units per inch
  be16(28, 7015);   // length: 11.69 in
  d[33] = composition;
  d[34] = 8;
  d[37] = 7;
  return d;
}

platform::ScsiOutcome Do(ScsiScanner& s, std::vector<uint8_t> cdb, uint8_t* data, uint32_t length,
                         platform::ScsiDirection dir) {
  return s.Execute({cdb.data(), static_cast<uint8_t>(cdb.size()), dir, data, length});
}

// One whole A4 page per iteration, read in 64 KB pieces of whole lines.
void BM_ScannerRead(benchmark::State& state) {
  const auto res = static_cast<uint16_t>(state.range(0));
  const auto composition = static_cast<uint8_t>(state.range(1));
  platform::VirtualClock clock;
  ScannerModel model;
  model.scanStartMs = 0;
  ScsiScanner scanner(model, clock, std::make_shared<emulator::TestChart>());
  auto window = Window(res, composition);
  Do(scanner, {0x24, 0, 0, 0, 0, 0, 0, 0, 54, 0}, window.data(), 54, platform::ScsiDirection::kOut);
  std::vector<uint8_t> inquiry(122);
  Do(scanner, {0x12, 0, 0, 0, 122, 0}, inquiry.data(), 122, platform::ScsiDirection::kIn);
  const uint32_t bpl = inquiry[44] << 8 | inquiry[45];
  const uint32_t lines = inquiry[46] << 8 | inquiry[47];
  const uint32_t chunk = (65536 / bpl) * bpl;
  std::vector<uint8_t> buffer(chunk);
  int64_t bytes = 0;
  for (auto _ : state) {
    Do(scanner, {0x1B, 0, 0, 0, 0, 0}, nullptr, 0, platform::ScsiDirection::kNone);
    for (uint32_t done = 0; done < lines;) {
      uint32_t n = std::min(chunk / bpl, lines - done);
      uint32_t len = n * bpl;
      Do(scanner, {0x28, 0, 0, 0, 0, 0, uint8_t(len >> 16), uint8_t(len >> 8), uint8_t(len), 0},
         buffer.data(), len, platform::ScsiDirection::kIn);
      done += n;
      bytes += len;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ScannerRead)->Args({300, 5})->Args({600, 5})->Args({600, 2})->Unit(benchmark::kMillisecond);

void BM_MemcpyPeer(benchmark::State& state) {
  std::vector<uint8_t> from(65536, 1), to(65536);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 65536);
}
BENCHMARK(BM_MemcpyPeer);

}  // namespace

BENCHMARK_MAIN();
