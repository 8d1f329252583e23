// The USB kernel driver's data path: 64 MB of a scan read in 1 MB requests through the device
// path, the driver, the bus and the emulated scanner, against memcpy of the same bytes; and a
// register read's round trip.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "linked_rig.h"
#include "platform/kernel/user_memory.h"

namespace {

using kvxscan::KVX_REGISTER_BLOCK;

constexpr size_t kTotal = 64u << 20;
constexpr size_t kRequest = 1u << 20;

template <class T>
std::vector<uint8_t> Bytes(const T& v) {
  auto* p = reinterpret_cast<const uint8_t*>(&v);
  return {p, p + sizeof v};
}

void BM_KvxBulkIn64MB(benchmark::State& state) {
  kvxscan::testing::LinkedRig rig("width=8192\nlines=8192\n");  // 64 MiB per scan
  auto h = rig.paths().Open("\\\\.\\KvxScan0");
  platform::UserBuffer start(1);
  start.data()[0] = 1;
  std::vector<uint8_t> buffer(kRequest), none;
  uint32_t n = 0;
  for (auto _ : state) {
    rig.paths().Control(h, kvxscan::IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x20, 1, start.address()}), none, &n);
    for (size_t done = 0; done < kTotal; done += kRequest) {
      if (!rig.paths().Read(h, buffer, &n) || n != kRequest) state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
  rig.paths().Close(h);
}
BENCHMARK(BM_KvxBulkIn64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: the same bytes moved by memcpy in the same 1 MB pieces.
void BM_Memcpy64MB(benchmark::State& state) {
  std::vector<uint8_t> source(kTotal, 0x5A), buffer(kRequest);
  for (auto _ : state) {
    for (size_t done = 0; done < kTotal; done += kRequest) {
      std::memcpy(buffer.data(), source.data() + done, kRequest);
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Memcpy64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KvxRegisterRead(benchmark::State& state) {
  kvxscan::testing::LinkedRig rig;
  auto h = rig.paths().Open("\\\\.\\KvxScan0");
  std::vector<uint8_t> out(4);
  uint32_t n = 0;
  auto block = Bytes(KVX_REGISTER_BLOCK{0, 4, 0});
  for (auto _ : state) {
    if (!rig.paths().Control(h, kvxscan::IOCTL_KVX_READ_REGISTERS, block, out, &n)) state.SkipWithError("read failed");
  }
  rig.paths().Close(h);
}
BENCHMARK(BM_KvxRegisterRead)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
