// Initialize over a large machine: 4 SCSI host adapters with 8 scanners each, under the virtual
// clock, so that what is measured is the library's own work and the ASPI layer's, not waits.
// Reported: host CPU time per Initialize, and beside it the cost of the bare probing it does
// (one INQUIRY per target through the same transport), as a ratio.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "test_host.h"
#include "scancore/interface.h"
#include "scancore/scan_core.h"

namespace {

std::string LargeMachine() {
  std::string text = "[machine]\nadapters=a0,a1,a2,a3\n";
  for (int a = 0; a < 4; ++a) {
    text += "[a" + std::to_string(a) + "]\nkind=scsi\nidentifier=hba" + std::to_string(a) + "\n";
    for (int t = 0; t < 8; ++t) {
      text += "target" + std::to_string(t) + "=s" + std::to_string(a) + std::to_string(t) + "\n";
    }
  }
  for (int a = 0; a < 4; ++a) {
    for (int t = 0; t < 8; ++t) {
      text += "[s" + std::to_string(a) + std::to_string(t) +
              "]\nmodel=Color   FlatbedScanner_4\noptical=600\n";
    }
  }
  return text;
}

// The test host on the large machine; it has more than one scanner, so the selection dialog is
// answered with OK.
class BenchHost {
 public:
  BenchHost() : host_({.machine = LargeMachine()}) { host_.ui().ExpectDialog(100, platform::IDOK, 0); }
  platform::Host& host() { return host_.host(); }

 private:
  platform::testing::TestHost host_;
};

void BM_Initialize4x8(benchmark::State& state) {
  BenchHost bench;
  CScanCore core("C:\\TOVELINK");
  for (auto _ : state) {
    CHWScannerInfo info;
    if (!core.Initialize(info)) state.SkipWithError("Initialize failed");
    benchmark::DoNotOptimize(info);
  }
}
BENCHMARK(BM_Initialize4x8)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The peer: the 32 probing inquiries alone, through one opened transport.
void BM_Probe4x8(benchmark::State& state) {
  BenchHost bench;
  for (auto _ : state) {
    CInterface transport(TransportServices::Of(bench.host()));
    transport.Open();
    uint8_t inquiry[36];
    for (uint8_t a = 0; a < transport.GetAdapterCount(); ++a) {
      for (uint8_t t = 0; t < 8; ++t) {
        transport.SetAddress(a, t);
        benchmark::DoNotOptimize(transport.Inquiry(inquiry, 36));
      }
    }
  }
}
BENCHMARK(BM_Probe4x8)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
