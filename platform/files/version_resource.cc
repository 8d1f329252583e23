// Reads VS_FIXEDFILEINFO from a PE image: DOS header -> PE header -> resource directory ->
// RT_VERSION -> first name -> first language -> data, then the fixed block by its signature.
#include "platform/files/version_resource.h"

#include <cstring>
#include <vector>

#include "platform/files/files.h"

namespace platform {

namespace {
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  bool U16(size_t at, uint16_t* out) const { return Copy(at, out, 2); }
  bool U32(size_t at, uint32_t* out) const { return Copy(at, out, 4); }
  bool Has(size_t at, size_t n) const { return at <= data_.size() && n <= data_.size() - at; }
  std::string_view Slice(size_t at, size_t n) const { return data_.substr(at, n); }

 private:
  bool Copy(size_t at, void* out, size_t n) const {
    if (!Has(at, n)) return false;
    std::memcpy(out, data_.data() + at, n);  // little-endian host, as PE files are
    return true;
  }
  std::string_view data_;
};

struct Section {
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

struct Image {
  std::vector<Section> sections;
  uint32_t resourceRva = 0;

  std::optional<size_t> Offset(uint32_t rva) const {
    for (const Section& s : sections) {
      uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
      if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
        uint32_t delta = rva - s.virtualAddress;
        if (delta >= s.rawSize) return std::nullopt;  // not backed by file data
        return static_cast<size_t>(s.rawOffset) + delta;
      }
    }
    return std::nullopt;
  }
};

std::optional<Image> ParseHeaders(const Reader& r) {
  uint16_t mz = 0, sectionCount = 0, optionalSize = 0, magic = 0;
  uint32_t peOffset = 0, pe = 0;
  if (!r.U16(0, &mz) || mz != 0x5A4D || !r.U32(0x3C, &peOffset)) return std::nullopt;
  if (!r.U32(peOffset, &pe) || pe != 0x00004550) return std::nullopt;
  size_t coff = static_cast<size_t>(peOffset) + 4;
  if (!r.U16(coff + 2, &sectionCount) || !r.U16(coff + 16, &optionalSize)) return std::nullopt;
  size_t opt = coff + 20;
  if (!r.U16(opt, &magic)) return std::nullopt;
  size_t dirs = opt + (magic == 0x20B ? 112 : 96);  // PE32+ or PE32
  Image image;
  uint32_t dirCount = 0;
  if (!r.U32(dirs - 4, &dirCount) || dirCount < 3 || dirs + 24 > opt + optionalSize) {
    return std::nullopt;
  }
  if (!r.U32(dirs + 2 * 8, &image.resourceRva) || image.resourceRva == 0) return std::nullopt;
  size_t table = opt + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    size_t s = table + i * 40u;
    Section sec{};
    if (!r.U32(s + 8, &sec.virtualSize) || !r.U32(s + 12, &sec.virtualAddress) ||
        !r.U32(s + 16, &sec.rawSize) || !r.U32(s + 20, &sec.rawOffset)) {
      return std::nullopt;
    }
    image.sections.push_back(sec);
  }
  return image;
}

// The first entry of a resource directory, or the one with the given numeric id.
std::optional<uint32_t> DirectoryEntry(const Reader& r, size_t dir, std::optional<uint32_t> id) {
  uint16_t named = 0, ids = 0;
  if (!r.U16(dir + 12, &named) || !r.U16(dir + 14, &ids)) return std::nullopt;
  for (uint32_t i = 0; i < static_cast<uint32_t>(named) + ids; ++i) {
    uint32_t name = 0, target = 0;
    if (!r.U32(dir + 16 + i * 8, &name) || !r.U32(dir + 20 + i * 8, &target)) return std::nullopt;
    if (!id || (!(name & 0x80000000u) && name == *id)) return target;
  }
  return std::nullopt;
}

std::optional<FixedFileInfo> FindFixedInfo(std::string_view block) {
  // The fixed block follows the "VS_VERSION_INFO" header on a 4-byte boundary.
  for (size_t at = 0; at + 52 <= block.size(); at += 4) {
    uint32_t signature = 0;
    std::memcpy(&signature, block.data() + at, 4);
    if (signature != kFixedSignature) continue;
    uint32_t v[13];
    std::memcpy(v, block.data() + at, sizeof v);
    return FixedFileInfo{v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12]};
  }
  return std::nullopt;
}
}  // namespace

std::optional<FixedFileInfo> ReadFixedFileInfo(std::string_view data) {
  Reader r(data);
  auto image = ParseHeaders(r);
  if (!image) return std::nullopt;
  auto root = image->Offset(image->resourceRva);
  if (!root) return std::nullopt;
  // Three levels: type, name, language. Subdirectory offsets have the top bit set and are
  // relative to the resource root; the last level points at a data entry.
  std::optional<uint32_t> level = DirectoryEntry(r, *root, kRtVersion);
  for (int depth = 0; depth < 2 && level; ++depth) {
    if (!(*level & 0x80000000u)) return std::nullopt;
    level = DirectoryEntry(r, *root + (*level & 0x7FFFFFFFu), std::nullopt);
  }
  if (!level || (*level & 0x80000000u)) return std::nullopt;
  uint32_t dataRva = 0, dataSize = 0;
  if (!r.U32(*root + *level, &dataRva) || !r.U32(*root + *level + 4, &dataSize)) return std::nullopt;
  auto offset = image->Offset(dataRva);
  if (!offset || !r.Has(*offset, dataSize)) return std::nullopt;
  return FindFixedInfo(r.Slice(*offset, dataSize));
}

std::optional<FixedFileInfo> ReadFileVersion(const FileSystem& fs, std::string_view path) {
  auto data = fs.ReadFile(path);
  if (!data) return std::nullopt;
  return ReadFixedFileInfo(*data);
}

}  // namespace platform
