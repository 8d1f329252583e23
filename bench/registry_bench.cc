// Registry writes: 10,000 new values in one transaction, and as the peer in the same run the
// same kind of write committed one by one (on 1,000 values, since each commit costs far more).
// Compare the items_per_second of the two (wall time: a commit costs I/O more than CPU).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "temp_dir.h"

namespace {

struct RegistrySetup {
  platform::testing::TempDir dir;
  platform::Registry registry{dir.path() / "registry.db"};
  std::vector<std::string> names;

  explicit RegistrySetup(int count) {
    for (int i = 0; i < count; ++i) names.push_back("Value" + std::to_string(i));
  }

  platform::RegKey FreshKey(benchmark::State& state) {
    state.PauseTiming();
    registry.DeleteTree(platform::kHkeyLocalMachine, "Software\\Bench");
    platform::RegKey key = 0;
    registry.CreateKey(platform::kHkeyLocalMachine, "Software\\Bench", &key);
    state.ResumeTiming();
    return key;
  }

  bool WriteAll(platform::RegKey key) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (registry.SetDword(key, names[i], static_cast<uint32_t>(i)) != 0) return false;
    }
    return true;
  }
};

void BM_RegistryWritesInOneTransaction(benchmark::State& state) {
  RegistrySetup setup(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    platform::RegKey key = setup.FreshKey(state);
    bool ok = setup.registry.BeginTransaction() == 0 && setup.WriteAll(key) &&
              setup.registry.CommitTransaction() == 0;
    if (!ok) state.SkipWithError("a registry write failed");
    setup.registry.CloseKey(key);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RegistryWritesInOneTransaction)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_RegistryWritesEachCommitted(benchmark::State& state) {
  RegistrySetup setup(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    platform::RegKey key = setup.FreshKey(state);
    if (!setup.WriteAll(key)) state.SkipWithError("a registry write failed");
    setup.registry.CloseKey(key);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RegistryWritesEachCommitted)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
