// The version resource of a Windows executable or DLL: the fixed file information of its
// RT_VERSION resource, read from the PE file itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

class FileSystem;

struct FixedFileInfo {
  uint32_t fileVersionMs = 0;     // major << 16 | minor
  uint32_t fileVersionLs = 0;     // build << 16 | revision
  uint32_t productVersionMs = 0;
  uint32_t productVersionLs = 0;
  uint32_t fileFlagsMask = 0;
  uint32_t fileFlags = 0;
  uint32_t fileOs = 0;
  uint32_t fileType = 0;
  uint32_t fileSubtype = 0;
  uint32_t fileDateMs = 0;
  uint32_t fileDateLs = 0;
};

// Parses an image held in memory. Empty when it is not a PE image or has no version resource;
// never reads outside `image`.
std::optional<FixedFileInfo> ReadFixedFileInfo(std::string_view image);
// The same for a file named by a Windows or host path (GetFileVersionInfo + VerQueryValue "\").
std::optional<FixedFileInfo> ReadFileVersion(const FileSystem& fs, std::string_view path);

}  // namespace platform
