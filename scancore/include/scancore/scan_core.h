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

#include "platform/ui/ui_constants.h"
#include "scancore/device_info.h"
#include "scancore/hw_scanner_info.h"
#include "scancore/interface.h"
#include "scancore/scan_param.h"

class CProgressDlg;
namespace scancore {
class WorkBuffer;
}

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

  // --- Scanning. Per scan: SetScanParam, ReadBlockData until every line is delivered, AbortScan.
  // Programs the window, waits for the scanner, reserves it, reads back the geometry into
  // `image` and sends the gamma tables. `showProgress` opens the progress dialog for the scan.
  int SetScanParam(const SCANPARAM& request, myIMAGEINFO& image, int showProgress);
  // Reads whole lines, at most `request` bytes' worth, into `buffer` (`bufferSize` bytes);
  // `bytesRead` gets the image bytes delivered at `buffer`. In colour the buffer holds one spare
  // line and the colour-alignment lines besides the delivered ones (see read_block.cc).
  int ReadBlockData(uint8_t* buffer, unsigned long bufferSize, unsigned long request,
                    unsigned long& bytesRead);
  // Ends the scan: frees the carried lines and the dialog, forgets the callback and the cancel
  // window, releases the unit.
  int AbortScan();
  void SetImageFormat(ImageFormat format) { imageFormat_ = format; }
  void SetProgressCallBack(ProgressCallBack callback) { progressCallBack_ = callback; }
  void SetCancelCtrl(platform::Hwnd window) { cancelCtrl_ = window; }
  platform::Hwnd GetCancelCtrl() const { return cancelCtrl_; }

  // Switches for the next scan.
  void SetHostShading(int on) { hostShading_ = on; }
  int GetHostShading() const { return hostShading_; }
  void SetRemoveFilmUnderColor(int on) { removeFilmUnderColor_ = on; }
  int GetRemoveFilmUnderColor() const { return removeFilmUnderColor_; }
  void SetBackTrack(int on) { backTrack_ = on; }
  int GetBackTrack() const { return backTrack_; }
  void SetTestMode(uint8_t mode) { testMode_ = mode; }
  uint8_t GetTestMode() const { return testMode_; }

  // --- Parallel port mode (EPP adapter only): the current mode's name, after a probe when
  // `probe`; empty on the other buses.
  std::string GetLptXferMode(int probe);

  // --- Film transport and focus.
  void CheckHolderType(CHWScannerInfo& info);
  int Eject();
  int LoadObject();
  int AbsoultePosition(unsigned long position);
  int RelativePosition(unsigned long distance);
  // Stored only; no command sends them.
  void SetFrameNo(unsigned long frame) { frameNo_ = static_cast<uint32_t>(frame); }
  void SetFocus(unsigned long focus) { focus_ = static_cast<uint32_t>(focus); }
  unsigned long GetFocus() const { return focus_; }
  void EnableAutoFocusMode(bool on) { autoFocus_ = on ? 1 : 0; }
  // A focus scan: `count` lines, the first two at focus `start`, then one per `step`.
  int ReadFocusData(uint8_t* buffer, unsigned long bufferSize, unsigned long& bytesRead,
                    unsigned long start, unsigned long step, unsigned long count);

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

  // Scanning stages.
  int CheckReady(int busType);
  int WaitSetWindowOK(uint8_t* window);
  int WaitDeviceReady(unsigned long timeoutMs);
  int WaitDataBufferReady(unsigned long timeoutMs);
  // Counts a warm-up of `seconds` down in the dialog, or asks the callback; 0 when cancelled.
  int WarmUpCountdown(uint32_t seconds, uint32_t dialogSeconds);
  int SendGammaTables(const SCANPARAM& request);
  int StartScan(uint8_t* buffer, unsigned long bufferSize);
  int ReadLines(uint8_t* destination, uint32_t lines);
  // A READ that fails unless every byte asked for arrived.
  int ReadData(uint8_t type, uint16_t qualifier, uint8_t* buffer, uint32_t length);
  int MeasureXferTime(uint8_t* buffer, unsigned long bufferSize);
  int RecomposeData(uint8_t* raw, uint8_t* out, unsigned long count);
  int DoHostShading(uint8_t* buffer, unsigned long bufferSize);
  int IsCancelPressed();
  void ReportProgress(uint32_t percent);
  int CheckLptMode(uint8_t rank);
  int FocusAdjust(unsigned long focus);
  static uint16_t SwapValue(uint16_t value);
  static uint32_t SwapValue(uint32_t value);

  // What a copy leaves behind: the carried lines and the dialog belong to the scan of one object.
  struct ScanResources {
    ScanResources();
    ~ScanResources();
    ScanResources(const ScanResources&);
    ScanResources& operator=(const ScanResources&);
    std::unique_ptr<scancore::WorkBuffer> carry;
    std::unique_ptr<CProgressDlg> dialog;
  };

  scancore::LibraryState* library_;  // the library's state and services on the host
  std::shared_ptr<CInterface> transport_;  // the bound transport, shared with copies
  int busType_ = kBusAspiScsi;
  uint8_t adBits_ = 8;
  uint16_t opticalRes_ = 300;
  uint32_t cmdReadSize_ = 0x10000;

  // Parallel port mode.
  int warnParallelOnce_ = 1;
  uint8_t lastLptRank_ = 0;

  // The scan: the window's geometry and the reading state.
  int firstBlock_ = 1;
  int scanMode_ = kModeColor;
  int imageFormat_ = kImageRgbTopDown;
  uint16_t pixelsPerLine_ = 0;
  uint16_t bytesPerLine_ = 0;
  uint16_t lines_ = 0;
  int8_t greenOffset_ = 0;
  int8_t blueOffset_ = 0;
  uint8_t lineSpan_ = 0;
  int padLines_ = 1;
  uint32_t readSize_ = 0x8000;
  uint32_t remainingLines_ = 0;
  uint32_t transferred_ = 0;
  uint32_t focusBytes_ = 0;
  ScanResources scan_;
  platform::Hwnd progressCtrl_ = 0;
  platform::Hwnd cancelCtrl_ = 0;
  bool cancelPressed_ = false;
  ProgressCallBack progressCallBack_ = nullptr;
  int shadingNeeded_ = 0;
  int hostShading_ = 1;
  int backTrack_ = 1;
  int removeFilmUnderColor_ = 1;
  uint8_t testMode_ = 0;
  int autoFocus_ = 0;
  uint32_t focus_ = 0;
  uint32_t frameNo_ = 0;
  uint32_t errorCode_;
  std::string basePath_;
};
