// A transport that records the commands the library sends (and may alter what the scanner
// answers to INQUIRY, as a broken scanner would), put in place of the bound one.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "scancore/interface.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore::testing {

struct Command {
  uint8_t opcode;
  uint8_t type;
  uint16_t qualifier;
  uint32_t length;
};

template <class Base>
class Recording : public Base {
 public:
  explicit Recording(platform::Host& host) : Base(TransportServices::Of(host)) {}

  int Send(uint8_t type, uint16_t qualifier, const uint8_t* buffer, uint32_t length) override {
    log.push_back({0x2A, type, qualifier, length});
    sent.emplace_back(buffer, buffer + length);
    return Base::Send(type, qualifier, buffer, length);
  }
  int Read(uint8_t type, uint16_t qualifier, uint8_t* buffer, uint32_t length) override {
    log.push_back({0x28, type, qualifier, length});
    return Base::Read(type, qualifier, buffer, length);
  }
  int Inquiry(uint8_t* buffer, uint8_t length) override {
    log.push_back({0x12, 0, 0, length});
    const int ok = Base::Inquiry(buffer, length);
    if (ok && alterInquiry) alterInquiry(buffer);
    return ok;
  }
  int SetWindow(const uint8_t* window) override {
    log.push_back({0x24, 0, 0, 54});
    windows.emplace_back(window, window + 54);
    return Base::SetWindow(window);
  }
  int Scan() override {
    log.push_back({0x1B, 0, 0, 0});
    return Base::Scan();
  }

  // Commands of one opcode and data type.
  std::vector<Command> Of(uint8_t opcode, int type = -1) const {
    std::vector<Command> out;
    for (const Command& c : log) {
      if (c.opcode == opcode && (type < 0 || c.type == type)) out.push_back(c);
    }
    return out;
  }
  std::vector<uint32_t> Lengths(uint8_t opcode, int type = -1) const {
    std::vector<uint32_t> out;
    for (const Command& c : Of(opcode, type)) out.push_back(c.length);
    return out;
  }

  std::vector<Command> log;
  std::vector<std::vector<uint8_t>> sent;
  std::vector<std::vector<uint8_t>> windows;
  std::function<void(uint8_t*)> alterInquiry;
};

// Replaces `core`'s transport with a recording one aimed at the same scanner.
template <class Base = CInterface>
std::shared_ptr<Recording<Base>> Record(platform::Host& host, CScanCore& core) {
  auto transport = std::make_shared<Recording<Base>>(host);
  EXPECT_TRUE(transport->Open());
  transport->SetAddress(core.GetTransport()->GetAdapter(), core.GetTransport()->GetTarget());
  ScanCoreTestPeer::Rebind(core, transport);
  return transport;
}

}  // namespace scancore::testing
