// Request blocks of any content sent to the ASPI layer, several per input, on an adapter that
// completes at once and one that completes on its worker: every block gets a status, nothing
// is written outside the blocks and buffers the caller gave, and nothing stays in flight.
#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>
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

constexpr size_t kBufferSize = 512;
constexpr size_t kMaxRequests = 8;

// Moves at most the length it is given; opcode FFh never completes, 03h reports sense.
class FuzzDevice : public ScsiDevice {
 public:
  ScsiOutcome Execute(const ScsiCommand& command) override {
    if (command.cdb[0] == 0xFF) {
      ScsiOutcome outcome;
      outcome.neverCompletes = true;
      return outcome;
    }
    if (command.cdb[0] == 0x03) return ScsiOutcome::Check(kSenseIllegalRequest, 0x24, 0, 1, 2);
    if (command.direction == ScsiDirection::kIn) std::memset(command.data, 0x5A, command.length);
    return ScsiOutcome::Good(command.length);
  }
};

struct World {
  World() {
    AspiService& aspi = AttachAspi(host.host());
    for (auto completion : {ScsiAdapter::Completion::kImmediate, ScsiAdapter::Completion::kLater}) {
      auto adapter = std::make_shared<ScsiAdapter>(HostAdapterInfo{}, completion);
      adapter->Attach(0, std::make_shared<FuzzDevice>());
      adapter->Attach(1, std::make_shared<FuzzDevice>(), /*late=*/true);
      aspi.AddAdapter(AdapterKind::kScsi, adapter);
    }
    service = &aspi;
    for (auto& event : events) event = std::make_unique<Event>(host.host().clock(), Event::Reset::kAuto);
  }
  platform::testing::TestHost host{{.hardware = NoHardware()}};
  AspiService* service = nullptr;
  // Events outlive the inputs: Event::Set may still be returning when a waiter wakes.
  std::array<std::unique_ptr<Event>, kMaxRequests> events;
};

// One block with the buffer and event its pointer fields are pointed at.
struct Request {
  explicit Request(Event& event) : event(event) {}
  alignas(8) uint8_t block[sizeof(SRB_ExecSCSICmd)] = {};
  uint8_t buffer[kBufferSize] = {};
  Event& event;
  uint32_t sent = 0;
};

// Pointer fields cannot be fuzzed as addresses; a nonzero one becomes a real object, and the
// buffer length is kept within the buffer, as a caller's must be.
void Aim(Request& r, std::vector<std::unique_ptr<Request>>& all) {
  auto* exec = reinterpret_cast<SRB_ExecSCSICmd*>(r.block);
  if (exec->SRB_Cmd == SC_ABORT_SRB) {
    auto* abort = reinterpret_cast<SRB_Abort*>(r.block);
    const size_t pick = reinterpret_cast<uintptr_t>(abort->SRB_ToAbort) % (all.size() + 1);
    abort->SRB_ToAbort = pick < all.size() ? all[pick]->block : nullptr;
    return;
  }
  if (exec->SRB_BufPointer) {
    exec->SRB_BufPointer = r.buffer;
    exec->SRB_BufLen = std::min<uint32_t>(exec->SRB_BufLen, kBufferSize);
  }
  if (exec->SRB_PostProc) exec->SRB_PostProc = &r.event;
}

uint8_t Status(Request& r) {
  return std::atomic_ref<uint8_t>(reinterpret_cast<SRB_Header*>(r.block)->SRB_Status).load();
}

// Aborts what is stalled and waits for what is running, so that no block or event is freed
// while the layer may still use it: an accepted request sets its event exactly once.
void Drain(AspiService& aspi, Request& r) {
  if (r.sent != SS_PENDING) return;
  auto* header = reinterpret_cast<SRB_Header*>(r.block);
  SRB_Abort abort{SC_ABORT_SRB, 0, header->SRB_HaId, 0, 0, r.block};
  while (Status(r) == SS_PENDING && aspi.SendCommand(AspiLayer::kWinAspi, &abort) != SS_COMP) {
    std::this_thread::yield();
  }
  if (header->SRB_Flags & SRB_EVENT_NOTIFY) r.event.Wait(kInfinite);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  AspiService& aspi = *world.service;
  std::vector<std::unique_ptr<Request>> requests;
  while (size > 0 && requests.size() < kMaxRequests) {
    auto r = std::make_unique<Request>(*world.events[requests.size()]);
    const size_t n = std::min(size, sizeof r->block);
    std::memcpy(r->block, data, n);
    data += n;
    size -= n;
    Aim(*r, requests);
    r->sent = aspi.SendCommand(AspiLayer::kWinAspi, r->block);
    requests.push_back(std::move(r));
  }
  if (aspi.GetSupportInfo(AspiLayer::kWinAspi) != 0x102) std::abort();
  for (auto& r : requests) Drain(aspi, *r);
  return 0;
}
