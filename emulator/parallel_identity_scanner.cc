#include "parallel_identity_scanner.h"

#include <algorithm>

namespace emulator {

namespace {
constexpr uint8_t kStrobe = 0x01;
constexpr uint8_t kNotReset = 0x04;
constexpr uint8_t kSelectWrite = 0x08;
constexpr uint8_t kDirectionIn = 0x20;
}  // namespace

uint8_t ParallelIdentityScanner::NextByte() {
  if (pending_.empty()) return 0xFF;
  const uint8_t b = pending_.front();
  pending_.pop_front();
  return b;
}

uint8_t ParallelIdentityScanner::In(uint16_t offset) {
  switch (offset) {
    case 0: return data_;
    case 1: return static_cast<uint8_t>((busy_ ? 0 : 0x80) | (pending_.empty() ? 0x40 : 0) | 0x07);
    case 2: return control_;
    case 4: return NextByte();
    case 5: return NextByte();
    case 6: return Counter();
    default: return 0xFF;
  }
}

uint16_t ParallelIdentityScanner::InWord(uint16_t offset) {
  if (offset != 4) return PortDevice::InWord(offset);
  const uint8_t low = NextByte();
  return static_cast<uint16_t>(low | NextByte() << 8);
}

uint8_t ParallelIdentityScanner::Counter() {
  if (interface_ != Interface::kHighSpeed || !(highSpeed_ & 0x80)) return 0xFF;
  if (chunkRunning_ && startRead_) {
    startRead_ = false;  // the read right after the start sees the chunk empty
  } else if (chunkRunning_) {
    const auto available = static_cast<uint8_t>(std::min<size_t>(pending_.size() / 2, 255));
    const int room = std::min<int>(chunkWords_ - counter_, available);
    counter_ = static_cast<uint8_t>(counter_ + std::min<int>(room, kWordsPerPoll));
  }
  return counter_;
}

void ParallelIdentityScanner::Out(uint16_t offset, uint8_t value) {
  switch (offset) {
    case 0: data_ = value; break;
    case 1:
      if (interface_ == Interface::kHighSpeed) {
        highSpeed_ = value;
        if (!(value & 0x80)) chunkRunning_ = false;
      }
      break;
    case 2: Control(value); break;
    case 6:
      if (interface_ == Interface::kHighSpeed) {
        chunkWords_ = value;
        counter_ = 0;
        chunkRunning_ = false;
      }
      break;
    default: break;
  }
}

void ParallelIdentityScanner::Control(uint8_t value) {
  const uint8_t before = control_;
  control_ = value;
  if (!(value & kNotReset)) {
    received_.clear();
    pending_.clear();
    busy_ = false;
    return;
  }
  const bool rising = !(before & kStrobe) && (value & kStrobe);
  const bool falling = (before & kStrobe) && !(value & kStrobe);
  if ((value & kStrobe) && (highSpeed_ & 0xC0) == 0xC0) {
    // The block transfer of the chunk whose count was written last starts; the host sets the
    // control register anew for every chunk, with the strobe still high.
    if (!chunkRunning_) startRead_ = true;
    chunkRunning_ = true;
  } else if (rising && (value & kSelectWrite) && !(value & kDirectionIn)) {
    received_.push_back(data_);
    busy_ = true;
  } else if (rising && (value & kDirectionIn)) {
    data_ = NextByte();
    busy_ = true;
  } else if (falling) {
    busy_ = false;
    if (received_.size() == 2) {
      const std::vector<uint8_t> reply = core_.ReplyTo(received_[0], received_[1]);
      pending_.assign(reply.begin(), reply.end());
      received_.clear();
    } else if (received_.size() > 2) {
      received_.clear();  // not a command of the protocol
    }
  }
}

}  // namespace emulator
