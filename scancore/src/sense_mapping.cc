#include "sense_mapping.h"

#include "scancore/error_codes.h"

namespace scancore {

namespace {

struct VendorSense {
  uint8_t asc, ascq;
  uint32_t code;
};

constexpr VendorSense kVendorSense[] = {
    {0x00, 0x05, kErrVendor0005},
    {0x3B, 0x05, kErrVendor3B05},
    {0x3B, 0x09, kErrVendor3B09},
    {0x04, 0x03, kErrVendor0403},
};

// Hardware errors carry a bit field in bytes 18-19; the lowest set bit names the fault.
uint32_t HardwareError(const uint8_t* sense, uint32_t code) {
  const uint16_t bits = static_cast<uint16_t>((sense[19] << 8) | sense[18]);
  for (uint32_t i = 0; i < 16; ++i) {
    if (bits & (1u << i)) return kErrHardware + i;
  }
  return code;
}

}  // namespace

uint32_t MapSense(const uint8_t* sense, size_t length, uint32_t code) {
  if (sense == nullptr || length < 20) return code;
  const uint8_t key = sense[2] & 0x0F;
  const uint8_t asc = sense[12];
  const uint8_t ascq = sense[13];
  switch (key) {
    case 0x2:
      if (asc == 0x04 && ascq == 0x01) return kErrWarmingUp + (uint32_t{sense[18]} << 8);
      return code;
    case 0x4:
      return HardwareError(sense, code);
    case 0x5:
      return asc == 0x25 && ascq == 0x00 ? kErrLunNotSupported : code;
    case 0x9:
      for (const VendorSense& v : kVendorSense) {
        if (v.asc == asc && v.ascq == ascq) return v.code;
      }
      return code;
    case 0xB:
      return asc == 0x2C && ascq == 0x00 ? kErrAbortedCommand : code;
    default:
      return code;
  }
}

}  // namespace scancore
