// Direct port I/O and the BIOS data area, as Windows 9x let a program reach them: byte and word
// reads and writes by I/O address, routed to the devices plugged in at those addresses; the
// parallel-port table at 0040:0008 and the timer tick count at 0040:006C; and the port list of
// EnumPorts (level 1). On the NT presets a program is refused: reads give 0xFF and writes are
// dropped, as the privileged instructions never reach the hardware there.
//
// Time. Every access takes one I/O cycle of the host's clock (1 microsecond, counted and
// passed on to the clock a millisecond at a time), so a program polling a port sees the tick
// count move as it would on the machine.
//
// Faults. The bus applies the faults added for a port base to what its registers answer, the
// device itself never sees them: a device that is never ready, an acknowledge that sticks, a
// word counter that stops, a reply with wrong bytes, a reply cut short.
//
// Attached to the host on first use (Ports::Of); the hardware plugs its devices in. One thread
// at a time, as the programs that use it poll from their user-interface thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/host.h"

namespace platform {

// A device answering the I/O addresses from its base onward.
class PortDevice {
 public:
  virtual ~PortDevice() = default;
  virtual uint8_t In(uint16_t offset) = 0;
  virtual void Out(uint16_t offset, uint8_t value) = 0;
  // Word accesses are two byte accesses (low byte first) unless the device does better.
  virtual uint16_t InWord(uint16_t offset);
  virtual void OutWord(uint16_t offset, uint16_t value);
};

struct PortFault {
  enum class Kind {
    kNeverReady,        // status bit 7 always reads 0
    kStuckAcknowledge,  // once the strobe has been raised, status bit 7 stays 0
    kStoppedCounter,    // the word counter at base+6 keeps its last value
    kWrongReply,        // data bytes read come back inverted
    kShortReply,        // after `bytes` data reads the device stops (status bit 7 reads 0)
  };
  Kind kind = Kind::kNeverReady;
  uint32_t bytes = 0;
};

inline constexpr uint32_t kBiosLptTable = 0x408;   // 0040:0008, four words
inline constexpr uint32_t kBiosTickCount = 0x46C;  // 0040:006C, a double word

class Ports : public HostService {
 public:
  static Ports& Of(Host& host);
  explicit Ports(Host& host);
  ~Ports() override;

  // --- The hardware side.
  void Attach(uint16_t base, uint16_t span, std::shared_ptr<PortDevice> device);
  // The BIOS table of LPT1..LPT4 (0 for none) and the names EnumPorts lists ("LPT1:", "COM1:").
  void SetParallelTable(std::vector<uint16_t> table);
  void SetEnumeratedPorts(std::vector<std::string> names);
  void AddFault(uint16_t base, PortFault fault);
  void ClearFaults();

  // --- The program side.
  // False on the NT presets, where every access is refused.
  bool Allowed() const;
  uint8_t InByte(uint16_t port);
  void OutByte(uint16_t port, uint8_t value);
  uint16_t InWord(uint16_t port);
  void OutWord(uint16_t port, uint16_t value);
  // A word of the BIOS data area by linear address (0x400..0x4FF); 0 elsewhere.
  uint16_t BiosWord(uint32_t address);
  // EnumPorts level 1: the port names.
  std::vector<std::string> EnumPorts() const { return enumerated_; }
  uint64_t IoCycles() const { return cycles_; }

 private:
  struct Slot {
    uint16_t base = 0;
    uint16_t span = 0;
    std::shared_ptr<PortDevice> device;
    std::vector<PortFault> faults;
    bool strobed = false;       // for a stuck acknowledge
    uint32_t dataReads = 0;     // for a short reply
    uint8_t lastCounter = 0;    // for a stopped counter
    bool counterSeen = false;
  };
  Slot* Find(uint16_t port, uint16_t* offset);
  bool Has(const Slot& slot, PortFault::Kind kind) const;
  uint8_t Apply(Slot& slot, uint16_t offset, uint8_t value);
  void Cycle();

  Host& host_;
  std::vector<Slot> slots_;
  std::vector<uint16_t> lptTable_ = {0x378, 0, 0, 0};
  std::vector<std::string> enumerated_ = {"LPT1:", "COM1:", "COM2:"};
  uint64_t cycles_ = 0;
};

}  // namespace platform
