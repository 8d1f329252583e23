#include "packer.h"

#include <span>
#include <vector>

#include "codec/crc32.h"
#include "codec/lzhuf_encoder.h"
#include "codec/packed_header.h"
#include "platform/files/version_resource.h"
#include "platform/files/winpath.h"

namespace dearc32 {
namespace {

// The header fields that describe the file itself rather than its content.
PackedHeader DescribeFile(const platform::FileSystem& files, std::string_view path) {
  PackedHeader header;
  header.signature = kPackerSignature;
  const auto written = files.GetWriteTime(path);
  const auto stamp = written ? written : files.GetCreationTime(path);
  if (stamp) platform::DosFromFileTime(*stamp, &header.dosDate, &header.dosTime);
  const uint32_t attributes = files.GetAttributes(path);
  if (attributes != platform::kInvalidAttributes) {
    header.attributes = static_cast<uint16_t>(attributes & 0xFFFF);
  }
  if (const auto version = platform::ReadFileVersion(files, path)) {
    header.versionMs = version->fileVersionMs;
    header.versionLs = version->fileVersionLs;
  }
  return header;
}

std::string FileNameOf(std::string_view path) {
  const platform::SplitPath parts = platform::SplitWindowsPath(path);
  return parts.name + parts.extension;
}

}  // namespace

PackResult PackFile(platform::FileSystem& files, const PackRequest& request) {
  const std::optional<std::string> content = files.ReadFile(request.source);
  if (!content) return PackResult::kNoSource;
  if (content->size() > 0xFFFFFFFFu) return PackResult::kTooLarge;
  const std::string name =
      request.storedName.empty() ? FileNameOf(request.source) : std::string(request.storedName);
  const std::optional<std::string> nameLine = MakeNameLine(name);
  if (!nameLine) return PackResult::kBadName;

  const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(content->data()),
                                      content->size());
  PackedHeader header = DescribeFile(files, request.source);
  header.expandedSize = static_cast<uint32_t>(data.size());
  header.crc = ComputeCrc32(data.data(), data.size());
  const HeaderBytes headerBytes = SerializeHeader(header);
  const std::vector<uint8_t> stream = EncodeLzhuf(data);

  auto out = platform::File::Open(files, request.destination, platform::File::Mode::kWrite);
  if (!out) return PackResult::kNoDestination;
  const bool written = out->Write(headerBytes.data(), headerBytes.size()) &&
                       out->Write(nameLine->data(), nameLine->size()) &&
                       out->Write(stream.data(), stream.size()) && out->Flush();
  return written ? PackResult::kDone : PackResult::kNoDestination;
}

std::string_view DescribePackResult(PackResult result) {
  switch (result) {
    case PackResult::kDone: return "packed";
    case PackResult::kNoSource: return "cannot read the file to pack";
    case PackResult::kTooLarge: return "the file is larger than 4 GB less one byte";
    case PackResult::kBadName: return "the stored name is longer than 258 characters or holds a line break";
    case PackResult::kNoDestination: return "cannot write the packed file";
  }
  return "unknown result";
}

}  // namespace dearc32
