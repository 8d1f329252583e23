#include "platform/aspi/aspi_service.h"

#include <algorithm>

#include "aspi_modules.h"
#include "bus.h"
#include "completion_worker.h"
#include "platform/devices/device_paths.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/modules/modules.h"
#include "request_table.h"
#include "rescan_devices.h"
#include "srb_status.h"

namespace platform {

using aspi_internal::Bus;
using aspi_internal::CompletionWorker;

namespace {
size_t LayerIndex(AspiLayer layer) { return layer == AspiLayer::kWinAspi ? 0 : 1; }
}  // namespace

AspiService::AspiService(Host& host, AspiModules modules)
    : host_(host),
      buses_(std::make_shared<aspi_internal::BusSet>()),
      requests_(std::make_unique<aspi_internal::RequestTable>()) {
  for (auto& worker : workers_) worker = std::make_unique<CompletionWorker>();
  aspi_internal::RegisterModules(host.modules(), modules);
  aspi_internal::Replace(host.devices(), kGulpDeviceName,
                         aspi_internal::MakeGulpDevice(buses_, host.system()));
}

// The workers are joined first (they are declared last); nothing else needs ordering.
AspiService::~AspiService() = default;

void AspiService::AddAdapter(AdapterKind kind, std::shared_ptr<ScsiAdapter> adapter) {
  if (!adapter) return;
  auto bus = std::make_shared<Bus>(std::move(adapter), kind);
  buses_->Add(bus);
  if (kind != AdapterKind::kStillImage) RegisterPortDevice(bus);
}

void AspiService::RegisterPortDevice(const BusPtr& bus) {
  int port = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    port = scsiPorts_++;
  }
  aspi_internal::Replace(host_.devices(), "SCSI" + std::to_string(port) + ":",
                         aspi_internal::MakeScsiPortDevice(bus->adapter));
}

std::vector<AspiService::BusPtr> AspiService::Buses(AspiLayer layer) {
  if (layer == AspiLayer::kWinAspi) return buses_->OfKinds({AdapterKind::kScsi, AdapterKind::kEpp});
  std::vector<BusPtr> buses = buses_->OfKinds({AdapterKind::kStillImage});
  if (stiCarriesScsi_.load()) {
    std::vector<BusPtr> scsi = buses_->OfKinds({AdapterKind::kScsi});
    buses.insert(buses.end(), scsi.begin(), scsi.end());
  }
  return buses;
}

AspiService::BusPtr AspiService::BusAt(AspiLayer layer, uint8_t haId) {
  std::vector<BusPtr> buses = Buses(layer);
  return haId < buses.size() ? buses[haId] : nullptr;
}

std::vector<std::shared_ptr<ScsiAdapter>> AspiService::Adapters(AspiLayer layer) {
  std::vector<std::shared_ptr<ScsiAdapter>> adapters;
  for (const BusPtr& bus : Buses(layer)) adapters.push_back(bus->adapter);
  return adapters;
}

void AspiService::RescanAll() { buses_->RescanAll(); }

void AspiService::RefreshStillImageView() {
  std::string folder = host_.modules().ApplicationFolder();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    applicationFolder_ = folder;
  }
  stiCarriesScsi_ = !folder.empty() && host_.files().Exists(JoinWindowsPath(folder, "Support.sti"));
}

void AspiService::RefreshIfFolderChanged() {
  std::string folder = host_.modules().ApplicationFolder();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (folder == applicationFolder_) return;
  }
  RefreshStillImageView();
}

void AspiService::InjectSupportFailure(AspiLayer layer, std::optional<uint8_t> status) {
  std::lock_guard<std::mutex> lock(mutex_);
  supportFailure_[LayerIndex(layer)] = status;
}

uint32_t AspiService::GetSupportInfo(AspiLayer layer) {
  std::optional<uint8_t> failure;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failure = supportFailure_[LayerIndex(layer)];
  }
  if (failure) return uint32_t{*failure} << 8;
  if (layer == AspiLayer::kStillImage) RefreshStillImageView();
  const size_t count = std::min<size_t>(Buses(layer).size(), 0xFF);
  return (uint32_t{SS_COMP} << 8) | static_cast<uint32_t>(count);
}

uint32_t AspiService::SendCommand(AspiLayer layer, void* srb) {
  // A block still in flight belongs to its request: touching it would race with completion.
  if (srb == nullptr || requests_->Contains(srb)) return SS_INVALID_SRB;
  if (layer == AspiLayer::kStillImage) RefreshIfFolderChanged();
  switch (static_cast<SRB_Header*>(srb)->SRB_Cmd) {
    case SC_HA_INQUIRY:
      return HostAdapterInquiry(layer, static_cast<SRB_HAInquiry*>(srb));
    case SC_EXEC_SCSI_CMD:
      return ExecuteScsi(layer, static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_ABORT_SRB:
      return AbortRequest(layer, static_cast<SRB_Abort*>(srb));
    default:
      return aspi_internal::StoreStatus(srb, SS_INVALID_CMD);
  }
}

CompletionWorker& AspiService::Worker(AspiLayer layer) { return *workers_[LayerIndex(layer)]; }

AspiService& AttachAspi(Host& host, AspiModules modules) {
  return host.FindOrAttach<AspiService>([&] { return std::make_unique<AspiService>(host, modules); });
}

}  // namespace platform
