// The scan engine: moves the carriage home, adjusts the three colour gains, takes white and dark
// reference lines, builds per-pixel correction tables, and delivers corrected lines one at a
// time at 100, 200 or 300 dpi in colour, gray or bilevel, undoing the line delay between the
// sensor's three colour rows. It calls only the ASIC layer and turns its XGA1015 into XScanner.
//
// Calling order: Init, then any number of (Reset, SetupScan, GetScannerLines...), then Cleanup.
// Positions count 300-dpi lines from the scan origin.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ga1015.h"
#include "gain_table.h"
#include "tmds_settings.h"

namespace platform {
class Clock;
class ProfileFiles;
class UserInterface;
}  // namespace platform

namespace usbminid {

struct ScannerRoutine;

class Scanner {
 public:
  static constexpr int kPixels = 2555;       // sensor pixels at 300 dpi: the longest line
  static constexpr int kRedRing = 15;
  static constexpr int kBlueRing = 8;
  static constexpr uint32_t kHomeWaitMs = 20000;  // the carriage crosses the glass in far less
  static constexpr uint32_t kHomePollMs = 10;

  enum Mode { kColour = 0, kGray = 1, kBilevel = 2 };

  // `ui` may be null (no window messages to keep flowing while waiting).
  Scanner(GA1015& asic, const platform::ProfileFiles& profiles, platform::Clock& clock, platform::UserInterface* ui);

  // Reads "TMDS.INI" from `moduleFolder` (ending in a backslash) and identifies the scanner;
  // false when it is not the expected one.
  bool Init(const std::string& moduleFolder);
  void Cleanup();  // never throws
  void TurnLamp(bool on);
  void Reset();
  void ASICInit();
  void Backhome();
  uint8_t IsHome();
  void EndAllLine();
  void StepForward(uint16_t steps);
  void StepBackward(uint16_t steps);
  void SetExplose(uint16_t time);
  void SetMotorMode(int32_t mode);
  void SetRB(uint8_t red, uint8_t green, uint8_t blue);
  void AdjustRB();
  void Calibration();
  void SetupScan(int mode, int resolution, bool invert, uint16_t x, uint16_t y, uint16_t width);
  uint16_t GetScannerLines(uint8_t* buffer, uint32_t count);

  const TmdsSettings& settings() const { return settings_; }
  int32_t position() const { return position_; }
  uint16_t bytesPerLine() const { return bytesPerLine_; }
  bool needsCalibration() const { return needsCalibration_; }
  uint8_t gain(int colour) const { return gains_[colour]; }
  // The calibration of 300-dpi pixel x for a colour: its gain row and dark level.
  const uint8_t* calibrationRow(int colour, int x) const { return gainRows_[colour][x]; }
  uint8_t calibrationDark(int colour, int x) const { return dark_[colour][x]; }
  const GainTable& gainTable() const { return *table_; }

 private:
  void WaitForHome();
  void CheckGeometry(int mode, int resolution, uint16_t x, uint16_t y, uint16_t width) const;
  void ReadReference(int passFlag, std::vector<double> (&sums)[3]);
  void Prepare();
  void PrepareColour(int redLines, int blueLines);
  void PrepareCurrentArrays();
  void ReleaseCurrentArrays();
  void ColourLine(uint8_t* out);
  void GrayLine(uint8_t* out);
  void BilevelLine(uint8_t* out);
  void AdvancePosition();

  GA1015& asic_;
  const platform::ProfileFiles& profiles_;
  platform::Clock& clock_;
  platform::UserInterface* ui_;
  TmdsSettings settings_;

  bool ready_ = false;  // Init allocated the buffers
  std::vector<uint8_t> redRing_, greenLine_, blueRing_;
  std::unique_ptr<GainTable> table_;
  std::vector<const uint8_t*> gainRows_[3];
  std::vector<uint8_t> dark_[3];
  // The current scan's arrays: views into the calibration at 300 dpi, resampled copies below.
  const uint8_t* const* currentRows_[3] = {};
  const uint8_t* currentDark_[3] = {};
  std::vector<const uint8_t*> ownRows_[3];
  std::vector<uint8_t> ownDark_[3];

  bool needsCalibration_ = true;
  bool scanning_ = false;
  int32_t position_ = 0;
  int mode_ = kGray;
  int resolution_ = 1;
  uint16_t width_ = 0;
  uint16_t x_ = 0;
  bool invert_ = false;
  uint16_t bytesPerLine_ = 0;
  int redIndex_ = 0, blueIndex_ = 0, redLines_ = 0, blueLines_ = 0;
  int phase_ = 0;
  const ScannerRoutine* routine_ = nullptr;
  uint8_t gains_[3] = {};
};

}  // namespace usbminid
