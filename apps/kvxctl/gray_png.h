// Writes 8-bit gray pixels as a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvxctl {

bool WriteGrayPng(const std::string& file, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels,
                  std::string* error);

}  // namespace kvxctl
