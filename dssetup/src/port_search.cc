#include "port_search.h"

#include "aspi_layer.h"
#include "platform/clock/clock.h"
#include "platform/host/host.h"

namespace dssetup {

namespace {
constexpr int kTargets = 7;
constexpr uint32_t kTargetPauseMs = 300;
}  // namespace

void PortSearch::Mark() {
  status_ += " \xBB";
  if (display_.status) display_.status(status_);
}

bool PortSearch::SearchScsi(AspiLayer& aspi, PortSettings* settings, IdentityData* identity) {
  const int adapters = aspi.AdapterCount();
  for (int adapter = 0; adapter < adapters; ++adapter) {
    for (int target = 0; target < kTargets; ++target) {
      Mark();
      host_.clock().SleepMs(kTargetPauseMs);
      if (!IsOrvexScanner(aspi.Inquiry(adapter, target))) continue;
      settings->scanDeviceType = kDeviceScsi;
      settings->scsiId = target;
      settings->scsiHaId = adapter;
      if (display_.close) display_.close();
      AspiTransport transport(aspi, adapter, target);
      // Found is found: the identity exchange only decides whether the details are shown.
      if (RunIdentityExchange(transport, identity) && display_.foundScsi) {
        display_.foundScsi(adapter, target);
      }
      return true;
    }
  }
  return false;
}

bool PortSearch::Run(PortSettings* settings, IdentityData* identity, const std::string& scsiText,
                     bool parallelAllowed) {
  {
    AspiLayer aspi(host_.modules(), host_.clock());
    if (aspi.loaded() && aspi.AdapterCount() >= 1) {
      status_ = scsiText;
      if (display_.status) display_.status(status_);
      if (SearchScsi(aspi, settings, identity)) return true;
    }
  }
  // The parallel ports are reached only where the system lets a program at its port addresses.
  (void)parallelAllowed;
  if (display_.close) display_.close();
  return false;
}

}  // namespace dssetup
