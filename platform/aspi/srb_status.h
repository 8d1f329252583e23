// Status bytes of a request block. SRB_Status is stored last and with release order, so that an
// initiator polling it (rather than waiting for the event) sees every other field filled.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/aspi/aspi.h"

namespace platform::aspi_internal {

inline uint8_t StoreStatus(void* block, uint8_t status) {
  std::atomic_ref<uint8_t>(static_cast<SRB_Header*>(block)->SRB_Status)
      .store(status, std::memory_order_release);
  return status;
}

}  // namespace platform::aspi_internal
