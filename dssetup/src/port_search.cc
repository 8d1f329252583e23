#include "port_search.h"

#include "aspi_layer.h"
#include "platform/clock/clock.h"
#include "parallel_transport.h"
#include "platform/host/host.h"
#include "platform/ports/ports.h"

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

bool PortSearch::SearchParallel(PortSettings* settings, IdentityData* identity) {
  platform::Ports& ports = platform::Ports::Of(host_);
  ParallelPort port(ports);
  ParallelTransport transport(port);
  for (int index = ParallelPort::CountPorts(ports) - 1; index >= 0; --index) {
    Mark();
    settings->scanDeviceType = kDeviceParallel;
    settings->lptId = index + 1;
    const bool fast = ParallelPort::ProbeHighSpeed(ports, index);
    settings->scanParallelType = fast ? kParallelHighSpeed : kParallelStandard;
    if (!port.Open(index, fast, true)) continue;  // no port there: no I/O either
    if (!RunIdentityExchange(transport, identity)) continue;
    if (display_.foundParallel) display_.foundParallel(settings->lptId, settings->scanParallelType);
    if (display_.close) display_.close();
    return true;
  }
  return false;
}

bool PortSearch::Run(PortSettings* settings, IdentityData* identity, const std::string& scsiText,
                     const std::string& parallelText, bool parallelAllowed) {
  {
    AspiLayer aspi(host_.modules(), host_.clock());
    if (aspi.loaded() && aspi.AdapterCount() >= 1) {
      if (display_.open) display_.open();
      status_ = scsiText;
      if (display_.status) display_.status(status_);
      if (SearchScsi(aspi, settings, identity)) return true;
    }
  }
  if (parallelAllowed) {
    status_ = parallelText;
    if (display_.status) display_.status(status_);
    if (SearchParallel(settings, identity)) return true;
  }
  if (display_.close) display_.close();
  return false;
}

}  // namespace dssetup
