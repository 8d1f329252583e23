// An emulated SCSI flatbed or film scanner. It answers what its bus carries: command blocks in,
// status, sense and data out. Its state machine is explicit: power-on and warm-up, waiting for
// firmware and booting it, idle, window set, scanning; every request that does not fit the state
// or has a bad field gets CHECK CONDITION with a named sense code, never an abort.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "chart.h"
#include "platform/clock/clock.h"
#include "platform/devices/scsi.h"
#include "scan_image.h"
#include "scanner_model.h"

namespace emulator {

class ScsiScanner : public platform::ScsiDevice {
 public:
  enum class Phase { kAwaitingFirmware, kBooting, kIdle, kWindowSet, kScanning };

  // `page` is what lies on the glass. `parallelModes`: behind an EPP adapter, the port-mode
  // flags the parallel port carries correctly (0 when not behind one).
  ScsiScanner(ScannerModel model, platform::Clock& clock, std::shared_ptr<const Page> page,
              uint8_t parallelModes = 0);

  platform::ScsiOutcome Execute(const platform::ScsiCommand& command) override;
  void BusReset() override;

  const ScannerModel& model() const { return model_; }
  Phase phase() const;

  // What tests and the machine can look at.
  struct Observed {
    bool reserved = false;
    uint32_t focus = 0;
    uint32_t position = 0;
    bool filmLoaded = false;
    std::vector<uint32_t> focusHistory;
    uint8_t portModeCode = 0;    // last SEND 85h code
    int finishCount = 0;         // SEND 86h
    int firmwareDownloads = 0;
    uint32_t firmwareBytes = 0;
  };
  Observed observed() const;

  // The image the current window gives with the tables and white line received so far, as a
  // host should deliver it after aligning the colours (see ScanImage::ImageLine); null before a
  // window is set.
  std::unique_ptr<ScanImage> ExpectedImage() const;
  // How far the focus is from the best one, as the image lines are softened by it.
  uint32_t DefocusDistance() const;

 private:
  using Handler = platform::ScsiOutcome (ScsiScanner::*)(const platform::ScsiCommand&);
  static const std::map<uint8_t, Handler>& Dispatch();

  platform::ScsiOutcome TestUnitReady(const platform::ScsiCommand& c);
  platform::ScsiOutcome RequestSense(const platform::ScsiCommand& c);
  platform::ScsiOutcome Inquiry(const platform::ScsiCommand& c);
  platform::ScsiOutcome Reserve(const platform::ScsiCommand& c);
  platform::ScsiOutcome Release(const platform::ScsiCommand& c);
  platform::ScsiOutcome Scan(const platform::ScsiCommand& c);
  platform::ScsiOutcome SetWindow(const platform::ScsiCommand& c);
  platform::ScsiOutcome Read(const platform::ScsiCommand& c);
  platform::ScsiOutcome Send(const platform::ScsiCommand& c);
  platform::ScsiOutcome ObjectPosition(const platform::ScsiCommand& c);
  platform::ScsiOutcome GetDataBufferStatus(const platform::ScsiCommand& c);

  platform::ScsiOutcome ReadImage(const platform::ScsiCommand& c, uint32_t length);
  platform::ScsiOutcome ReadShading(const platform::ScsiCommand& c, uint32_t length);
  platform::ScsiOutcome ReadLoopback(const platform::ScsiCommand& c, uint32_t length);
  platform::ScsiOutcome SendGamma(const platform::ScsiCommand& c, uint16_t qualifier, uint32_t length);
  platform::ScsiOutcome SendShading(const platform::ScsiCommand& c, uint32_t length);
  platform::ScsiOutcome SendFirmware(const platform::ScsiCommand& c, uint32_t length);

  // A not-ready answer while warming up or booting firmware, if either applies now.
  std::optional<platform::ScsiOutcome> NotReady();
  void UpdatePhaseLocked();
  std::vector<uint8_t> InquiryData() const;
  platform::ScsiOutcome Remember(platform::ScsiOutcome outcome);

  const ScannerModel model_;
  platform::Clock& clock_;
  std::shared_ptr<const Page> page_;
  const uint8_t parallelModes_;
  const uint64_t powerOnMs_;
  mutable std::mutex mutex_;

  Phase phase_;
  uint64_t bootDoneMs_ = 0;
  uint64_t dataReadyMs_ = 0;
  Observed observed_;
  std::optional<ScanWindow> window_;
  ScanGeometry geometry_{};
  std::map<int, std::vector<uint8_t>> gamma_;  // channel (0 red/gray, 1 green, 2 blue) -> table
  std::vector<uint8_t> shadingSent_;           // white line received from the host
  bool shadingComplete_ = false;
  uint32_t shadingReadOffset_ = 0;
  std::vector<uint8_t> shadingData_;           // the 16 lines being read
  std::vector<uint8_t> loopback_;
  std::unique_ptr<ScanImage> image_;           // the scan in progress
  uint32_t linesDelivered_ = 0;
  std::array<uint8_t, 20> lastSense_{};
};

}  // namespace emulator
