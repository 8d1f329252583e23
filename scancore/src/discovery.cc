// Discovery on one transport: every target of every adapter is asked who it is; supported
// models are named, and brought up first when they wait for their firmware.
#include <cstring>
#include <memory>

#include "identity.h"
#include "model_table.h"
#include "platform/clock/clock.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "services.h"
#include "work_buffer.h"

using namespace scancore;

namespace {
constexpr uint32_t kFirmwarePollMs = 250;
constexpr uint32_t kFirmwareBootLimitMs = 5000;
constexpr uint32_t kFirmwareNameLength = 20;   // 19 characters and the terminating zero
constexpr uint32_t kMaxSendLength = 0xFFFFFF;  // SEND carries a 24-bit length
constexpr uint8_t kFirmwareDataType = 0x87;
}  // namespace

int CScanCore::FindScanner(CInterface* transport, DEVICEINFO* table, unsigned char& count) {
  const bool oem = CheckSupportOEM() != 0;
  const bool sti = CheckSupportSTISCSI() != 0;
  const uint8_t adapters = transport->GetAdapterCount();
  for (uint8_t a = 0; a < adapters; ++a) {
    for (uint8_t t = 0; t < 8; ++t) {
      // The table has room for five; the first five found are kept.
      if (count >= kMaxDeviceInfo) return 1;
      ProbeTarget(*transport, a, t, oem, sti, table, count);
    }
  }
  return 1;
}

void CScanCore::ProbeTarget(CInterface& transport, uint8_t adapter, uint8_t target, bool oem,
                            bool sti, DEVICEINFO* table, unsigned char& count) {
  transport.SetAddress(adapter, target);
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport.Inquiry(inquiry, kProbeLength)) return;
  const std::string vendorProduct = VendorProductText(inquiry);
  if (!IsAdmitted(vendorProduct, oem)) return;
  std::memset(inquiry, 0, sizeof inquiry);
  if (!transport.Inquiry(inquiry, kIdentityLength)) return;
  if (WaitsForFirmware(inquiry) && !BootFirmware(transport, inquiry)) return;
  DEVICEINFO& device = table[count];
  device = NameModel(vendorProduct, OpticalResolution(inquiry), sti);
  device.AdapterID = adapter;
  device.TargetID = target;
  ++count;
}

bool CScanCore::BootFirmware(CInterface& transport, uint8_t* inquiry) {
  const std::string vendorProduct = VendorProductText(inquiry);
  if (!DownloadFirmware(transport, FirmwareId(inquiry), vendorProduct.c_str())) return false;
  platform::Clock& clock = services().transport.clock;
  const uint64_t start = clock.NowMs();
  bool answered = false;
  while (!answered && clock.NowMs() - start < kFirmwareBootLimitMs) {
    clock.SleepMs(kFirmwarePollMs);
    std::memset(inquiry, 0, kIdentityLength);
    answered = transport.Inquiry(inquiry, kIdentityLength) != 0;
  }
  return answered && !WaitsForFirmware(inquiry);
}

int CScanCore::DownloadFirmware(CInterface& transport, unsigned char id,
                                const char* vendorProduct) {
  const std::string section(FirmwareSection(vendorProduct));
  const std::string key = std::to_string(id);
  char name[kFirmwareNameLength] = {};
  services().profiles.GetString(section.c_str(), key.c_str(), "", name, sizeof name,
                                FilePath("bin\\Model.ini"));
  if (name[0] == '\0') return Fail(kErrFirmware);
  auto file = platform::File::Open(services().files, FilePath(std::string("bin\\") + name),
                                   platform::File::Mode::kRead);
  if (!file) return Fail(kErrFirmware);
  const auto size = file->Size();
  // An empty image is no image (and no work memory is had for 0 bytes); one SEND cannot
  // describe would reach the scanner cut short.
  if (!size || *size == 0 || *size > kMaxSendLength) return Fail(kErrFirmware);
  scancore::WorkBuffer image(services().memory, static_cast<size_t>(*size));
  if (!image) return Fail(kErrNoMemory);
  if (!file->ReadExact(image.data(), image.size())) return Fail(kErrFirmware);
  if (!transport.Send(kFirmwareDataType, 0, image.data(), static_cast<uint32_t>(image.size()))) {
    return FailFrom(transport);
  }
  return 1;
}
