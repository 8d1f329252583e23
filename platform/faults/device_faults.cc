#include "platform/faults/device_faults.h"

namespace platform {

void DeviceFaults::Add(const DeviceFault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(fault);
}

void DeviceFaults::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

bool DeviceFaults::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.empty();
}

std::optional<DeviceFault> DeviceFaults::Take(uint8_t opcode) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->opcode != -1 && it->opcode != opcode) continue;
    DeviceFault hit = *it;
    if (it->count > 0 && --it->count == 0) faults_.erase(it);
    return hit;
  }
  return std::nullopt;
}

}  // namespace platform
