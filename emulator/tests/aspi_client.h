// The scanner library's view of the machine: an ASPI module loaded by name and request blocks
// sent through it, waited for through the event when they complete later.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/aspi/aspi.h"
#include "platform/clock/event.h"
#include "platform/host/host.h"
#include "platform/modules/modules.h"

namespace emulator::testing {

class AspiClient {
 public:
  AspiClient(platform::Host& host, const char* module) : host_(host) {
    handle_ = host.modules().LoadLibrary(module);
    if (handle_) {
      support_ = host.modules().GetProc<uint32_t()>(handle_, "GetASPI32SupportInfo");
      send_ = host.modules().GetProc<uint32_t(void*)>(handle_, "SendASPI32Command");
    }
  }
  ~AspiClient() {
    if (handle_) host_.modules().FreeLibrary(handle_);
  }
  AspiClient(const AspiClient&) = delete;
  AspiClient& operator=(const AspiClient&) = delete;

  bool loaded() const { return support_ && send_; }
  int adapters() const { return support_() & 0xFF; }

  std::string AdapterId(uint8_t ha) {
    platform::SRB_HAInquiry srb{};
    srb.SRB_Cmd = platform::SC_HA_INQUIRY;
    srb.SRB_HaId = ha;
    send_(&srb);
    return std::string(reinterpret_cast<char*>(srb.HA_Identifier), 16).c_str();
  }

  // Runs one command; returns the request status and fills `srbOut` if given.
  uint8_t Execute(uint8_t ha, uint8_t target, std::initializer_list<uint8_t> cdb, uint8_t flags,
                  uint8_t* data, uint32_t length, platform::SRB_ExecSCSICmd* srbOut = nullptr) {
    platform::Event done(host_.clock(), platform::Event::Reset::kAuto);
    platform::SRB_ExecSCSICmd srb{};
    srb.SRB_Cmd = platform::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = ha;
    srb.SRB_Target = target;
    srb.SRB_Flags = flags | platform::SRB_EVENT_NOTIFY;
    srb.SRB_BufLen = length;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = platform::kSenseLength;
    srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
    srb.SRB_PostProc = &done;
    std::memcpy(srb.CDBByte, cdb.begin(), cdb.size());
    if (send_(&srb) == platform::SS_PENDING) done.Wait(25000);
    if (srbOut) *srbOut = srb;
    return srb.SRB_Status;
  }

  // INQUIRY of 36 bytes: the vendor and product text, or empty.
  std::string ModelAt(uint8_t ha, uint8_t target, uint8_t* status = nullptr) {
    uint8_t data[36] = {};
    uint8_t s = Execute(ha, target, {0x12, 0, 0, 0, 36, 0}, platform::SRB_DIR_IN, data, 36);
    if (status) *status = s;
    if (s != platform::SS_COMP) return {};
    return std::string(reinterpret_cast<char*>(data + 8), 24);
  }

 private:
  platform::Host& host_;
  platform::ModuleHandle handle_ = 0;
  uint32_t (*support_)() = nullptr;
  uint32_t (*send_)(void*) = nullptr;
};

}  // namespace emulator::testing
