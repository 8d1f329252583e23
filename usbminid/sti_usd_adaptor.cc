#include "sti_usd_adaptor.h"

namespace usbminid {

namespace {
constexpr uint8_t kColourField[] = {0x04, 0x00, 0x08};
constexpr uint8_t kResolutionField[] = {0x00, 0x01, 0x02, 0x03};
constexpr uint8_t kPassField[] = {0x00, 0x10};

template <size_t N>
uint8_t Field(const uint8_t (&table)[N], int index) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : 0;  // unused indices add nothing
}
}  // namespace

bool StiUsdAdaptor::Attach(platform::sti::IStiUSD* usd) {
  if (usd == nullptr) return false;
  bool expected = false;
  if (!attached_.compare_exchange_strong(expected, true)) return false;
  usd_ = usd;
  return true;
}

int StiUsdAdaptor::Detach() {
  if (attached_.load()) {
    usd_ = nullptr;
    attached_.store(false);
  }
  return 0;
}

void StiUsdAdaptor::CheckAttached() const {
  if (!attached_.load()) throw XStiUsdAdaptor("IStiUSD Not Attached Yet.");
}

platform::com::HRESULT StiUsdAdaptor::Send(const uint8_t (&packet)[8]) {
  platform::com::HRESULT hr = usd_->RawWriteCommand(packet, 8, nullptr);
  if (hr < 0) throw XStiUsdAdaptor("Device RawWriteCommand Fail.");
  return hr;
}

void StiUsdAdaptor::Receive(uint8_t* buffer, uint32_t expected) {
  uint32_t count = expected;
  platform::com::HRESULT hr = usd_->RawReadData(buffer, &count, nullptr);
  if (hr < 0 || count != expected) throw XStiUsdAdaptor("Device RawReadData Fail.");
}

void StiUsdAdaptor::CheckScannerId(uint8_t expected) {
  CheckAttached();
  uint8_t id = 0;
  try {
    id = ReadRegister(0);
  } catch (const XStiUsdAdaptor& e) {
    throw XStiUsdAdaptor("%s", e.text());
  }
  if (id != expected) throw XStiUsdAdaptor("ScannerID Error:%x.", id);
}

platform::com::HRESULT StiUsdAdaptor::WriteRegister(uint16_t word) {
  CheckAttached();
  const uint8_t packet[8] = {0x20, static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
  return Send(packet);
}

platform::com::HRESULT StiUsdAdaptor::WriteRegisterList(const uint8_t* pairs) {
  CheckAttached();
  platform::com::HRESULT last = platform::com::S_OK;
  for (const uint8_t* p = pairs; p[0] != 0; p += 2) last = WriteRegister(static_cast<uint16_t>(p[0] | p[1] << 8));
  return last;
}

uint8_t StiUsdAdaptor::ReadRegister(uint8_t reg) {
  CheckAttached();
  const uint8_t packet[8] = {0x21, reg};
  Send(packet);
  uint8_t value = 0;
  Receive(&value, 1);
  return value;
}

void StiUsdAdaptor::SetupScanMode(int colourIndex, int resolutionIndex, int passIndex) {
  CheckAttached();
  const uint8_t mode =
      static_cast<uint8_t>(Field(kColourField, colourIndex) | Field(kResolutionField, resolutionIndex) |
                           Field(kPassField, passIndex));
  const uint8_t packet[8] = {0x23, mode};
  Send(packet);
}

void StiUsdAdaptor::StartWRLine(uint16_t skip, uint16_t length) {
  CheckAttached();
  const uint8_t packet[8] = {0x22,
                             0x01,
                             static_cast<uint8_t>(length & 0xFF),
                             static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(skip & 0xFF),
                             static_cast<uint8_t>(skip >> 8),
                             0xFF,
                             0xFF};
  Send(packet);
  lineLength_ = length;
}

uint16_t StiUsdAdaptor::WRLine(uint8_t* buffer) {
  CheckAttached();
  Receive(buffer, lineLength_);
  return lineLength_;
}

void StiUsdAdaptor::StopWRLine() {
  CheckAttached();
  const uint8_t packet[8] = {0x24};
  Send(packet);
}

void StiUsdAdaptor::MoveCarriage(int directionIndex, uint16_t steps) {
  CheckAttached();
  const uint8_t packet[8] = {0x25, static_cast<uint8_t>(directionIndex == 0 ? 0x01 : 0x00),
                             static_cast<uint8_t>(steps & 0xFF), static_cast<uint8_t>(steps >> 8)};
  Send(packet);
  uint8_t reply = 0;
  Receive(&reply, 1);
  if (reply != 0x01) throw XStiUsdAdaptor("MoveCarriage Not Return 0x01.");
}

}  // namespace usbminid
