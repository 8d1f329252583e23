#include "faults.h"

namespace emulator {

void FaultList::Add(const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(fault);
}

void FaultList::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

bool FaultList::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.empty();
}

std::optional<Fault> FaultList::Take(uint8_t opcode) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->opcode != -1 && it->opcode != opcode) continue;
    Fault hit = *it;
    if (it->count > 0 && --it->count == 0) faults_.erase(it);
    return hit;
  }
  return std::nullopt;
}

}  // namespace emulator
