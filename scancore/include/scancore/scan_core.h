// CScanCore: the scanner control library's class. A scanning application constructs one per
// scanner with its base folder and calls Initialize, which finds the supported scanners on every
// transport, lets the user choose when there are several, binds the chosen scanner's transport
// and reads its identity into a CHWScannerInfo.
//
// Contract:
//  - Operations returning int give 1 for success and 0 for failure; GetErrorCode then tells why
//    (error_codes.h) and clears the code. No exception leaves the class.
//  - The bound transport is owned jointly by an object and its copies and freed once, with the
//    last of them; a second Initialize lets go of the previous one.
//  - The platform host current at construction serves the object for its whole life: the
//    constructor takes the services the library uses from it, and nothing below reaches the
//    host again.
//  - Single-threaded: every call runs to completion on the caller's thread; waits are on the
//    host's clock, and the not-found message and the selection dialog block it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scancore/device_info.h"
#include "scancore/hw_scanner_info.h"
#include "scancore/interface.h"

namespace scancore {
class LibraryState;
struct ScanCoreServices;
}  // namespace scancore

class CScanCore {
 public:
  explicit CScanCore(std::string basePath);
  CScanCore(const CScanCore& other);
  CScanCore& operator=(const CScanCore& other);
  ~CScanCore();

  // Discovery, choice, binding and identity. Asks the user (Retry/Cancel) while no scanner is
  // found, and which one to use when several are.
  int Initialize(CHWScannerInfo& info);

  // For front ends that list scanners: every pass of discovery with the silent bus rescan, but
  // no prompt. 1 with `found` filled (possibly empty); 0 when a transport failed to open.
  int ListScanners(std::vector<DEVICEINFO>& found);
  // Binds the transport of one scanner that discovery found and reads its identity.
  int InitializeScanner(const DEVICEINFO& device, CHWScannerInfo& info);

  void GetVersion(std::string& version);
  // The last error, which is cleared: a second call returns 0xFFFFFFFF.
  uint32_t GetErrorCode();
  // From a fresh identity inquiry; empty when it fails (and no error is stored).
  std::string GetFwVersion();
  std::string GetFwDate();

  // The largest READ of a scan that sends its own tables.
  void SetCmdReadSize(uint32_t size) { cmdReadSize_ = size; }
  uint32_t GetCmdReadSize() const { return cmdReadSize_; }

  // What Initialize bound (for tests and diagnostics).
  int GetBusType() const { return busType_; }
  const CInterface* GetTransport() const { return transport_.get(); }

 private:
  friend class ScanCoreTestPeer;

  // One pass over the transports, appending to the table; 0 when a transport that had to open
  // did not.
  int DiscoverOnce(DEVICEINFO* table, uint8_t& count);
  // Passes until something is found: the silent rescan, then Retry/Cancel when `ask`.
  int Discover(DEVICEINFO* table, uint8_t& count, bool ask);
  int FindScanner(CInterface* transport, DEVICEINFO* table, unsigned char& count);
  void ProbeTarget(CInterface& transport, uint8_t adapter, uint8_t target, bool oem, bool sti,
                   DEVICEINFO* table, unsigned char& count);
  // Brings a scanner that waits for firmware up; false when it does not come back.
  bool BootFirmware(CInterface& transport, uint8_t* inquiry);
  int DownloadFirmware(CInterface& transport, unsigned char id, const char* vendorProduct);
  int CheckSupportOEM();
  int CheckSupportSTISCSI();
  int Bind(const DEVICEINFO& device, CHWScannerInfo& info);
  int ReadIdentity(CHWScannerInfo& info);
  int Fail(uint32_t code);
  int FailFrom(CInterface& transport);
  std::string FilePath(std::string_view relative) const;
  const scancore::ScanCoreServices& services() const;

  scancore::LibraryState* library_;  // the library's state and services on the host
  std::shared_ptr<CInterface> transport_;  // the bound transport, shared with copies
  int busType_ = kBusAspiScsi;
  uint8_t adBits_ = 8;
  uint16_t opticalRes_ = 300;
  uint32_t cmdReadSize_ = 0x10000;
  uint32_t errorCode_;
  std::string basePath_;
};
