// Random command sequences for the emulated scanners: every request gets an answer (status,
// sense or adapter status), never a crash, a hang or a write outside its buffer.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "identity_scanner.h"
#include "platform/clock/clock.h"
#include "scsi_scanner.h"

namespace {
// Each command: opcode-led CDB (first byte = CDB length 0..16), direction, buffer length
// (16 bits), then the data-out bytes.
void RunSequence(platform::ScsiDevice& device, platform::VirtualClock& clock, const uint8_t* p,
                 size_t n) {
  while (n >= 4) {
    size_t cdbLength = p[0] % 17;
    auto direction = static_cast<platform::ScsiDirection>(p[1] % 3);
    uint32_t length = (uint32_t{p[2]} << 8 | p[3]) % 40000;
    p += 4;
    n -= 4;
    if (n < cdbLength) return;
    std::vector<uint8_t> cdb(p, p + cdbLength);
    p += cdbLength;
    n -= cdbLength;
    std::vector<uint8_t> data(length);
    size_t take = std::min<size_t>(length, n);
    if (direction == platform::ScsiDirection::kOut) {
      if (take > 0) std::memcpy(data.data(), p, take);
      p += take;
      n -= take;
    }
    platform::ScsiCommand command{cdb.empty() ? nullptr : cdb.data(), static_cast<uint8_t>(cdbLength),
                                  direction, data.empty() ? nullptr : data.data(), length};
    platform::ScsiOutcome outcome = device.Execute(command);
    if (outcome.transferred > length) __builtin_trap();
    clock.Advance(300);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  platform::VirtualClock clock;
  emulator::ScannerModel model;
  model.adBits = static_cast<uint8_t>(8 + 2 * (data[0] % 3));
  model.waitsForFirmware = data[0] & 0x10;
  model.holderType = data[0] & 0x20 ? 1 : 0;
  model.opticalRes = 150;  // small images keep each run fast
  if (data[0] & 0x80) {
    emulator::IdentityScanner identity{emulator::IdentityModel{}};
    RunSequence(identity, clock, data + 1, size - 1);
  } else {
    emulator::ScsiScanner scanner(model, clock, std::make_shared<emulator::TestChart>(),
                                  data[0] & 0x40 ? 0x3F : 0);
    RunSequence(scanner, clock, data + 1, size - 1);
  }
  return 0;
}
