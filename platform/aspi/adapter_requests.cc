// SC_HA_INQUIRY and SC_ABORT_SRB: the two requests that are about the adapter rather than a
// device on it.
#include <algorithm>
#include <cstring>

#include "bus.h"
#include "platform/faults/faults.h"
#include "platform/aspi/aspi_service.h"
#include "request_table.h"
#include "srb_status.h"

namespace platform {

using aspi_internal::StoreStatus;

namespace {

// Fixed-width text fields are zero-padded, so that a reader that stops at a zero byte stops
// inside the field.
void CopyField(uint8_t (&field)[16], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

void FillUnique(uint8_t (&unique)[16], const HostAdapterInfo& info) {
  std::memset(unique, 0, sizeof unique);
  unique[3] = ScsiAdapter::kTargets;  // targets the adapter addresses
  for (int i = 0; i < 4; ++i) unique[4 + i] = static_cast<uint8_t>(info.maxTransfer >> (8 * i));
}

}  // namespace

uint8_t AspiService::HostAdapterInquiry(AspiLayer layer, SRB_HAInquiry* srb) {
  BusPtr bus = BusAt(layer, srb->SRB_HaId);
  if (!bus) return StoreStatus(srb, SS_INVALID_HA);
  const HostAdapterInfo& info = bus->adapter->info();
  srb->HA_Count = static_cast<uint8_t>(std::min<size_t>(Buses(layer).size(), 0xFF));
  srb->HA_SCSI_ID = info.hostScsiId;
  CopyField(srb->HA_ManagerId, info.managerId);
  CopyField(srb->HA_Identifier, info.identifier);
  FillUnique(srb->HA_Unique, info);
  srb->HA_Rsvd1 = 0;
  return StoreStatus(srb, SS_COMP);
}

uint8_t AspiService::AbortRequest(AspiLayer layer, SRB_Abort* srb) {
  if (!BusAt(layer, srb->SRB_HaId)) return StoreStatus(srb, SS_INVALID_HA);
  // An adapter that never gets round to the abort: it stays pending, the request untouched.
  if (host_.faults().Check(fault_point::kAspiAbort)) return StoreStatus(srb, SS_PENDING);
  void* target = srb->SRB_ToAbort;
  const bool aborted = target && requests_->Abort(target, layer, srb->SRB_HaId);
  return StoreStatus(srb, aborted ? SS_COMP : SS_ABORT_FAIL);
}

}  // namespace platform
