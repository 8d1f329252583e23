#include "request_table.h"

#include "srb_status.h"

namespace platform::aspi_internal {

uint64_t RequestTable::Claim(void* srb, AspiLayer layer, uint8_t haId, Event* event) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = nextId_++;
  if (!entries_.emplace(srb, Entry{id, layer, haId, event, State::kQueued}).second) return 0;
  return id;
}

bool RequestTable::Contains(const void* srb) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.count(const_cast<void*>(srb)) != 0;
}

bool RequestTable::Start(void* srb, uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(srb);
  if (it == entries_.end() || it->second.id != id) return false;
  it->second.state = State::kRunning;
  return true;
}

void RequestTable::Stall(void* srb, uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(srb);
  if (it != entries_.end() && it->second.id == id) it->second.state = State::kStalled;
}

Event* RequestTable::Forget(std::map<void*, Entry>::iterator it) {
  Event* event = it->second.event;
  entries_.erase(it);
  return event;
}

bool RequestTable::Finish(void* srb, uint64_t id, const std::function<void()>& write) {
  Event* event = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(srb);
    if (it == entries_.end() || it->second.id != id) return false;
    write();
    event = Forget(it);
  }
  if (event) event->Set();
  return true;
}

bool RequestTable::Abort(void* srb, AspiLayer layer, uint8_t haId) {
  Event* event = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(srb);
    if (it == entries_.end() || it->second.state == State::kRunning) return false;
    if (it->second.layer != layer || it->second.haId != haId) return false;
    StoreStatus(srb, SS_ABORTED);
    event = Forget(it);
  }
  if (event) event->Set();
  return true;
}

}  // namespace platform::aspi_internal
