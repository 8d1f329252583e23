#include "aspi_layer.h"

#include <strings.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/clock/event.h"

namespace dssetup {

struct AspiLayer::Request {
  explicit Request(platform::Clock& clock) : event(clock, platform::Event::Reset::kAuto) {}
  platform::SRB_ExecSCSICmd srb{};
  platform::Event event;
  std::vector<uint8_t> data;
  // The layer is done with the block and the event: the request ended inside the send, or its
  // event was taken.
  bool settled = false;
};

bool IsOrvexScanner(const std::string& name) {
  return (name.size() >= 13 && strncasecmp(name.c_str(), "Orvex SCANNER", 13) == 0) ||
         (name.size() >= 15 && strncasecmp(name.c_str(), "Orvex   SCANNER", 15) == 0);
}

AspiLayer::AspiLayer(platform::Modules& modules, platform::Clock& clock)
    : modules_(modules), clock_(clock) {
  module_ = modules_.LoadLibrary(platform::kWinAspiModule);
  if (!module_) return;
  auto info = modules_.GetProc<uint32_t()>(module_, "GetASPI32SupportInfo");
  auto send = modules_.GetProc<uint32_t(void*)>(module_, "SendASPI32Command");
  if (info && send) {
    info_ = info;
    send_ = send;
  }
}

AspiLayer::~AspiLayer() {
  KeepUntilReleased(std::move(abandoned_));
  if (module_) modules_.FreeLibrary(module_);
}

void AspiLayer::KeepUntilReleased(std::list<std::unique_ptr<Request>> requests) {
  static std::mutex mutex;
  // Never destroyed: a request the layer still holds at exit must not be freed under it.
  static auto* kept = new std::list<std::unique_ptr<Request>>;
  std::lock_guard<std::mutex> lock(mutex);
  kept->splice(kept->end(), requests);
  // The event is set last, under its own lock: once it shows, the layer has let go.
  kept->remove_if([](const std::unique_ptr<Request>& r) { return r->event.IsSet(); });
}

int AspiLayer::AdapterCount() const {
  if (!info_) return -1;
  const uint32_t info = info_();
  return (info >> 8 & 0xFF) == platform::SS_COMP ? static_cast<int>(info & 0xFF) : -1;
}

bool AspiLayer::Execute(Request& r) {
  r.srb.SRB_Cmd = platform::SC_EXEC_SCSI_CMD;
  r.srb.SRB_Flags |= platform::SRB_EVENT_NOTIFY;
  r.srb.SRB_Lun = 0;
  r.srb.SRB_SenseLen = 14;
  r.srb.SRB_CDBLen = 6;
  r.srb.SRB_BufLen = static_cast<uint32_t>(r.data.size());
  r.srb.SRB_BufPointer = r.data.data();
  r.srb.SRB_PostProc = &r.event;
  // What the send answers, not the block: a request completed on the layer's worker shows its
  // status before its event has been set.
  if (send_(&r.srb) != platform::SS_PENDING ||
      r.event.Wait(kAspiTimeoutMs) == platform::WaitResult::kSignaled) {
    r.settled = true;
    return r.srb.SRB_Status == platform::SS_COMP;
  }
  Abort(r);
  return false;
}

void AspiLayer::Abort(Request& r) {
  platform::SRB_Abort abort{};
  abort.SRB_Cmd = platform::SC_ABORT_SRB;
  abort.SRB_HaId = r.srb.SRB_HaId;
  abort.SRB_ToAbort = &r.srb;
  send_(&abort);
  // An abort that takes sets the event at once; one that stays pending gets the same time-out.
  r.settled = r.event.Wait(kAspiTimeoutMs) == platform::WaitResult::kSignaled;
}

std::string AspiLayer::Inquiry(int adapter, int target) {
  if (!send_) return {};
  auto r = std::make_unique<Request>(clock_);
  r->srb.SRB_HaId = static_cast<uint8_t>(adapter);
  r->srb.SRB_Target = static_cast<uint8_t>(target);
  r->srb.SRB_Flags = platform::SRB_DIR_IN;
  const uint8_t cdb[6] = {0x12, 0, 0, 0, 32, 0};
  std::memcpy(r->srb.CDBByte, cdb, sizeof cdb);
  r->data.assign(32, 0);
  const bool ok = Execute(*r);
  std::string name;
  if (ok) {
    name.assign(reinterpret_cast<const char*>(r->data.data() + 8), 24);
    name = name.substr(0, name.find('\0'));
  }
  if (!r->settled) abandoned_.push_back(std::move(r));
  return name;
}

bool AspiLayer::Read(int adapter, int target, uint8_t* buffer, uint16_t length) {
  if (!send_) return false;
  auto r = std::make_unique<Request>(clock_);
  r->srb.SRB_HaId = static_cast<uint8_t>(adapter);
  r->srb.SRB_Target = static_cast<uint8_t>(target);
  r->srb.SRB_Flags = platform::SRB_DIR_IN;
  const uint8_t cdb[6] = {0x08, 0, 0, static_cast<uint8_t>(length >> 8),
                          static_cast<uint8_t>(length), 0};
  std::memcpy(r->srb.CDBByte, cdb, sizeof cdb);
  r->data.assign(length, 0);
  const bool ok = Execute(*r);
  if (ok) std::memcpy(buffer, r->data.data(), length);
  if (!r->settled) abandoned_.push_back(std::move(r));
  return ok;
}

bool AspiLayer::Write(int adapter, int target, const uint8_t* buffer, uint16_t length) {
  if (!send_) return false;
  for (int attempt = 0; attempt < kWriteTries; ++attempt) {
    if (attempt > 0) clock_.SleepMs(1000);
    auto r = std::make_unique<Request>(clock_);
    r->srb.SRB_HaId = static_cast<uint8_t>(adapter);
    r->srb.SRB_Target = static_cast<uint8_t>(target);
    r->srb.SRB_Flags = platform::SRB_DIR_OUT;
    const uint8_t cdb[6] = {0x0A, 0, 0, static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(length), 0};
    std::memcpy(r->srb.CDBByte, cdb, sizeof cdb);
    r->data.assign(buffer, buffer + length);
    const bool ok = Execute(*r);
    const bool retry = (r->srb.SenseArea[2] & 0x02) != 0;
    if (!r->settled) abandoned_.push_back(std::move(r));
    if (ok) return true;
    if (!retry) return false;
  }
  return false;
}

bool AspiTransport::Write(std::span<const uint8_t> bytes) {
  return bytes.size() <= 0xFFFF &&
         aspi_.Write(adapter_, target_, bytes.data(), static_cast<uint16_t>(bytes.size()));
}

bool AspiTransport::Read(std::span<uint8_t> buffer) {
  return buffer.size() <= 0xFFFF &&
         aspi_.Read(adapter_, target_, buffer.data(), static_cast<uint16_t>(buffer.size()));
}

}  // namespace dssetup
