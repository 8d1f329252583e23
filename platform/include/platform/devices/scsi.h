// The SCSI bus as a host adapter sees it: devices that take a command block and move data, and
// adapters that hold up to eight of them. Emulated scanners implement ScsiDevice; the ASPI
// layers carry request blocks to adapters. A real backend would sit behind the same classes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/devices/scsi_status.h"
#include "platform/faults/device_faults.h"

namespace platform {

enum class ScsiDirection { kNone, kIn, kOut };

struct ScsiCommand {
  const uint8_t* cdb = nullptr;
  uint8_t cdbLength = 0;
  ScsiDirection direction = ScsiDirection::kNone;
  uint8_t* data = nullptr;  // `length` bytes, owned by the initiator
  uint32_t length = 0;
};

// What one command came to. Sense data is fixed format, 20 bytes (the scanners put vendor
// information in bytes 18 and 19).
struct ScsiOutcome {
  uint8_t targetStatus = kScsiGood;
  uint8_t hostStatus = kHostOk;
  uint32_t transferred = 0;
  std::array<uint8_t, 20> sense{};
  bool neverCompletes = false;  // injected fault: the adapter never finishes the request

  static ScsiOutcome Good(uint32_t transferred = 0);
  static ScsiOutcome Check(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t byte18 = 0,
                           uint8_t byte19 = 0);
  static ScsiOutcome Status(uint8_t targetStatus);
};

class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  // Runs one command to completion. Called by one adapter thread at a time.
  virtual ScsiOutcome Execute(const ScsiCommand& command) = 0;
  // A bus reset puts the device back into its power-on state (but not its warm-up).
  virtual void BusReset() {}
};

struct HostAdapterInfo {
  std::string managerId = "ASPI for WIN32";  // HA_ManagerId
  std::string identifier;                    // HA_Identifier
  uint32_t maxTransfer = 0x10000;            // HA_Unique bytes 4-7
  uint8_t hostScsiId = 7;
};

class Faults;

// One host adapter and the devices on its bus. A device attached "late" (switched on after the
// machine started) answers only after a bus rescan. The adapter carries every command to its
// device through that target's faults (device_faults.h), so injected faults behave the same for
// every kind of device.
class ScsiAdapter {
 public:
  enum class Completion { kImmediate, kLater };
  static constexpr int kTargets = 8;

  ScsiAdapter(HostAdapterInfo info, Completion completion)
      : info_(std::move(info)), completion_(completion) {}

  const HostAdapterInfo& info() const { return info_; }
  Completion completion() const { return completion_; }

  void Attach(int target, std::shared_ptr<ScsiDevice> device, bool late = false);
  // The device at `target` if one is there and visible, else null (selection time-out).
  std::shared_ptr<ScsiDevice> Target(int target) const;
  std::shared_ptr<ScsiDevice> AttachedDevice(int target) const;  // visible or not
  // Runs one command on the visible device at `target` through the target's faults. A missing
  // device is a selection time-out; an injected sense is also what the next REQUEST SENSE to
  // the target returns.
  ScsiOutcome Execute(int target, const ScsiCommand& command);

  // Takes the targets' faults from a host's fault service under the bus name `bus`; until then
  // the adapter keeps faults of its own.
  void ConnectFaults(Faults& faults, std::string bus);
  DeviceFaults& TargetFaults(int target);

  // Makes late devices visible, as a re-enumeration of the bus does.
  void Rescan();
  int rescanCount() const;

  // Fault switches: a host-adapter status forced onto every command (0 for none).
  void ForceHostStatus(uint8_t status);
  uint8_t forcedHostStatus() const;

 private:
  struct Slot {
    std::shared_ptr<ScsiDevice> device;
    bool visible = false;
    std::array<uint8_t, 20> pendingSense{};  // an injected check condition's sense, until read
  };
  ScsiOutcome RunThroughFaults(ScsiDevice& device, const ScsiCommand& command,
                               const std::optional<DeviceFault>& fault);
  HostAdapterInfo info_;
  Completion completion_;
  mutable std::mutex mutex_;
  std::array<Slot, kTargets> slots_;
  int rescans_ = 0;
  uint8_t forcedHostStatus_ = 0;
  Faults* faults_ = nullptr;
  std::string bus_;
  std::array<DeviceFaults, kTargets> ownFaults_;
};

}  // namespace platform
