// The parallel port modes of the EPP adapter: each flag's name, rank (slowest 1 to fastest 6)
// and the code that selects it in the scanner.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace scancore {

struct LptModeInfo {
  uint8_t flag;
  std::string_view name;
  uint8_t rank;
  uint8_t selectCode;  // port number << 4 | data number
};

std::optional<LptModeInfo> LookUpLptMode(uint8_t flag);
// The select code of any flag, rows or not: 12h for 40h, 32h for other flags without a row.
uint8_t LptSelectCode(uint8_t flag);
// The flag the registry's "LptMode" and "DataMode" stand for.
uint8_t LptFlagFromRegistry(uint32_t lptMode, uint32_t dataMode);

}  // namespace scancore
