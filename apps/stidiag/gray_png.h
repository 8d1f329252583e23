// Writes 8-bit gray pixels as a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stidiag {

bool WriteGrayPng(const std::string& hostPath, int width, int height, const std::vector<uint8_t>& pixels,
                  std::string* error);

}  // namespace stidiag
