// The command channel: composes the scanner's 8-byte command packets and reads the replies,
// through the raw methods of the IStiUSD interface it is attached to (normally the component's
// own). Every failure is an XStiUsdAdaptor.
//
// Packets (little-endian fields, other bytes 0): 0x20 write register (reg, value); 0x21 read
// register (reg; 1-byte reply); 0x22 start line transfer (0x01, length, skip, 0xFF, 0xFF);
// 0x23 scan mode (mode byte); 0x24 stop line transfer; 0x25 move carriage (direction 0x01
// forward or 0x00 backward, steps; 1-byte reply that must be 0x01).
//
// One attachment at a time: a second Attach fails until Detach, which keeps two users from
// driving the scanner at once. The flag is atomic so that the refusal holds between threads.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/still_image/sti.h"
#include "x_msger.h"

namespace usbminid {

class StiUsdAdaptor {
 public:
  bool Attach(platform::sti::IStiUSD* usd);  // false when already attached or null
  int Detach();                              // always 0
  bool attached() const { return attached_.load(); }

  void CheckScannerId(uint8_t expected);
  // `word`: low byte the register number, high byte the value.
  platform::com::HRESULT WriteRegister(uint16_t word);
  // Register/value pairs up to the pair whose register byte is 0.
  platform::com::HRESULT WriteRegisterList(const uint8_t* pairs);
  uint8_t ReadRegister(uint8_t reg);
  void SetupScanMode(int colourIndex, int resolutionIndex, int passIndex);
  void StartWRLine(uint16_t skip, uint16_t length);
  uint16_t WRLine(uint8_t* buffer);  // reads exactly the line length
  void StopWRLine();
  void MoveCarriage(int directionIndex, uint16_t steps);  // 0 forward, 1 backward
  uint16_t lineLength() const { return lineLength_; }

 private:
  void CheckAttached() const;
  platform::com::HRESULT Send(const uint8_t (&packet)[8]);
  void Receive(uint8_t* buffer, uint32_t expected);

  std::atomic<bool> attached_{false};
  platform::sti::IStiUSD* usd_ = nullptr;  // not reference-counted
  uint16_t lineLength_ = 0;
};

}  // namespace usbminid
