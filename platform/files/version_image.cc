#include "platform/files/version_image.h"

#include <cstring>

namespace platform {
namespace {

void PutLe16(std::string& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
void PutLe32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

// Headers at 0..0x1FF, the resource section at 0x200 (RVA 0x1000): type, name and language
// directories leading to one VS_VERSION_INFO block.
void PutHeaders(std::string& b) {
  b[0] = 'M';
  b[1] = 'Z';
  PutLe32(b, 0x3C, 0x40);
  std::memcpy(&b[0x40], "PE\0\0", 4);
  PutLe16(b, 0x44, 0x14C);             // i386
  PutLe16(b, 0x46, 1);                 // one section
  PutLe16(b, 0x54, 224);               // optional header size
  PutLe16(b, 0x58, 0x10B);             // PE32
  PutLe32(b, 0x58 + 92, 16);           // data directories
  PutLe32(b, 0x58 + 96 + 16, 0x1000);  // resource directory RVA and size
  PutLe32(b, 0x58 + 96 + 20, 0x100);
  const size_t section = 0x58 + 224;
  std::memcpy(&b[section], ".rsrc", 5);
  PutLe32(b, section + 8, 0x200);
  PutLe32(b, section + 12, 0x1000);
  PutLe32(b, section + 16, 0x200);
  PutLe32(b, section + 20, 0x200);
}

void PutResourceTree(std::string& b) {
  const size_t r = 0x200;
  PutLe16(b, r + 14, 1);
  PutLe32(b, r + 16, 16);                        // RT_VERSION
  PutLe32(b, r + 20, 0x80000000u | 0x18);
  PutLe16(b, r + 0x18 + 14, 1);
  PutLe32(b, r + 0x18 + 16, 1);                  // name 1
  PutLe32(b, r + 0x18 + 20, 0x80000000u | 0x30);
  PutLe16(b, r + 0x30 + 14, 1);
  PutLe32(b, r + 0x30 + 16, 0x409);              // language
  PutLe32(b, r + 0x30 + 20, 0x48);
  PutLe32(b, r + 0x48, 0x1000 + 0x58);           // data RVA and size
  PutLe32(b, r + 0x48 + 4, 92);
}

}  // namespace

std::string PeWithVersion(uint32_t versionMs, uint32_t versionLs, std::string_view payload) {
  std::string b(0x400, '\0');
  PutHeaders(b);
  PutResourceTree(b);
  const size_t v = 0x200 + 0x58;
  PutLe16(b, v, 92);
  PutLe16(b, v + 2, 52);
  const char16_t key[] = u"VS_VERSION_INFO";
  std::memcpy(&b[v + 6], key, sizeof key);
  const size_t fixed = v + 40;
  PutLe32(b, fixed, 0xFEEF04BD);
  PutLe32(b, fixed + 4, 0x00010000);
  PutLe32(b, fixed + 8, versionMs);
  PutLe32(b, fixed + 12, versionLs);
  PutLe32(b, fixed + 16, versionMs);
  PutLe32(b, fixed + 20, versionLs);
  PutLe32(b, fixed + 32, 0x00040004);  // VOS_NT_WINDOWS32
  PutLe32(b, fixed + 36, 2);           // VFT_DLL
  b.append(payload);
  return b;
}

}  // namespace platform
