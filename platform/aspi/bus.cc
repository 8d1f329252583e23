#include "bus.h"

#include <algorithm>
#include <exception>

namespace platform::aspi_internal {

namespace {
ScsiOutcome HostFailure(uint8_t hostStatus) {
  ScsiOutcome outcome;
  outcome.hostStatus = hostStatus;
  return outcome;
}
}  // namespace

ScsiOutcome Bus::Run(int target, const ScsiCommand& command) {
  const uint8_t forced = adapter->forcedHostStatus();
  if (forced == kHostSelectionTimeout) return HostFailure(forced);
  ScsiOutcome outcome;
  try {
    std::lock_guard<std::mutex> lock(busy_);
    outcome = adapter->Execute(target, command);
  } catch (const std::exception&) {
    // A request thread must not die with the device; the initiator sees the bus go free.
    return HostFailure(kHostUnexpectedBusFree);
  }
  if (forced != kHostOk) outcome.hostStatus = forced;
  outcome.transferred = std::min(outcome.transferred, command.length);
  return outcome;
}

void BusSet::Add(std::shared_ptr<Bus> bus) {
  std::lock_guard<std::mutex> lock(mutex_);
  buses_.push_back(std::move(bus));
}

std::vector<std::shared_ptr<Bus>> BusSet::OfKinds(std::initializer_list<AdapterKind> kinds) const {
  std::vector<std::shared_ptr<Bus>> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& bus : buses_) {
    if (std::find(kinds.begin(), kinds.end(), bus->kind) != kinds.end()) result.push_back(bus);
  }
  return result;
}

size_t BusSet::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buses_.size();
}

void BusSet::RescanAll() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& bus : buses_) bus->adapter->Rescan();
}

}  // namespace platform::aspi_internal
