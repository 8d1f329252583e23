#include "identity_scanner.h"

#include <algorithm>
#include <cstring>

namespace emulator {

using platform::ScsiCommand;
using platform::ScsiOutcome;

namespace {
constexpr uint8_t kEsc = 0x1B;

void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

std::vector<uint8_t> WithHeader(uint8_t status, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out(4 + data.size());
  out[0] = 0x02;
  out[1] = status;
  out[2] = static_cast<uint8_t>(data.size());
  out[3] = static_cast<uint8_t>(data.size() >> 8);
  std::copy(data.begin(), data.end(), out.begin() + 4);
  return out;
}

ScsiOutcome Illegal(uint8_t asc) { return ScsiOutcome::Check(platform::kSenseIllegalRequest, asc, 0); }
}  // namespace

std::vector<uint8_t> IdentityScanner::IdentityReply() const {
  std::vector<uint8_t> data = {static_cast<uint8_t>(model_.levelLetter),
                               static_cast<uint8_t>(model_.levelDigit)};
  data.push_back('A');
  PutLe16(data, model_.maxWidth);
  PutLe16(data, model_.maxHeight);
  for (uint16_t r : model_.resolutions) {
    data.push_back('R');
    PutLe16(data, r);
  }
  return WithHeader(model_.status, data);
}

std::vector<uint8_t> IdentityScanner::StatusReply() const {
  const std::vector<uint8_t> status = {0x00, 0x01, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00};
  return WithHeader(model_.status, status);
}

std::vector<uint8_t> IdentityScanner::ReplyTo(uint8_t first, uint8_t second) const {
  if (first == kEsc && second == 'I') return IdentityReply();
  if (first == kEsc && second == '?') return StatusReply();
  return {};
}

ScsiOutcome IdentityScanner::Execute(const ScsiCommand& c) {
  if (c.cdb == nullptr || c.cdbLength < 6) return Illegal(0x20);
  std::lock_guard<std::mutex> lock(mutex_);
  const uint32_t length = static_cast<uint32_t>(c.cdb[3]) << 8 | c.cdb[4];
  if (length > c.length || (length > 0 && c.data == nullptr)) {
    ScsiOutcome overrun;
    overrun.hostStatus = platform::kHostDataOverrunUnderrun;
    return overrun;
  }
  switch (c.cdb[0]) {
    case 0x00: return ScsiOutcome::Good();
    case 0x12: {  // INQUIRY: the short form this protocol uses
      uint8_t d[32] = {0x06, 0, 0x02, 0x01, 27};
      std::memset(d + 8, ' ', 24);
      std::memcpy(d + 8, model_.name.data(), std::min<size_t>(24, model_.name.size()));
      uint32_t n = std::min<uint32_t>({c.length, c.cdb[4], 32});
      if (n > 0) std::memcpy(c.data, d, n);
      return ScsiOutcome::Good(n);
    }
    case 0x0A: {  // WRITE(6): a command of the protocol
      if (length >= 2 && c.data[0] == kEsc && c.data[1] == 'I') {
        auto reply = IdentityReply();
        pending_.assign(reply.begin(), reply.end());
      } else if (length >= 2 && c.data[0] == kEsc && c.data[1] == '?') {
        auto reply = StatusReply();
        pending_.assign(reply.begin(), reply.end());
      } else {
        return Illegal(0x26);
      }
      return ScsiOutcome::Good(length);
    }
    case 0x08: {  // READ(6): the reply, in as many pieces as the host likes
      uint32_t n = std::min<uint32_t>(length, static_cast<uint32_t>(pending_.size()));
      std::copy_n(pending_.begin(), n, c.data);
      pending_.erase(pending_.begin(), pending_.begin() + n);
      ScsiOutcome outcome = ScsiOutcome::Good(n);
      if (n < length) outcome.hostStatus = platform::kHostDataOverrunUnderrun;
      return outcome;
    }
    default: return Illegal(0x20);
  }
}

}  // namespace emulator
