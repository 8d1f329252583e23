// The ASPI for Win32 layer as the port search uses it: loaded by name for one search, page or
// inquiry and unloaded afterwards; inquiry of a target and the 6-byte READ and WRITE commands
// that carry the identity exchange.
//
// A request that times out is aborted, and ends through its event: at once when the abort takes.
// An abort that itself stays pending gets the same time-out; then the request is given up on,
// and its block and event are kept for as long as the layer may still complete into them (until
// it sets the event), beyond this object if need be.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "identity.h"
#include "platform/aspi/aspi.h"
#include "platform/modules/modules.h"

namespace platform {
class Clock;
class Event;
}  // namespace platform

namespace dssetup {

inline constexpr uint32_t kAspiTimeoutMs = 20000;
inline constexpr int kWriteTries = 10;

// Whether an inquiry name is the setup's scanner: "Orvex SCANNER" or "Orvex   SCANNER" at the
// start, letter case ignored.
bool IsOrvexScanner(const std::string& name);

class AspiLayer {
 public:
  AspiLayer(platform::Modules& modules, platform::Clock& clock);
  ~AspiLayer();
  AspiLayer(const AspiLayer&) = delete;
  AspiLayer& operator=(const AspiLayer&) = delete;

  // False when the module is missing or lacks one of the two entry points.
  bool loaded() const { return send_ != nullptr; }
  // Host adapters, or -1 when the layer does not report completion.
  int AdapterCount() const;
  // The vendor and product fields of a 32-byte inquiry; empty when the request fails.
  std::string Inquiry(int adapter, int target);
  bool Read(int adapter, int target, uint8_t* buffer, uint16_t length);
  // Retried while the sense key byte has bit 1 set, 1000 ms apart, 10 tries in all.
  bool Write(int adapter, int target, const uint8_t* buffer, uint16_t length);

 private:
  struct Request;
  bool Execute(Request& request);
  // Aborts a request that timed out and waits for it to end.
  void Abort(Request& request);
  // Keeps requests given up on until the layer sets their events; frees those it has.
  static void KeepUntilReleased(std::list<std::unique_ptr<Request>> requests);

  platform::Modules& modules_;
  platform::Clock& clock_;
  platform::ModuleHandle module_ = 0;
  platform::GetASPI32SupportInfoFn info_ = nullptr;
  platform::SendASPI32CommandFn send_ = nullptr;
  std::list<std::unique_ptr<Request>> abandoned_;  // kept until the layer lets go
};

// The identity exchange over one SCSI target.
class AspiTransport : public IdentityTransport {
 public:
  AspiTransport(AspiLayer& aspi, int adapter, int target)
      : aspi_(aspi), adapter_(adapter), target_(target) {}
  bool Write(std::span<const uint8_t> bytes) override;
  bool Read(std::span<uint8_t> buffer) override;

 private:
  AspiLayer& aspi_;
  int adapter_;
  int target_;
};

}  // namespace dssetup
