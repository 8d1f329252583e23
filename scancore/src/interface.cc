// Loading an ASPI library and running one request block to completion.
#include "scancore/interface.h"

#include <cstring>

#include "platform/aspi/aspi.h"
#include "platform/clock/clock.h"
#include "platform/host/host.h"
#include "platform/system/system.h"
#include "scancore/error_codes.h"
#include "sense_mapping.h"
#include "windows_version.h"

using namespace scancore;

namespace {
// Windows 98 needed a pause between the last request and unloading the layer.
constexpr uint32_t kUnloadPauseMs = 500;
}  // namespace

TransportServices TransportServices::Of(platform::Host& host) {
  return TransportServices{host.modules(), host.clock(), host.system(), host.registry()};
}

CInterface::CInterface(const TransportServices& services)
    : services_(services), lastError_(kNoError) {}

CInterface::~CInterface() {
  event_.reset();
  if (library_ && IsWin98(services_.system.GetVersionEx())) {
    services_.clock.SleepMs(kUnloadPauseMs);
    services_.modules.FreeLibrary(library_);
  }
}

int CInterface::Open() {
  return OpenLibrary(platform::kWinAspiModule, kErrNoWinAspi, false);
}

int CInterface::OpenLibrary(std::string_view module, uint32_t missingError,
                            bool failOnBadStatus) {
  platform::Modules& modules = services_.modules;
  platform::ModuleHandle library = modules.LoadLibrary(module);
  if (!library) {
    lastError_ = missingError;
    return 0;
  }
  auto support = modules.GetProc<uint32_t()>(library, "GetASPI32SupportInfo");
  auto send = modules.GetProc<uint32_t(void*)>(library, "SendASPI32Command");
  if (!support || !send) {
    // A library without the ASPI entries is as good as none.
    modules.FreeLibrary(library);
    lastError_ = missingError;
    return 0;
  }
  library_ = library;
  supportInfo_ = support;
  sendCommand_ = send;
  event_ = std::make_unique<platform::Event>(services_.clock, platform::Event::Reset::kAuto);
  const uint32_t info = supportInfo_();
  const uint8_t status = static_cast<uint8_t>(info >> 8);
  if (status == platform::SS_COMP) {
    adapterCount_ = static_cast<uint8_t>(info);
    return 1;
  }
  lastError_ = SupportFailure(status);
  return failOnBadStatus ? 0 : 1;
}

void CInterface::SetAddress(uint8_t adapter, uint8_t target) {
  adapter_ = adapter;
  target_ = target;
}

uint32_t CInterface::TakeLastError() {
  const uint32_t error = lastError_;
  lastError_ = kNoError;
  return error;
}

int CInterface::Execute(uint32_t timeoutMs) {
  if (!sendCommand_) {
    // Not opened: nothing can carry the command.
    lastError_ = AspiError(srb_.CDBByte[0], platform::SS_FAILED_INIT, 0, 0);
    return 0;
  }
  // A layer that completes at once still sets the event; cleared here, that signal cannot be
  // taken for the completion of a later request that is still in flight.
  event_->ResetEvent();
  // The returned status is read rather than the block's, which a completing thread may write.
  const uint8_t first = static_cast<uint8_t>(sendCommand_(&srb_));
  if (first == platform::SS_PENDING) return WaitForCompletion(timeoutMs);
  return CompletedStatus(srb_.SRB_Status);
}

int CInterface::WaitForCompletion(uint32_t timeoutMs) {
  if (event_->Wait(timeoutMs) != platform::WaitResult::kSignaled && AbortPending()) {
    lastError_ = kErrRequestTimeout;
    return 0;
  }
  if (srb_.SRB_Status == platform::SS_PENDING) {
    lastError_ = AspiError(srb_.CDBByte[0], 0, srb_.SRB_HaStat, srb_.SRB_TargStat);
    return 0;
  }
  return CompletedStatus(srb_.SRB_Status);
}

int CInterface::CompletedStatus(uint8_t status) {
  const uint8_t opcode = srb_.CDBByte[0];
  const uint8_t host = srb_.SRB_HaStat;
  const uint8_t target = srb_.SRB_TargStat;
  if (status == platform::SS_COMP) {
    if (host == platform::kHostOk) return 1;
    lastError_ = AspiError(opcode, status, host, target);
    // An overrun or underrun still moved the data the scanner had.
    return host == platform::kHostDataOverrunUnderrun ? 1 : 0;
  }
  lastError_ = AspiError(opcode, status, host, target);
  if (status == platform::SS_ERR && target == platform::kScsiCheckCondition) {
    lastError_ = MapSense(srb_.SenseArea, sizeof srb_.SenseArea, lastError_);
  }
  return 0;
}

// A request left pending would keep pointers to this block, its buffer and the event, so it is
// aborted. The layer refuses to abort a request it is carrying out at that moment; that one is
// about to complete and set the event, and its outcome is taken as it comes. True when the
// request was aborted.
bool CInterface::AbortPending() {
  platform::SRB_Abort abort{};
  abort.SRB_Cmd = platform::SC_ABORT_SRB;
  abort.SRB_HaId = srb_.SRB_HaId;
  abort.SRB_ToAbort = &srb_;
  const bool aborted = sendCommand_(&abort) == platform::SS_COMP;
  // Either way the event is set exactly once more; taking it keeps the next command's wait clean.
  event_->Wait(platform::kInfinite);
  return aborted;
}

void CInterface::Prepare(uint8_t direction, uint8_t* buffer, uint32_t length,
                         std::initializer_list<uint8_t> cdb) {
  std::memset(&srb_, 0, sizeof srb_);
  srb_.SRB_Cmd = platform::SC_EXEC_SCSI_CMD;
  srb_.SRB_HaId = adapter_;
  srb_.SRB_Target = target_;
  srb_.SRB_Lun = 0;
  srb_.SRB_SenseLen = platform::kSenseLength;
  srb_.SRB_PostProc = event_.get();
  srb_.SRB_Flags = static_cast<uint8_t>(platform::SRB_EVENT_NOTIFY | direction);
  srb_.SRB_BufLen = length;
  srb_.SRB_BufPointer = buffer;
  srb_.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
  std::memcpy(srb_.CDBByte, cdb.begin(), cdb.size());
}

int CInterface::SendCommand(uint8_t direction, uint8_t* buffer, uint32_t length,
                            std::initializer_list<uint8_t> cdb, uint32_t timeoutMs) {
  Prepare(direction, buffer, length, cdb);
  return Execute(timeoutMs);
}
