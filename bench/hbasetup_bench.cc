// The adapter setup on large inputs:
//   ConfigSys/edit      the whole CONFIG.SYS edit (read, remove, write the temporary file, replace)
//                       of a 10,000-line file naming two old drivers on 1 line in 50
//   ConfigSys/grep      `grep -viF` removing the same lines from the same file into another
//   ConfigSys/text      the removal alone, in memory
//   CopyRun/200         a copy run of 200 small files; `virtual_s` is the time the run's waits
//                       take on the virtual clock (300 ms per file), the wall time is the copying
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config_sys.h"
#include "copy_run.h"
#include "platform/files/files.h"
#include "program.h"
#include "script.h"
#include "setup_context.h"
#include "setup_shell.h"
#include "test_host.h"
#include "uninstall_record.h"

namespace {

using namespace hbasetup;

class QuietShell : public SetupShell {
 public:
  bool StartProgram(std::string_view, int) override { return true; }
  uintptr_t FindTopLevelWindow(std::string_view) override { return 0; }
  void RequestClose(uintptr_t) override {}
  bool RequestRestart() override { return true; }
};

std::string BigConfigSys() {
  std::string text;
  for (int i = 0; i < 10000; ++i) {
    if (i % 100 == 0) {
      text += "DEVICE=C:\\SCSI\\rqbdos.sys /D:" + std::to_string(i) + "\r\n";
    } else if (i % 100 == 50) {
      text += "devicehigh=c:\\scsi\\RQBCD.SYS /v\r\n";
    } else {
      text += "DEVICE=C:\\DRIVERS\\D" + std::to_string(i) + ".SYS /X:" + std::to_string(i * 7) + "\r\n";
    }
  }
  return text;
}

struct Machine {
  platform::testing::TestHost t;
  QuietShell shell;
  platform::ResourceScript resources = *platform::ParseResourceScript(ResourceScriptText()).script;
  SetupContext context{t.host().files(), t.host().registry(), t.host().system(), t.host().ui(),
                       t.host().clock(), &t.host().faults(),  shell,             resources,
                       "A:\\"};
};

constexpr const char* kModify = "[Modify]\r\n1=C:\\SCSI\\RQBDOS.SYS\r\n2=C:\\SCSI\\RQBCD.SYS\r\n";

void BM_GrepRemove(benchmark::State& state) {
  Machine m;
  const std::string text = BigConfigSys();
  m.t.WriteFile("C:\\CONFIG.SYS", text);
  const std::string in = m.t.HostPath("C:\\CONFIG.SYS").string();
  const std::string out = (m.t.root() / "grep.out").string();
  const std::string command = "grep -viF -e 'RQBDOS.SYS' -e 'RQBCD.SYS' '" + in + "' > '" + out + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
  }
}

void BM_ConfigSysEdit(benchmark::State& state) {
  Machine m;
  const std::string text = BigConfigSys();
  const SetupScript script(kModify);
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    m.t.WriteFile("C:\\CONFIG.SYS", text);
    state.ResumeTiming();
    if (EditConfigSys(m.context, script) != ConfigEdit::kEdited) state.SkipWithError("edit failed");
  }
  bytes = m.t.host().files().ReadFile("C:\\CONFIG.SYS").value_or("").size();
  state.counters["kept_bytes"] = static_cast<double>(bytes);
}

void BM_ConfigSysText(benchmark::State& state) {
  const std::string text = BigConfigSys();
  const std::vector<std::string> names = {"RQBDOS.SYS", "RQBCD.SYS"};
  for (auto _ : state) benchmark::DoNotOptimize(RemoveNamedLines(text, names));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CopyRun200(benchmark::State& state) {
  Machine m;
  std::vector<CopyItem> list;
  for (int i = 0; i < 200; ++i) {
    const std::string name = "F" + std::to_string(i) + ".SYS";
    m.t.WriteFile("A:\\" + name, std::string(4096, static_cast<char>('a' + i % 26)));
    list.push_back({"A:\\" + name, "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\" + name});
  }
  uint64_t virtualMs = 0;
  for (auto _ : state) {
    UninstallRecord record(m.t.host().registry(), "Bench");
    const uint64_t before = m.t.clock().NowMs();
    CopyOutcome out = RunCopy(m.context, list, false, 0, record);
    virtualMs = m.t.clock().NowMs() - before;
    if (out.copied != 200) state.SkipWithError("not every file was copied");
    m.t.host().ui().DestroyWindow(out.dialog);
  }
  state.counters["virtual_s"] = static_cast<double>(virtualMs) / 1000.0;
}

}  // namespace

BENCHMARK(BM_GrepRemove)->Name("ConfigSys/grep")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConfigSysEdit)->Name("ConfigSys/edit")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConfigSysText)->Name("ConfigSys/text")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyRun200)->Name("CopyRun/200")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_MAIN();
