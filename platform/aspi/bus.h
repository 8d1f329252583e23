// The host adapters behind the ASPI layers. A bus may be carried by two layers at once (a SCSI
// host adapter also seen through the still-image layer), so the bus itself serialises commands.
#pragma once

#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/aspi/aspi_service.h"
#include "platform/devices/scsi.h"

namespace platform::aspi_internal {

struct Bus {
  Bus(std::shared_ptr<ScsiAdapter> adapter, AdapterKind kind)
      : adapter(std::move(adapter)), kind(kind) {}

  // Runs one command on `target` with the adapter's forced status applied. A missing device or
  // a forced selection time-out never reaches a device; a device that throws is reported as
  // having dropped off the bus.
  ScsiOutcome Run(int target, const ScsiCommand& command);

  const std::shared_ptr<ScsiAdapter> adapter;
  const AdapterKind kind;

 private:
  std::mutex busy_;  // one command on the bus at a time
};

class BusSet {
 public:
  void Add(std::shared_ptr<Bus> bus);
  // The buses of the given kinds, in the order they were added.
  std::vector<std::shared_ptr<Bus>> OfKinds(std::initializer_list<AdapterKind> kinds) const;
  void RescanAll() const;
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Bus>> buses_;
};

}  // namespace platform::aspi_internal
