// What `dearc --list` shows of a packed file: its header and name, without expanding it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "codec/packed_member.h"
#include "platform/files/files.h"

namespace dearc32 {

enum class ListError { kNone, kNoSource, kBadHeader };

// The header and name line of a packed file; `error` says why there are none.
std::optional<MemberInfo> ReadPackedMember(platform::FileSystem& files, std::string_view path,
                                           ListError* error);

// One line: stored name, expanded size, date and time, attributes, version.
//   "KVT32.DLL  123456  1998-07-14 10:22:30  -A--  4.0.0.950"
std::string FormatListing(const MemberInfo& member);
// Attribute letters R, H, S and A, a dash for each one not set.
std::string AttributeLetters(uint16_t attributes);
// The DOS date and time as "YYYY-MM-DD HH:MM:SS".
std::string FormatDosDateTime(uint16_t date, uint16_t time);

}  // namespace dearc32
