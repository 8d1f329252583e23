// The USB flatbed scanner built around the 1015 ASIC, as its 8-byte command packets see it.
//
// Packets (byte 0): 0x20 write register, 0x21 read register (1-byte reply), 0x22 start line
// transfer, 0x23 scan mode, 0x24 stop line transfer, 0x25 move carriage (1-byte reply). Register
// 0 holds the identity, register 2 the home sensor (bit 1), register 3 the memory bank counter
// (bits 0 to 2); register 6 selects an indirect register (index << 4 | bank) or carries a direct
// command (low bits 4, 5 or 7), register 5 carries the data of the selected indirect register.
//
// The optics: a contact sensor of three colour rows (red, green, blue), each a fixed number of
// 300-dpi lines ahead of the green row, with a dark level and a sensitivity of its own for every
// pixel; a lamp; a carriage that moves in 300-dpi steps from the home position, over a white
// calibration strip under the lid and then over the page. Lines move the carriage only in a
// pass with the pass flag set (a moving pass); a standing pass reads the same line again.
//
// A line of the current transfer is `length` bytes starting at pixel `skip` of the sensor line at
// the current resolution; a colour transfer delivers a red, a green and a blue line for every
// carriage position, gray and text transfers one line of the green row.
//
// Thread-safe: the port may call from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "chart.h"

namespace platform {
class Clock;
}

namespace emulator {

struct UsbAsicModel {
  uint8_t identity = 0xA5;       // what register 0 holds
  uint8_t carriageReply = 0x01;  // the byte a carriage move answers with
  bool bankCounterStuck = false; // the bank counter ignores the memory reset
  bool homeSensor = true;        // false: the home sensor never reports home
  int paperTop = 170;            // carriage step where the page's top edge lies
  int homingStepsPerMs = 2;      // speed of the carriage on its way home
};

class UsbAsicScanner {
 public:
  static constexpr int kImagePixels = 2555;  // 300-dpi pixels of the image area
  static constexpr int kSkipPixels = 12;     // sensor pixels before the first image pixel
  static constexpr int kRedAhead = 15;       // 300-dpi lines the red row is ahead of the green
  static constexpr int kBlueAhead = 8;       // and the blue row

  UsbAsicScanner(UsbAsicModel model, platform::Clock& clock, std::shared_ptr<const Page> page);

  // One write to the device: false for anything but an 8-byte packet of a known kind.
  bool Command(std::span<const uint8_t> packet);
  // One read: the pending reply, else the next line of a running transfer; the number of bytes
  // placed (0 when there is nothing to read).
  size_t Read(std::span<uint8_t> buffer);

  // What tests look at.
  int carriage();
  bool lampOn() const;
  uint8_t Indirect(int bank, int index) const;  // last data written to an indirect register
  uint8_t modeByte() const;
  uint8_t outputMode() const;
  std::vector<std::array<uint8_t, 8>> Packets() const;  // every packet taken, in order
  void ForgetPackets();
  // The raw value pixel `x` (300 dpi image pixel) of `row` (0 red, 1 green, 2 blue) would give
  // for reflectance `reflectance` (0..1) with the current gains and lamp.
  uint8_t RawFor(int row, int x, double reflectance) const;
  int lineLength() const;

 private:
  void WriteRegister(uint8_t reg, uint8_t value);
  void DirectCommand(uint8_t value);
  uint8_t ReadRegister(uint8_t reg);
  void UpdateHoming();
  void ProduceLines();
  void SampleRow(int row, int paperLine, uint8_t* out);
  int SensorPixel(int linePixel) const;
  double Reflectance(int row, int x, int paperLine) const;
  uint8_t RawLocked(int row, int x, double reflectance) const;

  const UsbAsicModel model_;
  platform::Clock& clock_;
  std::shared_ptr<const Page> page_;
  mutable std::mutex mutex_;

  std::array<std::array<uint8_t, 16>, 8> indirect_{};  // [bank][index]
  uint8_t selector_ = 0;
  uint8_t modeByte_ = 0;
  uint8_t outputMode_ = 0x04;
  uint8_t bankCounter_ = 3;  // memory holds leftovers until it is reset
  bool lamp_ = false;
  int carriage_ = 0;
  bool homing_ = false;
  uint64_t homingSince_ = 0;
  int homingFrom_ = 0;

  std::deque<std::vector<uint8_t>> pending_;  // replies and lines waiting to be read
  bool transfer_ = false;
  uint16_t skip_ = 0;
  uint16_t length_ = 0;
  int phase_ = 0;                  // 200 dpi: alternating carriage steps
  std::vector<std::array<uint8_t, 8>> packets_;
};

}  // namespace emulator
