#include "parallel_transport.h"

#include <strings.h>

#include <algorithm>

#include "platform/ports/ports.h"

namespace dssetup {

namespace {
constexpr uint16_t kStatusOffset = 1;
constexpr uint16_t kControlOffset = 2;
constexpr uint16_t kWordData = 4;
constexpr uint16_t kWordCounter = 6;
constexpr uint8_t kReady = 0x80;
constexpr uint8_t kNoData = 0x40;
constexpr uint8_t kStrobe = 0x01;
constexpr uint8_t kReset = 0x04;
constexpr uint8_t kSelect = 0x08;
constexpr size_t kShortBlock = 16;
}  // namespace

uint8_t ParallelPort::Status() {
  return ports_.InByte(static_cast<uint16_t>(base_ + kStatusOffset));
}

void ParallelPort::SetControl(uint8_t value) {
  shadow_ = value;
  ports_.OutByte(static_cast<uint16_t>(base_ + kControlOffset), value);
}

uint16_t ParallelPort::Ticks() { return ports_.BiosWord(platform::kBiosTickCount); }

bool ParallelPort::WaitStatus(uint8_t mask, uint8_t value, int ticks) {
  uint16_t last = Ticks();
  int changes = 0;
  for (;;) {
    if ((Status() & mask) == value) return true;
    const uint16_t now = Ticks();
    if (now != last) {
      last = now;
      if (++changes >= ticks) return false;
    }
  }
}

void ParallelPort::WaitTicks(int ticks) {
  uint16_t last = Ticks();
  for (int changes = 0; changes < ticks;) {
    Status();  // a port access: the time an I/O cycle takes passes
    const uint16_t now = Ticks();
    if (now != last) {
      last = now;
      ++changes;
    }
  }
}

bool ParallelPort::Open(int index, bool highSpeed, bool reset) {
  highSpeed_ = highSpeed;
  directionMask_ = 0x20;
  shadow_ = 0x0C;
  base_ = index >= 0 && index < 4
              ? ports_.BiosWord(platform::kBiosLptTable + static_cast<uint32_t>(index) * 2)
              : 0;
  if (base_ == 0 && (index == 0 || index == 1)) base_ = kProbeBase[index];
  if (base_ == 0) return false;
  if (reset) {
    SetControl(static_cast<uint8_t>(shadow_ & ~kReset));
    WaitTicks(kShortWaitTicks);
    SetControl(static_cast<uint8_t>(shadow_ | kReset));
  }
  return true;
}

bool ParallelPort::SelectWrite() {
  if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
  SetControl(static_cast<uint8_t>((shadow_ | kSelect) & ~directionMask_));
  return true;
}

bool ParallelPort::WriteByte(uint8_t value) {
  ports_.OutByte(base_, value);
  if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
  if (!WaitStatus(kNoData, kNoData, kLongWaitTicks)) return false;
  SetControl(static_cast<uint8_t>(shadow_ | kStrobe));
  if (!WaitStatus(kReady, 0, kShortWaitTicks)) return false;
  SetControl(static_cast<uint8_t>(shadow_ & ~kStrobe));
  return WaitStatus(kReady, kReady, kLongWaitTicks);
}

bool ParallelPort::SelectRead() {
  if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
  SetControl(static_cast<uint8_t>((shadow_ & ~kSelect) | directionMask_));
  return true;
}

bool ParallelPort::ReadByte(uint8_t* value) {
  if (!WaitStatus(kReady | kNoData, kReady, kLongWaitTicks)) return false;
  SetControl(static_cast<uint8_t>(shadow_ | kStrobe));
  if (!WaitStatus(kReady, 0, kShortWaitTicks)) return false;
  SetControl(static_cast<uint8_t>(shadow_ & ~kStrobe));
  if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
  *value = ports_.InByte(base_);
  return true;
}

bool ParallelPort::ReadBytes(std::span<uint8_t> buffer) {
  for (uint8_t& b : buffer) {
    if (!ReadByte(&b)) return false;
  }
  return true;
}

bool ParallelPort::ReadBlock(std::span<uint8_t> buffer) {
  if (!highSpeed_ || buffer.size() < kShortBlock) return ReadBytes(buffer);
  return ReadHighSpeed(buffer);
}

bool ParallelPort::ReadHighSpeed(std::span<uint8_t> buffer) {
  const uint16_t status = static_cast<uint16_t>(base_ + kStatusOffset);
  const uint16_t counter = static_cast<uint16_t>(base_ + kWordCounter);
  const uint16_t data = static_cast<uint16_t>(base_ + kWordData);
  if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
  SetControl(0x0C);
  if (!WaitStatus(kReady | kNoData, kReady, kLongWaitTicks)) return false;
  ports_.OutByte(status, 0xC0);
  const size_t words = buffer.size() / 2;
  size_t done = 0;  // words stored
  bool ok = true;
  while (ok && done < words) {
    const auto chunk = static_cast<uint8_t>(std::min(words - done, kHighSpeedChunk / 2));
    ports_.OutByte(counter, chunk);
    SetControl(0x25);
    ports_.InByte(counter);
    // The counter counts the chunk's words made available; each chunk gets its own tick limit,
    // so a counter that stops fails the read instead of holding it.
    uint8_t seen = 0;
    uint16_t last = Ticks();
    int changes = 0;
    while (seen < chunk) {
      const uint8_t now = std::min(ports_.InByte(counter), chunk);
      for (; seen < now; ++seen, ++done) {
        const uint16_t word = ports_.InWord(data);
        buffer[done * 2] = static_cast<uint8_t>(word);
        buffer[done * 2 + 1] = static_cast<uint8_t>(word >> 8);
      }
      const uint16_t t = Ticks();
      if (t != last) {
        last = t;
        if (++changes >= kLongWaitTicks) {
          ok = false;
          break;
        }
      }
    }
  }
  ports_.OutByte(status, 0);
  if (!ok) return false;
  if (buffer.size() % 2 == 1) {
    if (!WaitStatus(kReady, kReady, kLongWaitTicks)) return false;
    SetControl(0x24);
    return ReadByte(&buffer[buffer.size() - 1]);
  }
  SetControl(0x24);
  return true;
}

bool ParallelPort::WriteString(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    if (!SelectWrite() || !WriteByte(b)) return false;
  }
  return true;
}

bool ParallelPort::ProbeHighSpeed(platform::Ports& ports, int index) {
  if (index < 0 || index > 1) return false;
  const uint16_t base = kProbeBase[index];
  ports.InByte(static_cast<uint16_t>(base + 1));
  ports.OutByte(static_cast<uint16_t>(base + 1), 0);
  ports.OutByte(static_cast<uint16_t>(base + 2), 0x22);
  ports.OutByte(static_cast<uint16_t>(base + 1), 0x80);
  ports.InByte(static_cast<uint16_t>(base + 6));
  const uint8_t second = ports.InByte(static_cast<uint16_t>(base + 6));
  ports.OutByte(static_cast<uint16_t>(base + 1), 0);
  ports.OutByte(static_cast<uint16_t>(base + 2), 0x24);
  return (second & 0x02) == 0;
}

int ParallelPort::CountPorts(platform::Ports& ports) {
  int count = 0;
  for (const std::string& name : ports.EnumPorts()) {
    if (name.size() >= 3 && strncasecmp(name.c_str(), "LPT", 3) == 0) ++count;
  }
  if (count < 2 && ProbeHighSpeed(ports, 1)) ++count;
  return count;
}

}  // namespace dssetup
