#include "platform/ports/ports.h"

#include "platform/clock/clock.h"
#include "platform/system/system.h"

namespace platform {

namespace {
constexpr uint32_t kCyclesPerMs = 1000;
constexpr uint16_t kStatus = 1;
constexpr uint16_t kData = 0;
constexpr uint16_t kControl = 2;
constexpr uint16_t kCounter = 6;
}  // namespace

uint16_t PortDevice::InWord(uint16_t offset) {
  const uint8_t low = In(offset);
  return static_cast<uint16_t>(low | In(static_cast<uint16_t>(offset + 1)) << 8);
}

void PortDevice::OutWord(uint16_t offset, uint16_t value) {
  Out(offset, static_cast<uint8_t>(value));
  Out(static_cast<uint16_t>(offset + 1), static_cast<uint8_t>(value >> 8));
}

Ports& Ports::Of(Host& host) {
  return host.FindOrAttach<Ports>([&] { return std::make_unique<Ports>(host); });
}

Ports::Ports(Host& host) : host_(host) {}
Ports::~Ports() = default;

void Ports::Attach(uint16_t base, uint16_t span, std::shared_ptr<PortDevice> device) {
  slots_.push_back({base, span, std::move(device)});
}

void Ports::SetParallelTable(std::vector<uint16_t> table) {
  table.resize(4, 0);
  lptTable_ = std::move(table);
}

void Ports::SetEnumeratedPorts(std::vector<std::string> names) { enumerated_ = std::move(names); }

void Ports::AddFault(uint16_t base, PortFault fault) {
  for (Slot& slot : slots_) {
    if (slot.base == base) slot.faults.push_back(fault);
  }
}

void Ports::ClearFaults() {
  for (Slot& slot : slots_) slot = Slot{slot.base, slot.span, slot.device};
}

bool Ports::Allowed() const { return !host_.system().IsNt(); }

void Ports::Cycle() {
  if (++cycles_ % kCyclesPerMs == 0) host_.clock().SleepMs(1);
}

Ports::Slot* Ports::Find(uint16_t port, uint16_t* offset) {
  for (Slot& slot : slots_) {
    if (port >= slot.base && port < slot.base + slot.span) {
      *offset = static_cast<uint16_t>(port - slot.base);
      return &slot;
    }
  }
  return nullptr;
}

bool Ports::Has(const Slot& slot, PortFault::Kind kind) const {
  for (const PortFault& f : slot.faults) {
    if (f.kind == kind) return true;
  }
  return false;
}

uint8_t Ports::Apply(Slot& slot, uint16_t offset, uint8_t value) {
  if (slot.faults.empty()) return value;
  if (offset == kStatus) {
    bool notReady = Has(slot, PortFault::Kind::kNeverReady) ||
                    (slot.strobed && Has(slot, PortFault::Kind::kStuckAcknowledge));
    for (const PortFault& f : slot.faults) {
      if (f.kind == PortFault::Kind::kShortReply && slot.dataReads >= f.bytes) notReady = true;
    }
    if (notReady) value &= 0x7F;
  } else if (offset == kData || offset == 4 || offset == 5) {
    ++slot.dataReads;
    if (Has(slot, PortFault::Kind::kWrongReply)) value = static_cast<uint8_t>(~value);
  } else if (offset == kCounter && Has(slot, PortFault::Kind::kStoppedCounter)) {
    if (slot.counterSeen) return slot.lastCounter;
    slot.counterSeen = true;
    slot.lastCounter = value;
  }
  return value;
}

uint8_t Ports::InByte(uint16_t port) {
  Cycle();
  uint16_t offset = 0;
  Slot* slot = Allowed() ? Find(port, &offset) : nullptr;
  if (!slot) return 0xFF;  // nothing answers: the bus floats high
  return Apply(*slot, offset, slot->device->In(offset));
}

void Ports::OutByte(uint16_t port, uint8_t value) {
  Cycle();
  uint16_t offset = 0;
  Slot* slot = Allowed() ? Find(port, &offset) : nullptr;
  if (!slot) return;
  if (offset == kControl && (value & 0x01)) slot->strobed = true;
  slot->device->Out(offset, value);
}

uint16_t Ports::InWord(uint16_t port) {
  Cycle();
  uint16_t offset = 0;
  Slot* slot = Allowed() ? Find(port, &offset) : nullptr;
  if (!slot) return 0xFFFF;
  const uint16_t word = slot->device->InWord(offset);
  const uint8_t low = Apply(*slot, offset, static_cast<uint8_t>(word));
  const uint8_t high =
      Apply(*slot, static_cast<uint16_t>(offset + 1), static_cast<uint8_t>(word >> 8));
  return static_cast<uint16_t>(low | high << 8);
}

void Ports::OutWord(uint16_t port, uint16_t value) {
  Cycle();
  uint16_t offset = 0;
  Slot* slot = Allowed() ? Find(port, &offset) : nullptr;
  if (slot) slot->device->OutWord(offset, value);
}

uint16_t Ports::BiosWord(uint32_t address) {
  if (address >= kBiosLptTable && address < kBiosLptTable + 8 && address % 2 == 0) {
    return lptTable_[(address - kBiosLptTable) / 2];
  }
  // The timer ticks 1193180 / 65536 times a second.
  const uint32_t ticks = static_cast<uint32_t>(host_.clock().NowMs() * 1193180 / 65536 / 1000);
  if (address == kBiosTickCount) return static_cast<uint16_t>(ticks);
  if (address == kBiosTickCount + 2) return static_cast<uint16_t>(ticks >> 16);
  return 0;
}

}  // namespace platform
