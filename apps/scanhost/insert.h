// `scanhost insert MEDIUM`: puts an installation medium's files on drive A:, as a person inserts
// the disk. A medium built into the program (its files replace those of the same names; other
// files on A: stay), else one the build made in its media folder (which replaces what A: holds).
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Host;
}

struct MediumFile {
  const char* medium;  // "hbasetup", "portcard"
  const char* name;    // "SETUP32.INI"
  std::string_view content;
};

// Built in from the media folders of the deliverables (generated).
const std::vector<MediumFile>& BuiltInMediumFiles();

// 0 when the medium is on A:, 1 when it could not be written, 2 for an unknown medium.
int InsertMedium(platform::Host& host, std::string_view medium, std::ostream& out,
                 std::ostream& err);
