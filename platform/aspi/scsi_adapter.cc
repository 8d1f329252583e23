#include "platform/scsi.h"

namespace platform {

ScsiOutcome ScsiOutcome::Good(uint32_t transferred) {
  ScsiOutcome outcome;
  outcome.transferred = transferred;
  return outcome;
}

ScsiOutcome ScsiOutcome::Check(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t byte18,
                               uint8_t byte19) {
  ScsiOutcome outcome;
  outcome.targetStatus = kScsiCheckCondition;
  outcome.sense[0] = 0x70;  // current error, fixed format
  outcome.sense[2] = key & 0x0F;
  outcome.sense[7] = static_cast<uint8_t>(outcome.sense.size() - 8);  // additional length
  outcome.sense[12] = asc;
  outcome.sense[13] = ascq;
  outcome.sense[18] = byte18;
  outcome.sense[19] = byte19;
  return outcome;
}

ScsiOutcome ScsiOutcome::Status(uint8_t targetStatus) {
  ScsiOutcome outcome;
  outcome.targetStatus = targetStatus;
  return outcome;
}

namespace {
bool ValidTarget(int target) { return target >= 0 && target < ScsiAdapter::kTargets; }
}  // namespace

// An out-of-range target is ignored: no bus has a slot for it, so nothing could ever select it.
void ScsiAdapter::Attach(int target, std::shared_ptr<ScsiDevice> device, bool late) {
  if (!ValidTarget(target)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  slots_[target] = Slot{std::move(device), !late};
}

std::shared_ptr<ScsiDevice> ScsiAdapter::Target(int target) const {
  if (!ValidTarget(target)) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  const Slot& slot = slots_[target];
  return slot.visible ? slot.device : nullptr;
}

std::shared_ptr<ScsiDevice> ScsiAdapter::AttachedDevice(int target) const {
  if (!ValidTarget(target)) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  return slots_[target].device;
}

void ScsiAdapter::Rescan() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Slot& slot : slots_) {
    if (slot.device) slot.visible = true;
  }
  ++rescans_;
}

int ScsiAdapter::rescanCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rescans_;
}

void ScsiAdapter::ForceHostStatus(uint8_t status) {
  std::lock_guard<std::mutex> lock(mutex_);
  forcedHostStatus_ = status;
}

uint8_t ScsiAdapter::forcedHostStatus() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return forcedHostStatus_;
}

}  // namespace platform
