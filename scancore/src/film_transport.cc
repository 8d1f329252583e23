// The film holder, its transport (OBJECT POSITION) and the focus scan.
#include <algorithm>
#include <cstring>

#include "identity.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"

using namespace scancore;

namespace {
enum PositionFunction : uint8_t { kEject = 0, kLoad = 1, kAbsolute = 2, kRelative = 3, kFocus = 4 };
constexpr uint32_t kStartReadyTimeoutMs = 5000;
constexpr uint32_t kScanReadyTimeoutMs = 15000;
constexpr uint32_t kDataTimeoutMs = 30000;
constexpr uint32_t kCountMask = 0xFFFFFF;  // OBJECT POSITION carries 24 bits
}  // namespace

void CScanCore::CheckHolderType(CHWScannerInfo& info) {
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_ || !transport_->Inquiry(inquiry, kIdentityLength)) {
    if (transport_) transport_->TakeLastError();  // a failure here is never reported
    return;
  }
  info.holderType_ = inquiry[118];
  info.holderInfo_ = uint32_t{inquiry[119]} | uint32_t{inquiry[120]} << 16 |
                     uint32_t{inquiry[121]} << 24;
}

static int Position(CInterface* transport, uint8_t function, unsigned long count) {
  return transport && transport->ObjectPosition(function, static_cast<uint32_t>(count & kCountMask));
}

int CScanCore::Eject() {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  return Position(transport_.get(), kEject, 0) ? 1 : FailFrom(*transport_);
}

int CScanCore::LoadObject() {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  return Position(transport_.get(), kLoad, 0) ? 1 : FailFrom(*transport_);
}

int CScanCore::AbsoultePosition(unsigned long position) {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  return Position(transport_.get(), kAbsolute, position) ? 1 : FailFrom(*transport_);
}

int CScanCore::RelativePosition(unsigned long distance) {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  return Position(transport_.get(), kRelative, distance) ? 1 : FailFrom(*transport_);
}

int CScanCore::FocusAdjust(unsigned long focus) {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  return Position(transport_.get(), kFocus, focus) ? 1 : FailFrom(*transport_);
}

int CScanCore::ReadFocusData(uint8_t* buffer, unsigned long bufferSize, unsigned long& bytesRead,
                             unsigned long start, unsigned long step, unsigned long count) {
  bytesRead = 0;
  if (!transport_) return Fail(kErrNotFoundCancelled);
  const uint64_t b = bytesPerLine_;
  // Every line goes into the caller's buffer: the lines asked for must fit it.
  if (b == 0 || buffer == nullptr || b * count > bufferSize) return Fail(kErrBufferTooSmall);
  if (bufferSize < readSize_) readSize_ = static_cast<uint32_t>(bufferSize);
  if (firstBlock_ == 1) {
    if (!WaitDeviceReady(kStartReadyTimeoutMs)) return 0;
    if (!FocusAdjust(start)) return 0;
    if (!transport_->Scan()) return FailFrom(*transport_);
    if (!WaitDeviceReady(kScanReadyTimeoutMs)) return 0;
    if (!WaitDataBufferReady(kDataTimeoutMs)) return 0;
    focusBytes_ = 0;
  }
  for (unsigned long i = 0; i < count; ++i) {
    if (!ReadData(0x00, 0, buffer + i * b, static_cast<uint32_t>(b))) return 0;
    focusBytes_ += static_cast<uint32_t>(b);
    // A focus step that fails does not fail the focus scan.
    if (!Position(transport_.get(), kFocus, start + i * step)) transport_->TakeLastError();
  }
  bytesRead = focusBytes_;
  return 1;
}
