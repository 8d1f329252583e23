// Makes packed files: the header with the file's size, DOS date and time, attributes, version
// and CRC-32, the name line, and the compressed stream.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/files.h"

namespace dearc32 {

enum class PackResult {
  kDone,
  kNoSource,       // the file to pack cannot be read
  kTooLarge,       // more than the header's 32-bit size can describe
  kBadName,        // the stored name is too long or holds a line break
  kNoDestination,  // the packed file cannot be written
};

struct PackRequest {
  std::string_view source;
  std::string_view destination;
  std::string_view storedName;  // empty: the source's file name
};

PackResult PackFile(platform::FileSystem& files, const PackRequest& request);

std::string_view DescribePackResult(PackResult result);

}  // namespace dearc32
