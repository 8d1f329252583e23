// Requests to the KvxScan device read from fuzz bytes: control codes (the driver's and others),
// buffer lengths, blocks with data addresses inside, at the edge of and outside user memory,
// reads and writes on the pipes; anything left pending is cancelled. No request may crash, hang
// or write outside its buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "kvxscan/kvx_interface.h"
#include "platform/devices/device_paths.h"
#include "platform/kernel/user_memory.h"
#include "platform/system/errors.h"

namespace kvxfuzz {

class Bytes {
 public:
  Bytes(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  bool empty() const { return n_ == 0; }
  uint8_t U8() { return n_ ? (--n_, *p_++) : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint32_t U32() { return U16() | static_cast<uint32_t>(U16()) << 16; }

 private:
  const uint8_t* p_;
  size_t n_;
};

inline constexpr uint32_t kCodes[] = {0x80002000, 0x80002004, 0x80002008, 0x8000200C, 0x80002010,
                                      0x80002014, 0x80002018, 0x0022000C, 0x80002040, 0x00220003};

// Ends a request that went pending, by a cancel when it does not end by itself.
inline void Finish(platform::DevicePaths& paths, platform::DeviceHandle h, platform::Overlapped& ov, bool done) {
  if (done || platform::GetLastError() != platform::kErrorIoPending) return;
  uint32_t n = 0;
  if (!paths.GetOverlappedResult(h, ov, &n, false) && platform::GetLastError() == platform::kErrorIoIncomplete) {
    paths.CancelIo(h);
  }
  ov.request->Wait();
}

// One request from the bytes.
inline void Request(platform::DevicePaths& paths, platform::DeviceHandle h, Bytes& in, platform::UserBuffer& user) {
  uint8_t kind = in.U8() % 4;
  platform::Overlapped ov;
  uint32_t n = 0;
  if (kind == 0 || kind == 1) {
    std::vector<uint8_t> data(in.U16() % 140000);
    bool done = kind == 0 ? paths.ReadOverlapped(h, data, ov, &n) : paths.WriteOverlapped(h, data, ov, &n);
    Finish(paths, h, ov, done);
    return;
  }
  uint8_t pick = in.U8();
  uint32_t code = pick < 200 ? kCodes[pick % std::size(kCodes)] : in.U32();
  std::vector<uint8_t> input(in.U8() % 40);
  for (auto& b : input) b = in.U8();
  // Data addresses: inside the user block, at its end, or anything.
  if (input.size() >= 12 && in.U8() % 2) {
    uint32_t address = user.address() + in.U16() % (user.size() + 64);
    std::memcpy(&input[8], &address, 4);  // the data address of every block with one
  }
  std::vector<uint8_t> output(in.U16() % 300);
  bool done = paths.ControlOverlapped(h, code, input, output, ov, &n);
  Finish(paths, h, ov, done);
}

}  // namespace kvxfuzz
