// The SCSI bus as a host adapter sees it: devices that take a command block and move data, and
// adapters that hold up to eight of them. Emulated scanners implement ScsiDevice; the ASPI
// layers carry request blocks to adapters. A real backend would sit behind the same classes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

// Target status bytes.
inline constexpr uint8_t kScsiGood = 0x00;
inline constexpr uint8_t kScsiCheckCondition = 0x02;
inline constexpr uint8_t kScsiBusy = 0x08;
inline constexpr uint8_t kScsiReservationConflict = 0x18;

// Host-adapter status bytes, as ASPI reports them.
inline constexpr uint8_t kHostOk = 0x00;
inline constexpr uint8_t kHostSelectionTimeout = 0x11;
inline constexpr uint8_t kHostDataOverrunUnderrun = 0x12;
inline constexpr uint8_t kHostUnexpectedBusFree = 0x13;
inline constexpr uint8_t kHostPhaseSequenceFailure = 0x14;

// Sense keys.
inline constexpr uint8_t kSenseNoSense = 0x0;
inline constexpr uint8_t kSenseNotReady = 0x2;
inline constexpr uint8_t kSenseHardwareError = 0x4;
inline constexpr uint8_t kSenseIllegalRequest = 0x5;
inline constexpr uint8_t kSenseUnitAttention = 0x6;
inline constexpr uint8_t kSenseVendor = 0x9;
inline constexpr uint8_t kSenseAbortedCommand = 0xB;

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

// One host adapter and the devices on its bus. A device attached "late" (switched on after the
// machine started) answers only after a bus rescan.
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
  };
  HostAdapterInfo info_;
  Completion completion_;
  mutable std::mutex mutex_;
  std::array<Slot, kTargets> slots_;
  int rescans_ = 0;
  uint8_t forcedHostStatus_ = 0;
};

}  // namespace platform
