// The data-source setup's two speed goals:
//   ParallelRead/highspeed   identity replies of 60 000 bytes read through port I/O from the
//                            emulated high-speed interface (word counter, 16-bit data), MB/s;
//   ParallelRead/standard    the same replies by the byte handshake, the peer: `vs_standard`
//                            is the high-speed throughput over it in this run;
//   UnattendedInstall        a whole install from the medium on a fresh machine (English, one
//                            model, the scanner on SCSI) under the virtual clock; reports the
//                            virtual seconds the install took beside the wall time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "flow_fixture.h"
#include "parallel_identity_scanner.h"
#include "parallel_transport.h"
#include "platform/ports/ports.h"
#include "test_host.h"

namespace {

double g_standardRate = 0;

emulator::IdentityModel BigReplyModel() {
  emulator::IdentityModel model;
  model.resolutions.clear();
  for (int i = 0; i < 19998; ++i) model.resolutions.push_back(static_cast<uint16_t>(50 + i % 4000));
  return model;
}

void ParallelRead(benchmark::State& state, bool highSpeed) {
  platform::testing::TestHost::Settings settings;
  settings.hardware = platform::NoHardware();
  platform::testing::TestHost host(settings);
  platform::Ports& ports = platform::Ports::Of(host.host());
  using Interface = emulator::ParallelIdentityScanner::Interface;
  const Interface kind = highSpeed ? Interface::kHighSpeed : Interface::kStandard;
  ports.Attach(0x278, 8, std::make_shared<emulator::ParallelIdentityScanner>(BigReplyModel(), kind));
  dssetup::ParallelPort port(ports);
  if (!port.Open(1, highSpeed, true)) state.SkipWithError("no port");
  std::vector<uint8_t> reply;
  int64_t bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const uint8_t command[] = {0x1B, 'I'};
    uint8_t header[4];
    if (!port.WriteString(command) || !port.SelectRead() || !port.ReadBlock(header)) {
      state.SkipWithError("exchange failed");
      break;
    }
    reply.resize(static_cast<size_t>(header[2] | header[3] << 8));
    if (!port.SelectRead() || !port.ReadBlock(reply)) {
      state.SkipWithError("block read failed");
      break;
    }
    bytes += static_cast<int64_t>(reply.size());
  }
  state.SetBytesProcessed(bytes);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
  if (!highSpeed) g_standardRate = rate;
  if (highSpeed && g_standardRate > 0) state.counters["vs_standard"] = rate / g_standardRate;
}

void BM_ParallelReadStandard(benchmark::State& state) {
  ParallelRead(state, false);
}

void BM_ParallelReadHighSpeed(benchmark::State& state) {
  ParallelRead(state, true);
}

// A flow test's fixture without GoogleTest's runner: the same fresh machine and answers.
class Install : public dssetup::testing::FlowTest {
 public:
  void TestBody() override {}
  int Run() {
    setenv("SCANSUITE_BIN", SCANSUITE_BENCH_BIN, 1);
    Prepare();
    ExpectChoices(1);
    ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", platform::IDOK);
    ui().ExpectDialog("PORT_SETUP", platform::IDOK);
    ui().ExpectDialog("PORT_INFO_SCSI", platform::IDOK);
    ui().ExpectDialog("FinalDlg", platform::IDOK);
    const uint64_t start = host_.clock().NowMs();
    const int result = RunSetup();
    virtualMs = host_.clock().NowMs() - start;
    return result;
  }
  uint64_t virtualMs = 0;
};

void BM_UnattendedInstall(benchmark::State& state) {
  uint64_t virtualMs = 0;
  for (auto _ : state) {
    Install install;
    if (install.Run() != 0) {
      state.SkipWithError("install failed");
      break;
    }
    virtualMs = install.virtualMs;
  }
  state.counters["virtual_s"] = static_cast<double>(virtualMs) / 1000.0;
}

}  // namespace

BENCHMARK(BM_ParallelReadStandard)->Name("ParallelRead/standard")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParallelReadHighSpeed)->Name("ParallelRead/highspeed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnattendedInstall)->Name("UnattendedInstall")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
