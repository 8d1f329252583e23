// The requests a service has accepted and not yet finished, keyed by their request block. It
// decides who may still write a block: the request's runner while it is queued or running, an
// abort while it is queued or stalled, and nobody once it has finished.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "platform/aspi/aspi_service.h"
#include "platform/clock/event.h"

namespace platform::aspi_internal {

class RequestTable {
 public:
  // Accepts `srb`; 0 when it is already in flight. Each acceptance gets a fresh id, so a job
  // for an aborted request never runs a later request that reuses the block.
  uint64_t Claim(void* srb, AspiLayer layer, uint8_t haId, Event* event);
  bool Contains(const void* srb) const;
  // queued -> running; false when the request was aborted meanwhile.
  bool Start(void* srb, uint64_t id);
  // running -> stalled: the device will never finish it; only an abort can.
  void Stall(void* srb, uint64_t id);
  // Runs `write` on the block while the request is still this one, forgets the request and
  // sets its event. False when it was no longer in flight.
  bool Finish(void* srb, uint64_t id, const std::function<void()>& write);
  // Aborts a queued or stalled request of the same layer and adapter: writes SS_ABORTED and
  // sets its event. False when there is none, or it is running (it is about to finish anyway).
  bool Abort(void* srb, AspiLayer layer, uint8_t haId);

 private:
  enum class State { kQueued, kRunning, kStalled };
  struct Entry {
    uint64_t id;
    AspiLayer layer;
    uint8_t haId;
    Event* event;
    State state;
  };
  Event* Forget(std::map<void*, Entry>::iterator it);

  mutable std::mutex mutex_;
  std::map<void*, Entry> entries_;
  uint64_t nextId_ = 1;
};

}  // namespace platform::aspi_internal
