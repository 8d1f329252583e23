// Values as a person types and reads them on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace scanreg {

// REG_SZ, REG_DWORD or REG_BINARY, in any case.
std::optional<uint32_t> ParseTypeName(const std::string& name);
// The REG_ name of a type, or "REG_TYPE_<n>" for one without a name.
std::string TypeName(uint32_t type);

// /d text as the bytes of a value: REG_SZ as typed; REG_DWORD in decimal or 0x hex;
// REG_BINARY as pairs of hex digits. Returns an error message, or "".
std::string EncodeData(uint32_t type, const std::string& text, std::vector<uint8_t>* data);

// One line: strings up to their zero, numbers as 0x hex, anything else as hex digits.
std::string DisplayData(const platform::RegValue& value);

}  // namespace scanreg
