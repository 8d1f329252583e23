// The card's address list (EPP-CARD.INI beside the program) and the number an address text
// stands for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class ProfileFiles;
}

namespace portcard {

inline constexpr std::string_view kAddressFile = "EPP-CARD.INI";
inline constexpr std::string_view kAddressSection = "Port Address";
inline constexpr size_t kMaxAddressText = 9;

// Keys "0", "1", ... of section "Port Address" until the first missing one; each value is cut to
// 9 characters, as the program's buffer holds them.
std::vector<std::string> ReadAddressList(const platform::ProfileFiles& profiles,
                                         std::string_view file);

// The address text read digit by digit in base 16: '0'..'9' count as 0..9 and every other
// character as its distance from 'A' plus 10, so only upper-case hexadecimal reads as meant.
// Arithmetic wraps at 32 bits as the stored DWORD does.
uint32_t AddressValue(std::string_view text);

}  // namespace portcard
