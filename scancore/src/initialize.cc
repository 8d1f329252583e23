// Initialize: discovery over every transport until a scanner is found, the user's choice, the
// binding of the chosen scanner's transport and the identity stage.
#include <cstdio>
#include <cstring>

#include "identity.h"
#include "library_state.h"
#include "platform/clock/clock.h"
#include "platform/system/system.h"
#include "platform/ui/ui.h"
#include "rescan_buses.h"
#include "scancore/error_codes.h"
#include "scancore/message_file.h"
#include "scancore/scan_core.h"
#include "services.h"
#include "select_scanner_dlg.h"
#include "windows_version.h"

using namespace scancore;

namespace {
constexpr uint32_t kRescanSettleMs = 3000;
constexpr const char* kMessageCaption = "Tovelink";
constexpr float kPhysicalWidth = 8.5f;
constexpr float kPhysicalHeight = 11.693f;
constexpr uint32_t kNtReadSize = 0x8000;
}  // namespace

int CScanCore::DiscoverOnce(DEVICEINFO* table, uint8_t& count) {
  const TransportServices& transport = services().transport;
  if (HasStillImageLayer(transport.system.GetVersionEx())) {
    CStiAspiInterface still(transport);
    if (!still.Open()) return FailFrom(still);
    FindScanner(&still, table, count);
  }
  CInterface aspi(transport);
  if (!aspi.Open()) {
    // Without wnaspi32.dll the scanners the still-image layer found are still usable.
    if (count == 0) return FailFrom(aspi);
    return 1;
  }
  FindScanner(&aspi, table, count);
  return 1;
}

int CScanCore::Discover(DEVICEINFO* table, uint8_t& count, bool ask) {
  bool rescanned = false;
  int boxes = 0;
  for (;;) {
    if (!DiscoverOnce(table, count)) return 0;
    if (count > 0) return 1;
    if (rescanned && !ask) return 1;
    if (rescanned) {
      const uint32_t id = boxes++ == 0 ? kStrNotFoundFirst : kStrNotFoundAgain;
      const std::string text = library_->messages().Translate(library_->String(id));
      const int answer = services().ui.MessageBox(
          0, text, kMessageCaption, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION);
      if (answer != platform::IDRETRY) return Fail(kErrNotFoundCancelled);
    }
    rescanned = true;
    RescanBuses(services().transport.system, services().devices, library_->osCode);
    services().transport.clock.SleepMs(kRescanSettleMs);
  }
}

int CScanCore::Initialize(CHWScannerInfo& info) {
  DEVICEINFO table[kMaxDeviceInfo];
  uint8_t count = 0;
  if (!Discover(table, count, true)) return 0;
  int chosen = 0;
  if (count > 1) chosen = CSelectScannerDlg(services().ui, *library_, table, count).DoModal();
  return InitializeScanner(table[chosen], info);
}

int CScanCore::ListScanners(std::vector<DEVICEINFO>& found) {
  DEVICEINFO table[kMaxDeviceInfo];
  uint8_t count = 0;
  found.clear();
  if (!Discover(table, count, false)) return 0;
  found.assign(table, table + count);
  return 1;
}

int CScanCore::InitializeScanner(const DEVICEINFO& device, CHWScannerInfo& info) {
  if (!Bind(device, info)) return 0;
  info.modelName_ = device.ModelName;
  info.sensorType_ = device.SensorType;
  return ReadIdentity(info);
}

int CScanCore::Bind(const DEVICEINFO& device, CHWScannerInfo& info) {
  std::shared_ptr<CInterface> transport;
  CEppInterface* epp = nullptr;
  switch (device.BusType) {
    case kBusEppParallel: {
      auto parallel = std::make_shared<CEppInterface>(services().transport);
      epp = parallel.get();
      transport = parallel;
      break;
    }
    case kBusStillImage:
      transport = std::make_shared<CStiAspiInterface>(services().transport);
      break;
    default:
      transport = std::make_shared<CInterface>(services().transport);
      break;
  }
  if (!transport->Open()) return FailFrom(*transport);
  // The previous transport goes with its last owner; a transport that did not open is never bound.
  transport_ = transport;
  busType_ = device.BusType;
  transport_->SetAddress(device.AdapterID, device.TargetID);
  if (epp) {
    char base[8];
    std::snprintf(base, sizeof base, "%x", epp->BaseAddress() & 0xFFFF);
    info.baseAddress_ = base;
  }
  return 1;
}

int CScanCore::ReadIdentity(CHWScannerInfo& info) {
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_->Inquiry(inquiry, kIdentityLength)) return FailFrom(*transport_);
  opticalRes_ = OpticalResolution(inquiry);
  info.opticalRes_ = opticalRes_;
  info.physicalWidth_ = kPhysicalWidth;
  info.physicalHeight_ = kPhysicalHeight;
  info.fwVersion_ = FirmwareVersion(inquiry);
  info.fwDate_ = FirmwareDate(inquiry);
  info.vendor_ = VendorText(inquiry);
  info.installedOption_ = InstalledOption(inquiry);
  adBits_ = AdBits(inquiry);
  info.adBits_ = adBits_;
  info.deviceManager_ = transport_->GetManagerId();
  info.hostAdapter_ = transport_->GetAdapterIdentifier();
  info.targetId_ = std::to_string(transport_->GetTarget());
  cmdReadSize_ = IsNtFamily(services().transport.system.GetVersionEx())
                     ? kNtReadSize
                     : transport_->GetMaxTransfer();
  return 1;
}
