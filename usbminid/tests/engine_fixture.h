// The scan engine over the emulated USB scanner: a device file on the scanner's path, the
// command channel attached to an IStiUSD that sends through it, the ASIC layer and the engine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chart.h"
#include "platform/faults/faults.h"
#include "scanner.h"
#include "test_host.h"
#include "usb_asic_port.h"
#include "usb_asics.h"
#include "usd_doubles.h"

namespace usbminid::testing {

// White everywhere but black horizontal bands of lines [from, to) of every 60 (300-dpi lines)
// and a black column band of pixels [600, 660) (300-dpi pixels).
class BandChart final : public emulator::Page {
 public:
  emulator::Rgb At(int64_t x, int64_t y) const override {
    const int64_t px = x / 4000, line = y / 4000;
    const bool black = (line % 60) >= 30 && (line % 60) < 42;
    if (black || (px >= 600 && px < 660)) return {0, 0, 0};
    return {255, 255, 255};
  }
};

struct Engine {
  explicit Engine(platform::testing::TestHost::Settings settings = {},
                  std::shared_ptr<const emulator::Page> page = nullptr)
      : t(std::move(settings)) {
    std::string path = "\\\\.\\qusbdrv000";
    if (page) {
      scannerModel = std::make_shared<emulator::UsbAsicScanner>(emulator::UsbAsicModel{}, t.host().clock(), page);
      auto port = std::make_shared<emulator::UsbAsicPort>("qusbdrvpage", scannerModel, t.host().faults());
      t.host().devices().Register("qusbdrvpage", port);
      path = "\\\\.\\qusbdrvpage";
    } else if (auto* port = emulator::UsbAsics::Install(t.host(), "").First()) {
      device = &port->scanner();
    }
    if (scannerModel) device = scannerModel.get();
    file.OpenDevice(path.c_str());
    channel.Attach(&usd);
  }

  platform::testing::TestHost t;
  std::shared_ptr<emulator::UsbAsicScanner> scannerModel;
  emulator::UsbAsicScanner* device = nullptr;
  UsbDeviceFile file{t.host().devices(), t.host().clock()};
  PortUsd usd{file};
  StiUsdAdaptor channel;
  GA1015 asic{channel, t.host().profiles(), "C:\\WINDOWS"};
  Scanner scanner{asic, t.host().profiles(), t.host().clock(), nullptr};

  // Init, lamp, Reset and a setup, as the self test begins.
  void Start(int mode, int resolution, uint16_t x, uint16_t y, uint16_t width) {
    ASSERT_TRUE(scanner.Init("C:\\USBMINID\\"));
    scanner.TurnLamp(true);
    scanner.Reset();
    scanner.SetupScan(mode, resolution, false, x, y, width);
  }
  std::vector<uint8_t> Lines(int count) {
    std::vector<uint8_t> out(size_t(scanner.bytesPerLine()) * count);
    scanner.GetScannerLines(out.data(), count);
    return out;
  }
};

}  // namespace usbminid::testing
