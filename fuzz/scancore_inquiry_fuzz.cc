// Discovery and the identity stage of the scanner library against a scanner whose INQUIRY
// replies are the fuzz input: short, NUL-filled, waiting for firmware or naming any model.
//
// Input: byte 0 picks the reply length mode (bit 0: cut every reply to the input's length,
// bit 1: answer the identity inquiry with a check condition), the rest is the inquiry data.
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

namespace {

class FuzzScanner : public platform::ScsiDevice {
 public:
  void SetReply(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = size ? data[0] : 0;
    reply_.assign(data + (size ? 1 : 0), data + size);
  }
  platform::ScsiOutcome Execute(const platform::ScsiCommand& c) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (c.cdb[0] != 0x12) return platform::ScsiOutcome::Good(c.length);
    if ((mode_ & 2) && c.cdb[4] == 122 && ++identityInquiries_ % 2 == 0) {
      return platform::ScsiOutcome::Check(platform::kSenseHardwareError, 0, 0, mode_, 0);
    }
    size_t n = std::min<size_t>(c.length, c.cdb[4]);
    if (mode_ & 1) n = std::min(n, reply_.size());
    std::memset(c.data, 0, std::min<size_t>(c.length, c.cdb[4]));
    if (const size_t copied = std::min(n, reply_.size())) std::memcpy(c.data, reply_.data(), copied);
    return platform::ScsiOutcome::Good(static_cast<uint32_t>(n));
  }

 private:
  std::mutex mutex_;
  uint8_t mode_ = 0;
  std::vector<uint8_t> reply_;
  unsigned identityInquiries_ = 0;
};

// One host for the whole run: a machine with one adapter carrying the fuzzed scanner.
struct Fixture {
  std::shared_ptr<FuzzScanner> scanner = std::make_shared<FuzzScanner>();
  platform::testing::TestHost host{{.hardware = [this](platform::Host& h) {
    auto adapter = std::make_shared<platform::ScsiAdapter>(
        platform::HostAdapterInfo{"ASPI for WIN32", "fuzz hba", 0x10000, 7},
        platform::ScsiAdapter::Completion::kImmediate);
    adapter->Attach(3, scanner);
    platform::AttachAspi(h).AddAdapter(platform::AdapterKind::kScsi, adapter);
  }}};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  fixture.scanner->SetReply(data, size);
  CScanCore core("C:\\TOVELINK");
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found)) return 0;
  if (found.size() > kMaxDeviceInfo) __builtin_trap();
  for (const DEVICEINFO& device : found) {
    CHWScannerInfo info;
    if (core.InitializeScanner(device, info)) {
      (void)core.GetFwVersion();
      (void)core.GetFwDate();
    }
    (void)core.GetErrorCode();
  }
  return 0;
}
