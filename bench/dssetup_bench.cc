// The data-source setup's two speed goals:
//   ParallelRead/highspeed   identity replies of 60 000 bytes read through port I/O from the
//                            emulated high-speed interface (word counter, 16-bit data), MB/s;
//   ParallelRead/standard    the same replies by the byte handshake, the peer: `vs_standard`
//                            is the high-speed throughput over it in this run;
//   UnattendedInstall/...    a whole install from the medium on a fresh Windows 98 machine
//                            (English, one model) under the virtual clock, reporting the virtual
//                            seconds it took (`virtual_s`), the part of them that is the search's
//                            own 300 ms pause before each SCSI target (`pauses_s`) and the rest
//                            (`other_s`): `default_machine` is the goal's case (the default
//                            machine.ini with its setup scanner line enabled, target 6 of the
//                            first adapter); `parallel_port` and `absent` are the worst cases,
//                            where the search passes every SCSI target first.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "flow_fixture.h"
#include "machine_description.h"
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

// Where the scanner is for one install: the default machine (machine.ini as a fresh root writes
// it) with the setup's scanner where that file keeps it ready, one line away, on target 6 of the
// first adapter; the same machine with the scanner on the parallel port instead; and without it.
enum class Placement { kDefaultMachine, kParallelPort, kAbsent };

std::string MachineFor(Placement placement) {
  std::string machine(emulator::DefaultMachineText());
  if (placement == Placement::kDefaultMachine) {
    const size_t at = machine.find(";target6=identity");
    if (at != std::string::npos) machine.erase(at, 1);
  }
  if (placement == Placement::kParallelPort) machine += "\n[ports]\nidentity=0x378,standard\n";
  return machine;
}

// A flow test's fixture without GoogleTest's runner: a fresh Windows 98 machine, the medium in
// drive A: and the answers of a person who installs one model in English.
class Install : public dssetup::testing::FlowTest {
 public:
  explicit Install(const std::string& machine) : FlowTest(machine.c_str()) {}
  void TestBody() override {}
  int Run(Placement placement) {
    setenv("SCANSUITE_BIN", SCANSUITE_BENCH_BIN, 1);
    Prepare();
    ExpectChoices(1);
    ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", platform::IDOK);
    ui().ExpectDialog("PORT_SETUP", platform::IDOK);
    switch (placement) {
      case Placement::kDefaultMachine:
        ui().ExpectDialog("PORT_INFO_SCSI", platform::IDOK);
        ui().ExpectDialog("FinalDlg", platform::IDOK);
        break;
      case Placement::kParallelPort:
        ui().ExpectDialog("PORT_INFO_LPT", platform::IDOK);
        break;
      case Placement::kAbsent:
        // The record keeps the last parallel port tried: no restart, no closing dialog.
        ui().ExpectDialog("NO_SCANNER_PORT", 2);
        break;
    }
    const uint64_t start = host_.clock().NowMs();
    const int result = RunSetup();
    virtualMs = host_.clock().NowMs() - start;
    return result == 0 && ui().Unmet().empty() ? 0 : 1;
  }
  uint64_t virtualMs = 0;
};

// `targets` is how many SCSI targets the search passes before it stops, each after the pause of
// 300 ms the search makes before every inquiry: `pauses_s` is that share of `virtual_s`.
void UnattendedInstall(benchmark::State& state, Placement placement, int targets) {
  const std::string machine = MachineFor(placement);
  uint64_t virtualMs = 0;
  for (auto _ : state) {
    Install install(machine);
    if (install.Run(placement) != 0) {
      state.SkipWithError("install failed");
      break;
    }
    virtualMs = install.virtualMs;
  }
  state.counters["virtual_s"] = static_cast<double>(virtualMs) / 1000.0;
  state.counters["pauses_s"] = targets * 0.3;
  state.counters["other_s"] = static_cast<double>(virtualMs) / 1000.0 - targets * 0.3;
}

// The default machine's two ASPI adapters (the SCSI host adapter and the parallel-to-SCSI
// adapter) have 7 targets each.
void BM_InstallDefaultMachine(benchmark::State& state) {
  UnattendedInstall(state, Placement::kDefaultMachine, 7);
}
void BM_InstallScannerOnParallelPort(benchmark::State& state) {
  UnattendedInstall(state, Placement::kParallelPort, 14);
}
void BM_InstallScannerAbsent(benchmark::State& state) {
  UnattendedInstall(state, Placement::kAbsent, 14);
}

}  // namespace

BENCHMARK(BM_ParallelReadStandard)->Name("ParallelRead/standard")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParallelReadHighSpeed)->Name("ParallelRead/highspeed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallDefaultMachine)->Name("UnattendedInstall/default_machine")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallScannerOnParallelPort)->Name("UnattendedInstall/parallel_port")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallScannerAbsent)->Name("UnattendedInstall/absent")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
