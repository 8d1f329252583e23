// Identity replies of any content over both transports: the byte stream a transport hands the
// exchange, and the parallel port's registers answering from the input. No crash, no read past a
// reply, and every wait ends.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>

#include "identity.h"
#include "parallel_transport.h"
#include "platform/host/host.h"
#include "platform/ports/ports.h"
#include "test_host.h"

namespace {

// A transport that hands out the input as the scanner's replies.
class BytesTransport : public dssetup::IdentityTransport {
 public:
  BytesTransport(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  bool Write(std::span<const uint8_t>) override { return true; }
  bool Read(std::span<uint8_t> buffer) override {
    if (bytes_.size() < buffer.size()) return false;
    for (uint8_t& b : buffer) {
      b = bytes_.front();
      bytes_.pop_front();
    }
    return true;
  }

 private:
  std::deque<uint8_t> bytes_;
};

// Port registers answering from the input. Once it is used up the device plays along for a
// while: the status runs through every combination of ready and data-waiting, the word counter
// reads full and every other register reads 0, so that waits end. After that it falls silent
// (never ready), and each read then takes a timer tick of the virtual clock: the 200-tick
// time-outs that follow end after a few hundred reads rather than eleven million port cycles.
class BytesDevice : public platform::PortDevice {
 public:
  BytesDevice(const uint8_t* data, size_t size, platform::Clock& clock) : bytes_(data, data + size), clock_(clock) {}
  uint8_t In(uint16_t offset) override {
    if (!bytes_.empty()) {
      const uint8_t b = bytes_.front();
      bytes_.pop_front();
      return b;
    }
    if (playAlong_ == 0) {
      clock_.SleepMs(kTickMs);
      return 0;
    }
    --playAlong_;
    if (offset == 1) return static_cast<uint8_t>((++step_ & 3) << 6);
    if (offset == 6) return 0xFF;  // the word counter: every chunk complete
    return 0;
  }
  void Out(uint16_t, uint8_t) override {}

 private:
  static constexpr uint32_t kTickMs = 55;
  std::deque<uint8_t> bytes_;
  platform::Clock& clock_;
  // Enough for a reply of several hundred bytes past the input (each byte takes a few reads);
  // what the device sends then is zeros, which the parser has seen by then.
  size_t playAlong_ = 4096;
  uint8_t step_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  dssetup::IdentityData identity;
  if (data[0] & 1) {
    BytesTransport transport(data + 1, size - 1);
    dssetup::RunIdentityExchange(transport, &identity);
  } else {
    static platform::testing::TestHost* host = [] {
      platform::testing::TestHost::Settings s;
      s.hardware = platform::NoHardware();
      return new platform::testing::TestHost(s);
    }();
    platform::Ports ports(host->host());
    const size_t length = std::min<size_t>(size - 1, 4096);
    ports.Attach(0x378, 8, std::make_shared<BytesDevice>(data + 1, length, host->host().clock()));
    dssetup::ParallelPort port(ports);
    dssetup::ParallelTransport transport(port);
    if (port.Open(0, (data[0] & 2) != 0, false)) dssetup::RunIdentityExchange(transport, &identity);
  }
  if (identity.resolutions.size() > dssetup::kMaxResolutions) std::abort();
  return 0;
}
