// Profile files: one key read from, and one key written to, a 5,000-key file. The peer in the
// same run is a plain read of the same file into memory, which is the floor for any profile read.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "temp_dir.h"

namespace {

struct ProfileSetup {
  platform::testing::TempDir dir;
  std::unique_ptr<platform::FileSystem> fs;
  std::unique_ptr<platform::ProfileFiles> profiles;

  ProfileSetup() {
    std::filesystem::create_directories(dir.path() / "WINDOWS");
    platform::DriveTable drives;
    drives.Map('C', dir.path());
    fs = std::make_unique<platform::FileSystem>(drives, dir.path() / "attributes.db");
    profiles = std::make_unique<platform::ProfileFiles>(*fs, "C:\\WINDOWS");
    std::ofstream out(dir.path() / "WINDOWS" / "BIG.INI", std::ios::binary);
    for (int s = 0; s < 50; ++s) {
      out << "[Section" << s << "]\r\n";
      for (int k = 0; k < 100; ++k) out << "Key" << k << "=Value number " << s * 100 + k << "\r\n";
    }
  }
};

void BM_FileReadFloor(benchmark::State& state) {
  ProfileSetup setup;
  for (auto _ : state) benchmark::DoNotOptimize(setup.fs->ReadFile("C:\\WINDOWS\\BIG.INI"));
}
BENCHMARK(BM_FileReadFloor)->Unit(benchmark::kMicrosecond);

void BM_ProfileReadOneKeyOf5000(benchmark::State& state) {
  ProfileSetup setup;
  char buffer[64];
  for (auto _ : state) {
    setup.profiles->GetString("Section49", "Key99", "", buffer, sizeof buffer, "big.ini");
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_ProfileReadOneKeyOf5000)->Unit(benchmark::kMicrosecond);

void BM_ProfileWriteOneKeyOf5000(benchmark::State& state) {
  ProfileSetup setup;
  int n = 0;
  for (auto _ : state) {
    std::string value = std::to_string(n++);
    setup.profiles->WriteString("Section25", "Key50", value.c_str(), "big.ini");
  }
}
BENCHMARK(BM_ProfileWriteOneKeyOf5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
