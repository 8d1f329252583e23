// The smallest PE32 image with one .rsrc section holding a version resource (file version
// 4.1.2.3), or an icon in its place; for tests of anything that reads version resources.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace platform::testing {

namespace minimal_pe_detail {
inline void Put16(std::string& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
inline void Put32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

}  // namespace minimal_pe_detail

inline std::string MinimalPe(bool withVersion) {
  using minimal_pe_detail::Put16;
  using minimal_pe_detail::Put32;
  std::string b(0x400, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  std::memcpy(&b[0x40], "PE\0\0", 4);
  Put16(b, 0x44, 0x14C);      // i386
  Put16(b, 0x46, 1);          // one section
  Put16(b, 0x54, 224);        // optional header size
  Put16(b, 0x58, 0x10B);      // PE32
  Put32(b, 0x58 + 92, 16);    // data directories
  Put32(b, 0x58 + 96 + 16, 0x1000);  // resource directory RVA
  Put32(b, 0x58 + 96 + 20, 0x100);
  size_t sec = 0x58 + 224;
  std::memcpy(&b[sec], ".rsrc", 5);
  Put32(b, sec + 8, 0x200);   // virtual size
  Put32(b, sec + 12, 0x1000); // virtual address
  Put32(b, sec + 16, 0x200);  // raw size
  Put32(b, sec + 20, 0x200);  // raw offset
  const size_t r = 0x200;
  Put16(b, r + 14, 1);
  Put32(b, r + 16, withVersion ? 16 : 3);  // RT_VERSION, or RT_ICON
  Put32(b, r + 20, 0x80000000u | 0x18);
  Put16(b, r + 0x18 + 14, 1);
  Put32(b, r + 0x18 + 16, 1);
  Put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
  Put16(b, r + 0x30 + 14, 1);
  Put32(b, r + 0x30 + 16, 0x409);
  Put32(b, r + 0x30 + 20, 0x48);
  Put32(b, r + 0x48, 0x1000 + 0x58);  // data RVA
  Put32(b, r + 0x48 + 4, 92);
  size_t v = r + 0x58;
  Put16(b, v, 92);
  Put16(b, v + 2, 52);
  const char16_t key[] = u"VS_VERSION_INFO";
  std::memcpy(&b[v + 6], key, sizeof key);
  size_t fixed = v + 40;
  Put32(b, fixed, 0xFEEF04BD);
  Put32(b, fixed + 4, 0x00010000);
  Put32(b, fixed + 8, 0x00040001);   // file version 4.1
  Put32(b, fixed + 12, 0x00020003);  // .2.3
  Put32(b, fixed + 16, 0x00040001);
  Put32(b, fixed + 20, 0x00000000);
  Put32(b, fixed + 32, 0x00040004);  // VOS_NT_WINDOWS32
  Put32(b, fixed + 36, 2);           // VFT_DLL
  return b;
}

}  // namespace platform::testing
