// The scan read path and host shading, under the virtual clock, and the `scan` program's memory.
//
// Read path, in one run: (a) the emulator's delivery alone (SET WINDOW, SCAN and READs of the
// same 600-dpi A4 colour page through the ASPI layer, 8000h bytes a READ as the library reads
// it), (b) the whole scan through SetScanParam and ReadBlockData, and (c) memcpy of the same
// bytes in blocks of the size ReadBlockData is asked for. ScanCore's own cost is (b) - (a).
//
// Host shading: the reduction of 16 lines at 1200 dpi colour (30600 histograms of 16 samples).
//
// `scan` of a 1200-dpi A4 colour page to PNM, PNG and TIFF: its peak resident memory (counter
// "peak_MB") and wall time, the program being run as a person runs it.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "host_shading.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "scancore/interface.h"
#include "scancore/scan_core.h"
#include "test_host.h"

extern char** environ;

namespace {

constexpr uint16_t kOptical = 600;
constexpr uint32_t kA4Width = 4961;   // 8.27 in at 600 dpi
constexpr uint32_t kA4Length = 6959;  // the glass's last line at 600 dpi
constexpr uint32_t kBlockLines = 256;

// The test host on a machine of one 600-dpi flatbed.
class BenchHost {
 public:
  BenchHost()
      : host_({.machine = "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0\n"
                          "maxtransfer=0x10000\ntarget2=s\n[s]\nmodel=Color   FlatbedScanner_4\n"
                          "optical=600\nadbits=10\ndelays=8,16\nscanstart=0\n"}) {}
  platform::Host& host() { return host_.host(); }

 private:
  platform::testing::TestHost host_;
};

SCANPARAM PageRequest() {
  SCANPARAM r;
  r.XResolution = r.YResolution = kOptical;
  r.Width = kA4Width;
  r.Length = kA4Length;
  r.Mode = kModeColor;
  return r;
}

// (b) the whole scan through the library.
void BM_ScanA4ColourThroughReadBlockData(benchmark::State& state) {
  BenchHost bench;
  CScanCore core("C:\\TOVELINK");
  CHWScannerInfo info;
  if (!core.Initialize(info)) return state.SkipWithError("no scanner");
  uint64_t bytes = 0;
  for (auto _ : state) {
    myIMAGEINFO image;
    if (!core.SetScanParam(PageRequest(), image, 0)) return state.SkipWithError("SetScanParam");
    const unsigned long request = kBlockLines * image.BytesPerLine;
    std::vector<uint8_t> buffer(request);
    uint64_t delivered = 0;
    const uint64_t total = uint64_t{image.Lines} * image.BytesPerLine;
    while (delivered < total) {
      unsigned long got = 0;
      if (!core.ReadBlockData(buffer.data(), request, request, got)) return state.SkipWithError("read");
      delivered += got;
    }
    core.AbortScan();
    bytes += delivered;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ScanA4ColourThroughReadBlockData)->Unit(benchmark::kMillisecond)->Iterations(3);

// (a) the emulator's delivery of the same page, without the library's work.
void BM_EmulatorDeliveryAlone(benchmark::State& state) {
  BenchHost bench;
  CInterface transport(TransportServices::Of(bench.host()));
  transport.Open();
  transport.SetAddress(0, 2);
  uint64_t bytes = 0;
  for (auto _ : state) {
    uint8_t window[54] = {};
    window[7] = 46;
    window[10] = window[12] = kOptical >> 8;
    window[11] = window[13] = kOptical & 0xFF;
    window[24] = kA4Width >> 8, window[25] = kA4Width & 0xFF;
    window[28] = kA4Length >> 8, window[29] = kA4Length & 0xFF;
    window[33] = 5, window[34] = 8, window[37] = 7;
    if (!transport.SetWindow(window)) return state.SkipWithError("SET WINDOW");
    uint8_t inquiry[122] = {};
    transport.Inquiry(inquiry, 122);
    const uint32_t b = inquiry[44] << 8 | inquiry[45];
    const uint32_t lines = inquiry[46] << 8 | inquiry[47];
    if (!transport.Scan()) return state.SkipWithError("SCAN");
    const uint32_t perRead = 0x8000 / b;
    std::vector<uint8_t> buffer(size_t{perRead} * b);
    for (uint32_t done = 0; done < lines; done += perRead) {
      const uint32_t n = std::min(perRead, lines - done);
      if (!transport.Read(0, 0, buffer.data(), n * b)) return state.SkipWithError("READ");
    }
    transport.ReleaseUnit();
    bytes += uint64_t{lines} * b;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EmulatorDeliveryAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

// (c) memcpy of the page's bytes in blocks as large as ReadBlockData's.
void BM_MemcpyOfThePage(benchmark::State& state) {
  const size_t b = 3 * kA4Width + 1;  // 14884, the padded colour line
  const size_t block = kBlockLines * b;
  const uint64_t total = uint64_t{kA4Length + 32} * b;
  std::vector<uint8_t> from(block, 0x5A), to(block);
  for (auto _ : state) {
    for (uint64_t done = 0; done < total; done += block) {
      std::memcpy(to.data(), from.data(), std::min<uint64_t>(block, total - done));
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(total * state.iterations()));
}
BENCHMARK(BM_MemcpyOfThePage)->Unit(benchmark::kMillisecond);

void BM_HostShadingReduction1200Colour(benchmark::State& state) {
  const size_t line = 3 * 10200;
  std::vector<uint8_t> source(16 * line);
  uint32_t seed = 1;
  for (uint8_t& v : source) {
    seed = seed * 1103515245 + 12345;
    v = static_cast<uint8_t>(216 + (seed >> 16) % 40);
  }
  std::vector<uint8_t> work = source;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), source.data(), line);  // line 0 is overwritten by each reduction
    state.ResumeTiming();
    scancore::ReduceShading(work.data(), line);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HostShadingReduction1200Colour)->Unit(benchmark::kMicrosecond);

// `scan` as a separate process: peak resident memory and time for one format.
void BM_ScanProgramA4At1200(benchmark::State& state, const char* format) {
  const std::string scan = std::string(SCANSUITE_BIN_DIR) + "/scan";
  const auto root = std::filesystem::temp_directory_path() / ("scan_program_bench." + std::to_string(::getpid()));
  std::filesystem::create_directories(root);
  const std::string output = (root / (std::string("page.") + format)).string();
  const std::string rootEnv = "SCANSUITE_ROOT=" + root.string();
  std::vector<std::string> args = {scan, "-d", "1", "--mode", "Color", "--resolution", "1200",
                                   "-x", "210", "-y", "297", "--format", format, "-o", output};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {rootEnv, "SCANSUITE_UI=scripted"};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  double peakMb = 0;
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, scan.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
      return state.SkipWithError("spawn");
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return state.SkipWithError("scan failed");
    peakMb = std::max(peakMb, usage.ru_maxrss / 1024.0);
  }
  state.counters["peak_MB"] = peakMb;
  state.counters["file_MB"] = std::filesystem::file_size(output) / 1048576.0;
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}
BENCHMARK_CAPTURE(BM_ScanProgramA4At1200, pnm, "pnm")->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_ScanProgramA4At1200, png, "png")->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_ScanProgramA4At1200, tiff, "tiff")->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
