// The copy list: one item per accepted line of the platform's copy sections, in section order.
//
// A copy line is KEY=SOURCE,DESTINATION. SOURCE, between the first '=' and the first ',', starting
// with ".\" is taken from the setup directory; DESTINATION, after the first ',', starting with
// ".\" goes below the Windows directory. Anything else is used as written.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "install_type.h"

namespace hbasetup {

class SetupScript;

enum class CopyLineResult { kAccepted = 0, kNoEquals = 1, kNoComma = 2, kCommaFirst = 3 };

struct CopyItem {
  std::string source;
  std::string destination;
  bool operator==(const CopyItem&) const = default;
};

struct CopyPaths {
  std::string setupDirectory;    // "A:\" (a root keeps its backslash) or "C:\DISK1"
  std::string windowsDirectory;  // "C:\WINDOWS"
};

// Parses one line; `item` is filled only when it is accepted.
CopyLineResult ParseCopyLine(std::string_view line, const CopyPaths& paths, CopyItem* item);

// The setup directory joined with a name: a backslash between them unless the directory is a
// root that already ends with one.
std::string InSetupDirectory(std::string_view setupDirectory, std::string_view name);

// The builder's message for a rejected line: code 101, 102 or 103 (the result plus 100).
struct CopyListMessage {
  int code;
  std::string caption;
  std::string text;
};
CopyListMessage MessageFor(int code);

// Copy sections of each platform, in the order their items are listed.
std::vector<std::string_view> CopySections(InstallType type);

// Builds the list; every rejected line is handed to `report` and dropped.
std::vector<CopyItem> BuildCopyList(const SetupScript& script, InstallType type,
                                    const CopyPaths& paths,
                                    const std::function<void(const CopyListMessage&)>& report);

}  // namespace hbasetup
