// SC_EXEC_SCSI_CMD: the request block is checked and copied when it is accepted, run on its bus
// either at once or on the layer's worker, and completed through the request table, which is
// the only place that writes an accepted block.
#include <algorithm>
#include <array>
#include <cstring>

#include "bus.h"
#include "completion_worker.h"
#include "platform/aspi/aspi_service.h"
#include "platform/clock/event.h"
#include "request_table.h"
#include "srb_status.h"

namespace platform {

using aspi_internal::RequestTable;
using aspi_internal::StoreStatus;

namespace {

constexpr uint8_t kPostingFlag = 0x01;  // SRB_POSTING: a callback we cannot call safely
constexpr size_t kMaxCdb = 16;

// What an accepted request needs, copied out of its block so that the run does not depend on
// the block's fields staying put.
struct ExecRequest {
  SRB_ExecSCSICmd* srb = nullptr;
  uint64_t id = 0;
  std::shared_ptr<aspi_internal::Bus> bus;
  int target = 0;
  std::array<uint8_t, kMaxCdb> cdb{};
  uint8_t cdbLength = 0;
  ScsiDirection direction = ScsiDirection::kNone;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  uint8_t senseLength = 0;
  Event* event = nullptr;

  ScsiCommand Command() const { return {cdb.data(), cdbLength, direction, data, length}; }
};

ScsiDirection DirectionOf(uint8_t flags) {
  if (flags & SRB_DIR_IN) return ScsiDirection::kIn;
  if (flags & SRB_DIR_OUT) return ScsiDirection::kOut;
  return ScsiDirection::kNone;
}

bool FlagsValid(const SRB_ExecSCSICmd& srb) {
  const uint8_t flags = srb.SRB_Flags;
  if (flags & kPostingFlag) return false;
  if ((flags & SRB_DIR_IN) && (flags & SRB_DIR_OUT)) return false;
  if (srb.SRB_BufLen != 0 && DirectionOf(flags) == ScsiDirection::kNone) return false;
  return !(flags & SRB_EVENT_NOTIFY) || srb.SRB_PostProc != nullptr;
}

ExecRequest Capture(SRB_ExecSCSICmd* srb, std::shared_ptr<aspi_internal::Bus> bus) {
  ExecRequest request;
  request.srb = srb;
  request.bus = std::move(bus);
  request.target = srb->SRB_Target;
  request.cdbLength = srb->SRB_CDBLen;
  std::memcpy(request.cdb.data(), srb->CDBByte, request.cdbLength);
  request.direction = DirectionOf(srb->SRB_Flags);
  if (request.direction != ScsiDirection::kNone) {
    request.length = srb->SRB_BufLen;
    // A transfer of no bytes may come without a buffer; devices still get a valid pointer.
    static uint8_t none;
    request.data = request.length ? srb->SRB_BufPointer : &none;
  }
  request.senseLength = srb->SRB_SenseLen;
  if (srb->SRB_Flags & SRB_EVENT_NOTIFY) request.event = static_cast<Event*>(srb->SRB_PostProc);
  return request;
}

void WriteCompletion(const ExecRequest& request, const ScsiOutcome& outcome, uint8_t status) {
  SRB_ExecSCSICmd* srb = request.srb;
  srb->SRB_HaStat = outcome.hostStatus;
  srb->SRB_TargStat = outcome.targetStatus;
  if (outcome.targetStatus == kScsiCheckCondition) {
    const size_t n = std::min<size_t>(request.senseLength, outcome.sense.size());
    std::memcpy(srb->SenseArea, outcome.sense.data(), n);
  }
  StoreStatus(srb, status);
}

uint8_t Run(RequestTable& table, const ExecRequest& request) {
  if (!table.Start(request.srb, request.id)) return SS_ABORTED;
  const ScsiOutcome outcome = request.bus->Run(request.target, request.Command());
  if (outcome.neverCompletes) {
    table.Stall(request.srb, request.id);
    return SS_PENDING;
  }
  // A short or long data phase still completes: the adapter reports it beside the status, and
  // the initiator decides whether the data it got is enough.
  const bool good = outcome.targetStatus == kScsiGood &&
                    (outcome.hostStatus == kHostOk || outcome.hostStatus == kHostDataOverrunUnderrun);
  const uint8_t status = good ? SS_COMP : SS_ERR;
  table.Finish(request.srb, request.id, [&] { WriteCompletion(request, outcome, status); });
  return status;
}

uint8_t Refuse(SRB_ExecSCSICmd* srb, uint8_t status) {
  // Real adapters report an empty target as a selection time-out; say so beside the status.
  srb->SRB_HaStat = status == SS_NO_DEVICE ? kHostSelectionTimeout : kHostOk;
  srb->SRB_TargStat = kScsiGood;
  return StoreStatus(srb, status);
}

}  // namespace

uint8_t AspiService::Validate(AspiLayer layer, const SRB_ExecSCSICmd* srb, BusPtr* bus) {
  *bus = BusAt(layer, srb->SRB_HaId);
  if (!*bus) return SS_INVALID_HA;
  if (srb->SRB_Target >= ScsiAdapter::kTargets || srb->SRB_Lun != 0 ||
      !(*bus)->adapter->Target(srb->SRB_Target)) {
    return SS_NO_DEVICE;
  }
  if (srb->SRB_CDBLen == 0 || srb->SRB_CDBLen > kMaxCdb) return SS_INVALID_SRB;
  if (srb->SRB_BufLen != 0 && srb->SRB_BufPointer == nullptr) return SS_INVALID_SRB;
  return FlagsValid(*srb) ? SS_PENDING : SS_INVALID_SRB;
}

uint8_t AspiService::ExecuteScsi(AspiLayer layer, SRB_ExecSCSICmd* srb) {
  BusPtr bus;
  if (uint8_t refused = Validate(layer, srb, &bus); refused != SS_PENDING) {
    return Refuse(srb, refused);
  }
  auto request = std::make_shared<ExecRequest>(Capture(srb, std::move(bus)));
  srb->SRB_HaStat = kHostOk;
  srb->SRB_TargStat = kScsiGood;
  StoreStatus(srb, SS_PENDING);
  request->id = requests_->Claim(srb, layer, srb->SRB_HaId, request->event);
  if (request->id == 0) return SS_INVALID_SRB;  // sent twice at once from two threads
  if (request->bus->adapter->completion() == ScsiAdapter::Completion::kImmediate) {
    return Run(*requests_, *request);
  }
  Worker(layer).Post([table = requests_.get(), request] { Run(*table, *request); });
  return SS_PENDING;
}

}  // namespace platform
