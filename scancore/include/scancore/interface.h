// The transports: SCSI command blocks carried in ASPI for Win32 request blocks. One class with
// three variants, which differ only in the library they load:
//   CInterface         "wnaspi32.dll": SCSI host adapters and the EPP parallel-to-SCSI adapter;
//   CEppInterface      the same library, plus the EPP adapter's registry key;
//   CStiAspiInterface  the still-image layer, "stiaspi.dll" or "osr2aspi.dll" by Windows version.
//
// Contract:
//  - Every operation returns nonzero for success and 0 for failure; a failure leaves its code
//    (error_codes.h) in the last error, which TakeLastError hands over and clears.
//  - A transport has one request block, reused by every command, so one command is in flight at
//    a time; it must not be used from two threads at once.
//  - Execute waits on the transport's event on the host's clock. A request that does not
//    complete within its time-out is aborted before Execute returns, so the layer never touches
//    the block, its buffer or its event afterwards; one the layer is carrying out at that moment
//    cannot be aborted, and its completion is awaited and taken.
//  - Destruction closes the event; on Windows 98 it also waits 500 ms and unloads the library,
//    which stays loaded on every other system.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/aspi/aspi.h"
#include "platform/clock/event.h"
#include "platform/modules/modules.h"
#include "platform/registry/registry.h"

namespace platform {
class Clock;
class Host;
class SystemInfo;
}  // namespace platform

// What a transport uses of the platform: the module loader (the ASPI layers), the clock (the
// completion event and its waits), the Windows version (which layer, and how it is unloaded) and
// the registry (the EPP adapter's settings).
struct TransportServices {
  platform::Modules& modules;
  platform::Clock& clock;
  platform::SystemInfo& system;
  platform::Registry& registry;
  static TransportServices Of(platform::Host& host);
};

class CInterface {
 public:
  explicit CInterface(const TransportServices& services);
  virtual ~CInterface();
  CInterface(const CInterface&) = delete;
  CInterface& operator=(const CInterface&) = delete;

  // Loads the library and counts its adapters. A support-info failure still opens, with no
  // adapters and the failure's code in the last error.
  virtual int Open();

  // The command table. Data lengths are what the command block carries.
  virtual int TestUnitReady(uint8_t& targetStatus);  // status returned even on failure
  virtual int Inquiry(uint8_t* buffer, uint8_t length);
  virtual int Send(uint8_t type, uint16_t qualifier, const uint8_t* buffer, uint32_t length);
  virtual int SetWindow(const uint8_t* window);  // 54 bytes
  virtual int Scan();
  virtual int Read(uint8_t type, uint16_t qualifier, uint8_t* buffer, uint32_t length);
  virtual int RequestSense(uint8_t* buffer);  // 20 bytes
  virtual int ReserveUnit();
  virtual int ReleaseUnit();
  virtual int GetDataBufferStatus(uint8_t* buffer, uint16_t length);
  int ObjectPosition(uint8_t function, uint32_t count);

  void SetAddress(uint8_t adapter, uint8_t target);
  uint8_t GetAdapterCount() const { return adapterCount_; }
  uint8_t GetAdapter() const { return adapter_; }
  uint8_t GetTarget() const { return target_; }
  uint32_t TakeLastError();

  // Sends the prepared request block and waits for it up to `timeoutMs`.
  int Execute(uint32_t timeoutMs);

  // From a host-adapter inquiry of the current adapter; empty when it fails.
  std::string GetManagerId();
  std::string GetAdapterIdentifier();
  // The largest transfer the current adapter takes in one command.
  uint32_t GetMaxTransfer();

  // The request block as the last command left it (for tests of what went on the wire).
  const platform::SRB_ExecSCSICmd& requestBlock() const { return srb_; }

 protected:
  // Loads `module` and asks it for its adapters. Without the library the last error is
  // `missingError`. A support-info status other than 1 fails the open only when
  // `failOnBadStatus`.
  int OpenLibrary(std::string_view module, uint32_t missingError, bool failOnBadStatus);
  const TransportServices& services() const { return services_; }
  // Leaves `code` as the last error and reports failure.
  int FailWith(uint32_t code) {
    lastError_ = code;
    return 0;
  }

 private:
  // Clears the request block and fills it for one command.
  void Prepare(uint8_t direction, uint8_t* buffer, uint32_t length,
               std::initializer_list<uint8_t> cdb);
  int SendCommand(uint8_t direction, uint8_t* buffer, uint32_t length,
                  std::initializer_list<uint8_t> cdb, uint32_t timeoutMs);
  int WaitForCompletion(uint32_t timeoutMs);
  int CompletedStatus(uint8_t status);
  bool AbortPending();
  bool HostAdapterInquiry(platform::SRB_HAInquiry* srb);

  TransportServices services_;
  platform::ModuleHandle library_ = 0;
  std::unique_ptr<platform::Event> event_;
  platform::GetASPI32SupportInfoFn supportInfo_ = nullptr;
  platform::SendASPI32CommandFn sendCommand_ = nullptr;
  platform::SRB_ExecSCSICmd srb_{};
  uint8_t adapterCount_ = 0;
  uint8_t adapter_ = 0;
  uint8_t target_ = 0;
  uint32_t lastError_;
};

// The EPP parallel-to-SCSI adapter: the ASPI transport and the adapter driver's registry key.
class CEppInterface : public CInterface {
 public:
  explicit CEppInterface(const TransportServices& services) : CInterface(services) {}
  ~CEppInterface() override;
  int Open() override;
  // The key "System\CurrentControlSet\Services\EPPSCSIx" under HKEY_LOCAL_MACHINE; 0 when
  // it does not exist.
  platform::RegKey adapterKey() const { return key_; }
  // The adapter's "Base" value (its port address); 0 when the key or the value is missing.
  uint32_t BaseAddress();

  // Parallel port modes, as flags: 01h BPP, 02h/10h/20h EPP data modes 1-3, 04h SPP, 08h ECP.
  // Nonzero when the user fixed the mode ("ManualModeOn").
  int IsManualMode();
  // The fixed mode from "LptMode" and "DataMode"; 0 when the key or either value is missing.
  uint8_t ReadLptModeFlag();
  int SelectLptMode(uint8_t flag);
  int FinishLptMode();
  // 4096 bytes sent and read back through the scanner; 1 when every byte came back.
  int LoopbackTest();
  // The fastest mode that passes the loopback test (or the fixed one), selected; its flag, with
  // 04h added when found by probing. Recorded as "AvailableMode".
  uint8_t ProbeLptMode();

 private:
  platform::RegKey key_ = 0;
};

// The still-image ASPI layer, which carries the USB scanners (and the SCSI ones where the
// application's folder holds "Support.sti").
class CStiAspiInterface : public CInterface {
 public:
  explicit CStiAspiInterface(const TransportServices& services) : CInterface(services) {}
  // Fails with 0xFFFF0071 on systems without the layer, and with the support-info status when
  // the layer does not start.
  int Open() override;
};
