// Faults of one device on a bus: plain records that tests (or a machine description) add and the
// bus consults on every command it carries to the device, so the same faults work for every kind
// of device and each error path of the suite can be reached on purpose.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

struct DeviceFault {
  enum class Kind {
    kSense,         // check condition with this sense; the next REQUEST SENSE returns it
    kTargetStatus,  // this target status (busy, reservation conflict, ...)
    kHostStatus,    // the command runs, then the adapter reports this status
    kNeverComplete, // the request never completes
    kShortData,     // data-in commands move at most `length` bytes
    kNulData,       // data-in commands deliver NUL bytes in place of the real ones
  };
  Kind kind = Kind::kSense;
  int opcode = -1;     // the command it applies to; -1 for every command
  int count = -1;      // how many commands it hits; -1 for ever
  uint8_t senseKey = 0, asc = 0, ascq = 0, byte18 = 0, byte19 = 0;
  uint8_t status = 0;  // target or host status
  uint32_t length = 0; // for kShortData
};

class DeviceFaults {
 public:
  void Add(const DeviceFault& fault);
  void Clear();
  // The first fault that applies to `opcode`, counted as used.
  std::optional<DeviceFault> Take(uint8_t opcode);
  bool Empty() const;

 private:
  mutable std::mutex mutex_;
  std::vector<DeviceFault> faults_;
};

}  // namespace platform
