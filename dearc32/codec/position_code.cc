#include "position_code.h"

namespace dearc32 {
namespace {

constexpr unsigned CodeLength(unsigned upper) {
  if (upper == 0) return 3;
  if (upper < 4) return 4;
  if (upper < 12) return 5;
  if (upper < 24) return 6;
  if (upper < 48) return 7;
  return 8;
}

constexpr PositionCode MakePositionCode() {
  PositionCode table{};
  unsigned code = 0;
  unsigned length = CodeLength(0);
  for (unsigned upper = 0; upper < 64; ++upper) {
    const unsigned next = CodeLength(upper);
    code <<= next - length;  // canonical: a longer code extends the next shorter one
    length = next;
    table.code[upper] = static_cast<uint8_t>(code);
    table.codeLength[upper] = static_cast<uint8_t>(length);
    const unsigned spare = 8 - length;
    for (unsigned tail = 0; tail < (1u << spare); ++tail) {
      table.upper[(code << spare) | tail] = static_cast<uint8_t>(upper);
      table.length[(code << spare) | tail] = static_cast<uint8_t>(length);
    }
    ++code;
  }
  return table;
}

constexpr PositionCode kPositionCode = MakePositionCode();

// The lengths fill the code space exactly, so the last code is all ones.
static_assert(kPositionCode.code[63] == 0xFF && kPositionCode.codeLength[63] == 8);
static_assert(kPositionCode.code[1] == 0b0010 && kPositionCode.code[4] == 0b01010);

}  // namespace

const PositionCode& GetPositionCode() { return kPositionCode; }

}  // namespace dearc32
