// The SCSI command blocks the library sends. Multi-byte fields are big-endian; bytes not set
// here are zero.
#include "scancore/interface.h"

namespace {

constexpr uint32_t kCommandTimeoutMs = 25000;
constexpr uint32_t kLongReadTimeoutMs = 100000;
constexpr uint32_t kReadTimeoutMs = 50000;
constexpr uint32_t kLongReadThreshold = 0x3FFFF;

constexpr uint8_t kNone = 0;
constexpr uint8_t kIn = platform::SRB_DIR_IN;
constexpr uint8_t kOut = platform::SRB_DIR_OUT;

constexpr uint8_t Byte(uint32_t value, int shift) { return static_cast<uint8_t>(value >> shift); }

}  // namespace

int CInterface::TestUnitReady(uint8_t& targetStatus) {
  const int ok = SendCommand(kNone, nullptr, 0, {0x00, 0, 0, 0, 0, 0}, kCommandTimeoutMs);
  targetStatus = requestBlock().SRB_TargStat;
  return ok;
}

int CInterface::Inquiry(uint8_t* buffer, uint8_t length) {
  return SendCommand(kIn, buffer, length, {0x12, 0, 0, 0, length, 0}, kCommandTimeoutMs);
}

int CInterface::Send(uint8_t type, uint16_t qualifier, const uint8_t* buffer, uint32_t length) {
  // The layer only reads an outgoing buffer; the block has one pointer type for both ways.
  return SendCommand(kOut, const_cast<uint8_t*>(buffer), length,
                     {0x2A, 0, type, 0, Byte(qualifier, 8), Byte(qualifier, 0), Byte(length, 16),
                      Byte(length, 8), Byte(length, 0), 0},
                     kCommandTimeoutMs);
}

int CInterface::SetWindow(const uint8_t* window) {
  return SendCommand(kOut, const_cast<uint8_t*>(window), 54,
                     {0x24, 0, 0, 0, 0, 0, 0, 0, 0x36, 0}, kCommandTimeoutMs);
}

int CInterface::Scan() {
  return SendCommand(kNone, nullptr, 0, {0x1B, 0, 0, 0, 0, 0}, kCommandTimeoutMs);
}

int CInterface::Read(uint8_t type, uint16_t qualifier, uint8_t* buffer, uint32_t length) {
  const uint32_t timeout = length > kLongReadThreshold ? kLongReadTimeoutMs : kReadTimeoutMs;
  return SendCommand(kIn, buffer, length,
                     {0x28, 0, type, 0, Byte(qualifier, 8), Byte(qualifier, 0), Byte(length, 16),
                      Byte(length, 8), Byte(length, 0), 0},
                     timeout);
}

int CInterface::RequestSense(uint8_t* buffer) {
  return SendCommand(kIn, buffer, 20, {0x03, 0, 0, 0, 0x14, 0}, kCommandTimeoutMs);
}

int CInterface::ReserveUnit() {
  return SendCommand(kNone, nullptr, 0, {0x16, 0, 0, 0, 0, 0}, kCommandTimeoutMs);
}

int CInterface::ReleaseUnit() {
  return SendCommand(kNone, nullptr, 0, {0x17, 0, 0, 0, 0, 0}, kCommandTimeoutMs);
}

int CInterface::GetDataBufferStatus(uint8_t* buffer, uint16_t length) {
  return SendCommand(kIn, buffer, length,
                     {0x34, 0, 0, 0, 0, 0, 0, Byte(length, 8), Byte(length, 0), 0},
                     kCommandTimeoutMs);
}

int CInterface::ObjectPosition(uint8_t function, uint32_t count) {
  return SendCommand(kNone, nullptr, 0,
                     {0x31, static_cast<uint8_t>(function & 7), Byte(count, 16), Byte(count, 8),
                      Byte(count, 0), 0, 0, 0, 0, 0},
                     kCommandTimeoutMs);
}
