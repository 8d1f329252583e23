#include "file_version.h"

#include <cstdio>
#include <cstring>

#include "codec/packed_header.h"
#include "platform/files/files.h"
#include "platform/files/version_resource.h"

namespace dssetup {
namespace {

// The setup reads this much of a packed file: the header and the first byte of the name line.
constexpr size_t kCompared = 30;

}  // namespace

std::optional<FileVersion> PackedFileVersion(platform::FileSystem& files, std::string_view path) {
  auto file = platform::File::Open(files, path, platform::File::Mode::kRead);
  uint8_t head[kCompared];
  if (!file || !file->ReadExact(head, sizeof head)) return std::nullopt;
  dearc32::HeaderBytes bytes;
  std::memcpy(bytes.data(), head, bytes.size());
  const dearc32::PackedHeader header = dearc32::ParseHeader(bytes);
  return FileVersion{header.versionMs, header.versionLs};
}

std::optional<FileVersion> InstalledFileVersion(platform::FileSystem& files,
                                                std::string_view path) {
  auto info = platform::ReadFileVersion(files, path);
  if (!info) return std::nullopt;
  return FileVersion{info->fileVersionMs, info->fileVersionLs};
}

bool PackedIsNotOlder(const FileVersion& packed, const FileVersion& installed) {
  if (packed.ms != installed.ms) return packed.ms > installed.ms;
  return packed.ls >= installed.ls;
}

std::string VersionText(const FileVersion& v) {
  char text[64];
  std::snprintf(text, sizeof text, "Version: %u.%u.%u.%u", v.ms >> 16, v.ms & 0xFFFF, v.ls >> 16,
                v.ls & 0xFFFF);
  return text;
}

}  // namespace dssetup
