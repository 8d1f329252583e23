#include "member_listing.h"

#include <cstdio>

#include "src/file_streams.h"

namespace dearc32 {

std::optional<MemberInfo> ReadPackedMember(platform::FileSystem& files, std::string_view path,
                                           ListError* error) {
  auto file = platform::File::Open(files, path, platform::File::Mode::kRead);
  if (!file) {
    *error = ListError::kNoSource;
    return std::nullopt;
  }
  FileSource source(*file);
  InputBuffer input(source);
  auto member = ReadMemberInfo(source, input);
  *error = member ? ListError::kNone : ListError::kBadHeader;
  return member;
}

std::string AttributeLetters(uint16_t attributes) {
  std::string letters = "----";
  if (attributes & platform::kAttrReadOnly) letters[0] = 'R';
  if (attributes & platform::kAttrHidden) letters[1] = 'H';
  if (attributes & platform::kAttrSystem) letters[2] = 'S';
  if (attributes & platform::kAttrArchive) letters[3] = 'A';
  return letters;
}

std::string FormatDosDateTime(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9),
                (date >> 5) & 0xFu, date & 0x1Fu, time >> 11, (time >> 5) & 0x3Fu,
                (time & 0x1Fu) * 2);
  return text;
}

std::string FormatListing(const MemberInfo& member) {
  const PackedHeader& h = member.header;
  // The name comes from the file; control bytes are not passed on to the terminal.
  std::string name = member.name;
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  char version[48] = "-";
  if (h.versionMs != 0 || h.versionLs != 0) {
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", h.versionMs >> 16,
                  h.versionMs & 0xFFFFu, h.versionLs >> 16, h.versionLs & 0xFFFFu);
  }
  char line[512];
  std::snprintf(line, sizeof line, "%-16s %10u  %s  %s  %s", name.c_str(), h.expandedSize,
                FormatDosDateTime(h.dosDate, h.dosTime).c_str(),
                AttributeLetters(h.attributes).c_str(), version);
  return line;
}

}  // namespace dearc32
