// One opened scanner: its options, and the scan from sane_start to the last sane_read.
//
// Threads. Every entry point but Cancel runs on the front end's thread. Cancel may come from
// another thread, or from a signal handler while Read runs: it only raises a flag when a call
// is busy, and the busy call stops at its next block, ends the scan and releases the unit.
// When nothing is busy, Cancel ends the scan itself. The phase is one atomic word; whoever
// moves it to kBusy owns the library object until it moves it back.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sane/sane.h>

#include "backend_host.h"
#include "scancore/scan_core.h"
#include "scanner_options.h"
#include "scanrequest/band_reader.h"

namespace sanebackend {

class ScannerSession {
 public:
  // Binds `device` (found by discovery on `host`); null with `status` set when it does not answer.
  static std::unique_ptr<ScannerSession> Open(BackendHost& host, const DEVICEINFO& device,
                                              SANE_Status* status);
  ~ScannerSession();

  // The model the device named when it was bound.
  std::string ModelName() const { return info_.GetModelName(); }

  const SANE_Option_Descriptor* Descriptor(int index) const { return options_.Descriptor(index); }
  SANE_Status ControlOption(int index, SANE_Action action, void* value, SANE_Int* info);
  SANE_Status GetParameters(SANE_Parameters* params);
  SANE_Status Start();
  SANE_Status Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length);
  void Cancel();
  SANE_Status SetIoMode(SANE_Bool nonBlocking);
  SANE_Status GetSelectFd(SANE_Int* fd);

 private:
  enum Phase : int {
    kIdle,       // no scan; options may change
    kScanning,   // started, lines to read
    kFrameDone,  // every line read and the unit released; sane_start takes the next frame
    kBusy,       // a call owns the scan
  };

  ScannerSession(BackendHost& host, std::unique_ptr<CScanCore> core, const CHWScannerInfo& info);
  // Parameters of an image of this size in the current mode.
  SANE_Parameters ParametersFor(uint32_t pixelsPerLine, uint32_t lines) const;
  // Sets the window up and reads the geometry; a SANE status on failure.
  SANE_Status BeginScan();
  // Brings the film frame a start takes under the lens (the holder loaded at a batch's start).
  SANE_Status PlaceFilm(bool nextFrame);
  // Ends the scan: the unit released, the reader gone.
  void EndScan();
  // Ends a film batch: the holder ejected.
  void EndBatch();
  SANE_Status Failure(uint32_t code);
  // Moves the phase from `from` to kBusy; false when it was not `from`.
  bool Claim(int from);
  SANE_Status FinishRead(SANE_Status status, int phase);

  BackendHost& host_;
  std::unique_ptr<CScanCore> core_;
  CHWScannerInfo info_;
  ScannerOptions options_;
  std::atomic<int> phase_{kIdle};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> lastCancelled_{false};  // the scan ended cancelled; reads say so until the next start
  bool filmLoaded_ = false;
  int frame_ = 0;               // the holder position of the current frame
  SANE_Parameters params_{};    // of the scan in progress
  std::vector<uint8_t> gamma_;  // the tables the window refers to, alive for the scan
  std::unique_ptr<scanrequest::BandReader> reader_;
  const uint8_t* band_ = nullptr;  // unread bytes of the current band
  size_t bandLeft_ = 0;
};

}  // namespace sanebackend
