// READ requests carried by the ASPI layer, completed at once and from the layer's worker, with
// the device called directly as the peer: the difference is what the layer costs a scan. Bytes
// per second are reported for 64 KiB and 1 MiB reads (the largest transfers adapters offer).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/aspi/aspi.h"
#include "platform/aspi/aspi_service.h"
#include "platform/clock/event.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "platform/devices/scsi.h"
#include "test_host.h"

namespace {

using namespace platform;

// Fills the buffer, as a scanner delivering image lines does.
class StreamDevice : public ScsiDevice {
 public:
  ScsiOutcome Execute(const ScsiCommand& command) override {
    std::memset(command.data, 0x80, command.length);
    return ScsiOutcome::Good(command.length);
  }
};

struct Setup {
  Setup() {
    AspiService& aspi = AttachAspi(host.host());
    for (auto completion : {ScsiAdapter::Completion::kImmediate, ScsiAdapter::Completion::kLater}) {
      auto adapter = std::make_shared<ScsiAdapter>(HostAdapterInfo{}, completion);
      adapter->Attach(0, device);
      aspi.AddAdapter(AdapterKind::kScsi, adapter);
    }
    service = &aspi;
  }
  platform::testing::TestHost host{{.virtualClock = false, .hardware = NoHardware()}};
  std::shared_ptr<StreamDevice> device = std::make_shared<StreamDevice>();
  AspiService* service = nullptr;
};

SRB_ExecSCSICmd ReadBlock(uint8_t ha, std::vector<uint8_t>& buffer, Event& event) {
  SRB_ExecSCSICmd srb;
  std::memset(&srb, 0, sizeof srb);
  const uint32_t n = static_cast<uint32_t>(buffer.size());
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = ha;
  srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
  srb.SRB_BufLen = n;
  srb.SRB_BufPointer = buffer.data();
  srb.SRB_SenseLen = kSenseLength;
  srb.SRB_CDBLen = 10;
  const uint8_t cdb[10] = {0x28, 0, 0, 0, 0, 0, uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0};
  std::memcpy(srb.CDBByte, cdb, sizeof cdb);
  srb.SRB_PostProc = &event;
  return srb;
}

void BM_DeviceDirect(benchmark::State& state) {
  Setup setup;
  std::vector<uint8_t> buffer(state.range(0));
  Event event(setup.host.host().clock(), Event::Reset::kAuto);
  SRB_ExecSCSICmd srb = ReadBlock(0, buffer, event);
  ScsiCommand command{srb.CDBByte, 10, ScsiDirection::kIn, buffer.data(), srb.SRB_BufLen};
  for (auto _ : state) benchmark::DoNotOptimize(setup.device->Execute(command));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void ReadThroughLayer(benchmark::State& state, uint8_t ha) {
  Setup setup;
  std::vector<uint8_t> buffer(state.range(0));
  Event event(setup.host.host().clock(), Event::Reset::kAuto);
  SRB_ExecSCSICmd srb = ReadBlock(ha, buffer, event);
  for (auto _ : state) {
    setup.service->SendCommand(AspiLayer::kWinAspi, &srb);
    event.Wait(kInfinite);
    if (srb.SRB_Status != SS_COMP) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_LayerImmediate(benchmark::State& state) { ReadThroughLayer(state, 0); }
void BM_LayerLater(benchmark::State& state) { ReadThroughLayer(state, 1); }

// Wall time throughout: the deferred path spends its time on another thread.
BENCHMARK(BM_DeviceDirect)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();
BENCHMARK(BM_LayerImmediate)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();
BENCHMARK(BM_LayerLater)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
