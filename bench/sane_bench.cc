// The SANE backend's cost, in one run: a 600-dpi colour A4 page (210 x 297 mm, 103.6 MB of
// pixels) scanned to PNM by `scan`, by scanimage through the backend, and by scanimage through
// SANE's net backend from saned on the loopback (in a network namespace of its own, where the
// SANE port is free). Each is the program run as a person runs it, on one fresh host root; the
// wall time of the whole run is measured. Compare ScanImage with Scan: the backend's share; the
// saned figure's bytes_per_second is the network throughput.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPage = "--mode Color --resolution 600 -l 0 -t 0 -x 210 -y 297";
constexpr double kPageBytes = 4960.0 * 6959 * 3;  // the library cuts the page at line 6959

int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A host root with the default machine and a SANE configuration folder naming it.
class Setup {
 public:
  Setup() : folder_(fs::temp_directory_path() / ("sane-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(folder_ / "sane.d");
    Shell("SCANSUITE_ROOT='" + root() + "' " SCANSUITE_BIN_DIR "/scan -L >/dev/null 2>&1");
    std::ofstream(folder_ / "sane.d" / "dll.conf") << "scansuite\n";
    std::ofstream(folder_ / "sane.d" / "saned.conf") << "127.0.0.1\n";
    std::ofstream(folder_ / "sane.d" / "scansuite.conf") << "root " << root() << "\n";
    fs::create_directories(folder_ / "net.d");
    std::ofstream(folder_ / "net.d" / "dll.conf") << "net\n";
    std::ofstream(folder_ / "net.d" / "net.conf") << "connect_timeout = 10\n127.0.0.1\n";
  }
  ~Setup() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string root() const { return (folder_ / "root").string(); }
  std::string sane() const {
    return "SANE_CONFIG_DIR='" + (folder_ / "sane.d").string() +
           "' LD_LIBRARY_PATH='" SCANSUITE_SANE_BACKEND_FOLDER "' SCANSUITE_ROOT=/nonexistent ";
  }
  std::string net() const { return "SANE_CONFIG_DIR='" + (folder_ / "net.d").string() + "' "; }
  fs::path folder() const { return folder_; }

 private:
  fs::path folder_;
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

void Report(benchmark::State& state, int status) {
  if (status != 0) state.SkipWithError("the program failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPageBytes));
}

void BM_Scan(benchmark::State& state) {
  const std::string command = "SCANSUITE_ROOT='" + TheSetup().root() + "' " SCANSUITE_BIN_DIR
                              "/scan -d 1 --format pnm " + std::string(kPage) + " >/dev/null 2>&1";
  int status = 0;
  for (auto _ : state) status |= Shell(command);
  Report(state, status);
}

void BM_ScanImage(benchmark::State& state) {
  const std::string command = TheSetup().sane() + "scanimage -d scansuite:0:2 --format=pnm " +
                              kPage + " >/dev/null 2>&1";
  int status = 0;
  for (auto _ : state) status |= Shell(command);
  Report(state, status);
}

// saned and the client in a network namespace; the time is the client's alone, from the script.
void BM_ScanImageOverSaned(benchmark::State& state) {
  if (Shell("unshare -rn true 2>/dev/null") != 0) {
    state.SkipWithError("no network namespace (unshare -rn)");
    return;
  }
  const fs::path timing = TheSetup().folder() / "saned.seconds";
  const std::string script =
      "ip link set lo up; " + TheSetup().sane() + "saned -l -d 1 -b 127.0.0.1 >/dev/null 2>&1 & s=$!; "
      "sleep 0.5; t0=$(date +%s.%N); " + TheSetup().net() +
      "scanimage -d net:127.0.0.1:scansuite:0:2 --format=pnm " + kPage + " >/dev/null 2>&1; r=$?; "
      "t1=$(date +%s.%N); kill $s; wait $s 2>/dev/null; echo \"$t0 $t1\" >'" + timing.string() + "'; exit $r";
  int status = 0;
  for (auto _ : state) {
    status |= Shell("unshare -rn sh -c '" + [&] {
      std::string quoted;
      for (char c : script) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      return quoted;
    }() + "'");
    double t0 = 0, t1 = 0;
    std::ifstream(timing) >> t0 >> t1;
    state.SetIterationTime(t1 - t0);
  }
  Report(state, status);
}

BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ScanImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ScanImageOverSaned)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
