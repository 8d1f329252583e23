#include "platform/devices/scsi.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/faults/faults.h"

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

namespace platform {

void ScsiAdapter::ConnectFaults(Faults& faults, std::string bus) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_ = &faults;
  bus_ = std::move(bus);
}

DeviceFaults& ScsiAdapter::TargetFaults(int target) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int slot = ValidTarget(target) ? target : 0;
  return faults_ ? faults_->Device(bus_, slot) : ownFaults_[slot];
}

ScsiOutcome ScsiAdapter::Execute(int target, const ScsiCommand& command) {
  std::shared_ptr<ScsiDevice> device = Target(target);
  if (!device) {
    ScsiOutcome timeout;
    timeout.hostStatus = kHostSelectionTimeout;
    return timeout;
  }
  std::optional<DeviceFault> fault;
  const bool hasOpcode = command.cdb != nullptr && command.cdbLength > 0;
  if (hasOpcode) fault = TargetFaults(target).Take(command.cdb[0]);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::array<uint8_t, 20>& pending = slots_[target].pendingSense;
    if (pending[0] != 0 && !fault && hasOpcode && command.cdb[0] == 0x03) {
      const uint32_t asked = command.cdbLength > 4 ? command.cdb[4] : 0;
      const uint32_t n = std::min<uint32_t>({command.length, asked, 20});
      if (n > 0 && command.data != nullptr) std::memcpy(command.data, pending.data(), n);
      pending = {};
      return ScsiOutcome::Good(command.data != nullptr ? n : 0);
    }
    pending = {};
  }
  if (fault && fault->kind == DeviceFault::Kind::kSense) {
    ScsiOutcome check = ScsiOutcome::Check(fault->senseKey, fault->asc, fault->ascq,
                                           fault->byte18, fault->byte19);
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[target].pendingSense = check.sense;
    return check;
  }
  return RunThroughFaults(*device, command, fault);
}

// The faults that shape a real answer: the device runs, then its reply is cut, blanked or given
// another adapter status on the way to the initiator.
ScsiOutcome ScsiAdapter::RunThroughFaults(ScsiDevice& device, const ScsiCommand& command,
                                          const std::optional<DeviceFault>& fault) {
  using Kind = DeviceFault::Kind;
  if (fault && fault->kind == Kind::kTargetStatus) return ScsiOutcome::Status(fault->status);
  if (fault && fault->kind == Kind::kNeverComplete) {
    ScsiOutcome never;
    never.neverCompletes = true;
    return never;
  }
  const bool dataIn = command.direction != ScsiDirection::kOut && command.length > 0 &&
                      command.data != nullptr;
  if (fault && fault->kind == Kind::kShortData && dataIn) {
    // The reply is made in full into a buffer of the bus, then only `length` bytes reach the
    // initiator, as when the data phase ends early.
    std::vector<uint8_t> full(command.data, command.data + command.length);
    ScsiCommand copy = command;
    copy.data = full.data();
    ScsiOutcome outcome = device.Execute(copy);
    const uint32_t moved = std::min(outcome.transferred, command.length);
    const uint32_t limit = std::min(moved, fault->length);
    std::memcpy(command.data, full.data(), limit);
    if (moved > limit) {
      outcome.transferred = limit;
      outcome.hostStatus = kHostDataOverrunUnderrun;
    }
    return outcome;
  }
  ScsiOutcome outcome = device.Execute(command);
  if (fault && fault->kind == Kind::kNulData && dataIn) {
    std::memset(command.data, 0, std::min(outcome.transferred, command.length));
  }
  if (fault && fault->kind == Kind::kHostStatus) outcome.hostStatus = fault->status;
  return outcome;
}

}  // namespace platform
