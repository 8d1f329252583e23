// A whole scan through the scanner library against an emulated scanner whose replies are
// fuzzed: check conditions of any sense, busy, data phases cut short, altered inquiry geometry
// and line delays, altered data. Every run ends in a result and an error code, and nothing is
// written outside the caller's buffer (which is exactly as large as the library is told).
//
// Input: 8 header bytes (mode, resolution, window, read size, buffer lines, A/D bits, delays),
// then one byte per command deciding what becomes of its reply, with its operands.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/aspi/aspi_service.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "platform/devices/scsi.h"
#include "scancore/scan_core.h"
#include "test_host.h"
#include "scsi_scanner.h"

namespace {

class Stream {
 public:
  Stream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  bool Empty() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class FuzzedScanner : public platform::ScsiDevice {
 public:
  void Reset(std::unique_ptr<emulator::ScsiScanner> inner, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    inner_ = std::move(inner);
    stream_ = std::make_unique<Stream>(data, size);
  }
  platform::ScsiOutcome Execute(const platform::ScsiCommand& c) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint8_t choice = stream_->Next();
    switch (choice % 10) {
      case 4:
        return platform::ScsiOutcome::Check(stream_->Next() & 0x0F, stream_->Next(),
                                            stream_->Next(), stream_->Next());
      case 5:
        return platform::ScsiOutcome::Status(platform::kScsiBusy);
      default:
        break;
    }
    platform::ScsiOutcome outcome = inner_->Execute(c);
    if (choice % 10 == 6 && outcome.transferred > 0) {
      outcome.transferred = std::min<uint32_t>(outcome.transferred, stream_->Next() * 97u);
      outcome.hostStatus = platform::kHostDataOverrunUnderrun;
    } else if (choice % 10 == 7 && c.data && outcome.transferred > 0) {
      // The inquiry's geometry and delays, or any bytes of other replies.
      const bool inquiry = c.cdb[0] == 0x12 && outcome.transferred >= 56;
      const uint32_t at = inquiry ? 42 + stream_->Next() % 14 : stream_->Next() * 131u % outcome.transferred;
      c.data[at] = stream_->Next();
    }
    return outcome;
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<emulator::ScsiScanner> inner_;
  std::unique_ptr<Stream> stream_;
};

// The test host, with one adapter carrying the fuzzed scanner as its hardware.
struct Fixture {
  std::shared_ptr<FuzzedScanner> scanner = std::make_shared<FuzzedScanner>();
  platform::testing::TestHost host{{.hardware = [this](platform::Host& h) {
    auto adapter = std::make_shared<platform::ScsiAdapter>(
        platform::HostAdapterInfo{"ASPI for WIN32", "fuzz hba", 0x10000, 7},
        platform::ScsiAdapter::Completion::kImmediate);
    adapter->Attach(2, scanner);
    platform::AttachAspi(h).AddAdapter(platform::AdapterKind::kScsi, adapter);
  }}};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  if (size < 8) return 0;
  emulator::ScannerModel model;
  model.opticalRes = 150;  // small pages keep each run fast
  model.adBits = static_cast<uint8_t>(8 + 2 * (data[5] % 3));
  model.greenDelay = static_cast<int8_t>(data[6]) % 8;
  model.blueDelay = static_cast<int8_t>(data[7]) % 8;
  model.scanStartMs = 0;
  fixture.scanner->Reset(std::make_unique<emulator::ScsiScanner>(
                             model, fixture.host.host().clock(), std::make_shared<emulator::TestChart>()),
                         data + 8, size - 8);

  CScanCore core("C:\\TOVELINK");
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found) || found.empty()) return 0;
  CHWScannerInfo info;
  if (!core.InitializeScanner(found[0], info)) return 0;
  SCANPARAM request;
  request.Mode = data[0] % 3;
  request.XResolution = request.YResolution = static_cast<uint16_t>(25 + data[1] % 8 * 25);
  request.Left = data[2] % 64;
  request.Top = data[3] % 64;
  request.Width = 8 + data[2] % 200;
  request.Length = 8 + data[3] % 120;
  request.HostTables = data[0] & 0x10;
  std::vector<uint8_t> tables(4 * 4096, 0x80);
  request.GammaTables = tables.data();
  core.SetCmdReadSize(1 + data[4] * 97u);
  myIMAGEINFO image;
  if (core.SetScanParam(request, image, 0)) {
    const size_t lines = 1 + data[4] % 40;
    std::vector<uint8_t> buffer(lines * (image.BytesPerLine + 1));
    for (int calls = 0; calls < 400; ++calls) {
      unsigned long got = 0;
      if (!core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got)) break;
      if (got > buffer.size()) __builtin_trap();
    }
  }
  (void)core.GetErrorCode();
  core.AbortScan();
  return 0;
}
