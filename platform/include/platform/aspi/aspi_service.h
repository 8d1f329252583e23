// The ASPI for Win32 layers over the emulated SCSI buses. Two layers serve request blocks: the
// ASPI layer proper ("wnaspi32.dll": the SCSI host adapters and the EPP parallel-to-SCSI
// adapter) and the still-image layer ("stiaspi.dll" and "osr2aspi.dll": the USB-attached
// scanners and, where the scanning application's folder holds "Support.sti", the devices of the
// SCSI host adapters too). The service registers the three modules with the host's Modules as
// built-in providers exporting GetASPI32SupportInfo and SendASPI32Command; each export finds
// the current host's AspiService.
//
// Contract:
//  - Adapters are numbered per layer in the order they were added; a still-image layer numbers
//    its own adapters first, then the SCSI host adapters it carries.
//  - An adapter completes requests either inside SendASPI32Command (kImmediate, which still sets
//    the event of an event-notify request) or later from the layer's worker thread (kLater:
//    SS_PENDING, then the status bytes are filled, SRB_Status is stored last and the event set).
//    The worker starts on first use and is stopped when the service is destroyed; requests still
//    queued then are dropped without touching their blocks.
//  - An accepted request with event notification sets its event exactly once, when it
//    completes or is aborted; the event must outlive that, so a caller that polls SRB_Status
//    still waits for the event before releasing it.
//  - A request block may be in flight once: sending a block that is still pending returns
//    SS_INVALID_SRB and leaves the block alone. Once a request has completed or been aborted,
//    the layer never touches its block or its event again.
//  - A request refused at once (bad adapter, no device, bad fields) gets its status without its
//    event being set: only an accepted request completes through the event.
//  - A device outcome that never completes leaves the request pending until SC_ABORT_SRB.
//  - Fault point "aspi.abort" makes SC_ABORT_SRB stay pending without touching its request, as
//    an adapter that never gets round to an abort does.
//  - Every entry point is safe to call from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/aspi/aspi.h"
#include "platform/host/host.h"
#include "platform/devices/scsi.h"

namespace platform {

namespace aspi_internal {
class BusSet;
class CompletionWorker;
class RequestTable;
struct Bus;
}  // namespace aspi_internal

enum class AspiLayer { kWinAspi, kStillImage };
enum class AdapterKind { kScsi, kEpp, kStillImage };

// Which modules the machine has. An absent one fails to load as a missing DLL does. The set is
// fixed when the service is made: a module, once offered to the host's Modules, stays loadable.
struct AspiModules {
  bool wnaspi32 = true;
  bool stiaspi = true;
  bool osr2aspi = true;
};

class AspiService : public HostService {
 public:
  explicit AspiService(Host& host, AspiModules modules = {});
  ~AspiService() override;
  AspiService(const AspiService&) = delete;
  AspiService& operator=(const AspiService&) = delete;

  // Adds a host adapter. SCSI and EPP adapters go to the ASPI layer and get a "\\.\SCSIn:"
  // port device (n counting them from 0) among the host's device paths.
  void AddAdapter(AdapterKind kind, std::shared_ptr<ScsiAdapter> adapter);
  // The adapters a layer serves now, by adapter number.
  std::vector<std::shared_ptr<ScsiAdapter>> Adapters(AspiLayer layer);
  // Rescans every adapter of both layers, as a re-enumeration of all buses does.
  void RescanAll();


  // Fault switch: GetASPI32SupportInfo reports `status` with no adapters (nullopt: normal).
  void InjectSupportFailure(AspiLayer layer, std::optional<uint8_t> status);

  // The two entry points of a layer.
  uint32_t GetSupportInfo(AspiLayer layer);
  uint32_t SendCommand(AspiLayer layer, void* srb);

 private:
  using BusPtr = std::shared_ptr<aspi_internal::Bus>;
  BusPtr BusAt(AspiLayer layer, uint8_t haId);
  std::vector<BusPtr> Buses(AspiLayer layer);
  // The still-image layer carries the SCSI host adapters too where the running program's folder
  // (Modules::ApplicationFolder) holds "Support.sti". The layer looks for the file when it
  // reports its support info (as a layer does when it is loaded) and when the folder changes.
  void RefreshStillImageView();
  void RefreshIfFolderChanged();
  void RegisterPortDevice(const BusPtr& bus);

  uint8_t HostAdapterInquiry(AspiLayer layer, SRB_HAInquiry* srb);
  uint8_t ExecuteScsi(AspiLayer layer, SRB_ExecSCSICmd* srb);
  uint8_t AbortRequest(AspiLayer layer, SRB_Abort* srb);
  uint8_t Validate(AspiLayer layer, const SRB_ExecSCSICmd* srb, BusPtr* bus);
  aspi_internal::CompletionWorker& Worker(AspiLayer layer);

  Host& host_;
  std::shared_ptr<aspi_internal::BusSet> buses_;
  std::unique_ptr<aspi_internal::RequestTable> requests_;
  mutable std::mutex mutex_;
  std::string applicationFolder_;
  std::atomic<bool> stiCarriesScsi_{false};
  std::array<std::optional<uint8_t>, 2> supportFailure_{};
  int scsiPorts_ = 0;
  // Declared last: the workers stop first, while everything their jobs use is still there.
  std::array<std::unique_ptr<aspi_internal::CompletionWorker>, 2> workers_;
};

// Attaches the ASPI service to `host` (once; later calls return the same service), with the
// device paths and bus-rescan devices it brings: "\\.\gulp.VXD" (opens on Windows 95 only) and
// a "\\.\SCSIn:" port per SCSI host adapter.
AspiService& AttachAspi(Host& host, AspiModules modules = {});

}  // namespace platform
