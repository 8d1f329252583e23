// The scanner's 1015 ASIC: every setting as register writes over the command channel, the values
// last sent, and the status registers. Every channel failure becomes an XGA1015 naming the
// operation; a failed write leaves the remembered values as they were.
//
// Indirect registers are written as (6, selector) (5, data) (6, bank), the selector being
// index << 4 | bank; direct commands are single writes to register 6 with low bits 4, 5 or 7.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sti_usd_adaptor.h"

namespace platform {
class ProfileFiles;
}

namespace usbminid {

class GA1015 {
 public:
  static constexpr uint8_t kIdentity = 0xA5;

  // `windowsFolder` holds "AsicSet.ini", read through `profiles`.
  GA1015(StiUsdAdaptor& channel, const platform::ProfileFiles& profiles, std::string windowsFolder);

  bool Identify(uint8_t expected);  // never throws
  void Detach();
  void InitSensor(int type);
  void SetDpi(int code);
  void SetRB(uint8_t red, uint8_t green, uint8_t blue);
  void SetExploseTime(uint16_t time);
  void SetDummy(uint16_t count);
  void SetBankWidth(uint16_t width);
  void SetMotorMode(int mode, bool flag);
  void MoveMotorHome(int index);
  void MoveCarriage(int directionIndex, uint16_t steps);
  void SetTextMode(bool on);
  void SetDataInvert(bool on);
  void InitSRAM(bool on);
  void SetAverage(int mode);
  void ResetSRAM();
  void TurnPower(bool on);
  uint8_t GetBankCounter();
  uint8_t GetPop();
  void SetupScan(int colourMode, int passFlag, uint16_t dummy, uint16_t bankWidth, int resolutionCode,
                 bool invert, int averaging);
  void StartWRLine(uint16_t skip, uint16_t length);
  uint16_t WRLine(uint8_t* buffer);
  void StopWRLine();

  // The remembered values.
  uint8_t sensorBits() const { return sensorBits_; }
  uint8_t resolutionBits() const { return resolutionBits_; }
  uint8_t motorByte(int index) const { return motor_[index & 1]; }
  uint8_t outputMode() const { return outputMode_; }
  bool identified() const { return identified_; }
  StiUsdAdaptor& channel() { return channel_; }

 private:
  using Pairs = std::vector<uint8_t>;
  static void AddIndirect(Pairs& list, uint8_t selector, uint8_t data);
  void WriteList(Pairs list);  // ends the list and sends it; channel failures propagate

  StiUsdAdaptor& channel_;
  const platform::ProfileFiles& profiles_;
  std::string windowsFolder_;
  uint8_t sensorBits_ = 0x80;
  uint8_t resolutionBits_ = 0x20;
  uint8_t motor_[2] = {0x13, 0x03};
  uint8_t outputMode_ = 0x04;
  uint8_t memoryCommand_ = 0x05;
  uint8_t averagingCommand_ = 0x00;
  bool identified_ = false;
};

}  // namespace usbminid
