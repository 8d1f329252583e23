#include "crc32.h"

#include <array>

namespace dearc32 {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Eight tables let the loop take eight bytes per step: table k holds the effect of a byte that
// still has k more bytes to pass through the register.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][n] = c;
  }
  for (size_t k = 1; k < 8; ++k) {
    for (size_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  }
  return t;
}

constexpr Tables kTables = MakeTables();

uint32_t Load32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void Crc32::Update(const uint8_t* data, size_t size) {
  uint32_t c = register_;
  for (; size >= 8; data += 8, size -= 8) {
    const uint32_t lo = c ^ Load32(data);
    const uint32_t hi = Load32(data + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
  }
  for (; size > 0; ++data, --size) c = (c >> 8) ^ kTables[0][(c ^ *data) & 0xFF];
  register_ = c;
}

uint32_t ComputeCrc32(const uint8_t* data, size_t size) {
  Crc32 crc;
  crc.Update(data, size);
  return crc.Value();
}

}  // namespace dearc32
