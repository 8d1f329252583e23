// The files of the data source's installation medium, made here: the setup's own are copies of
// the sources in this folder (SETUP.INI, the five language scripts); the data source's files are
// stand-ins of our own (programs and libraries with version resources, its configuration file,
// tone and gamma tables), stored packed; the ASPI installer is a stand-in program.
#pragma once

#include <string>
#include <vector>

namespace dssetup::medium {

struct StandIn {
  std::string folder;  // on the medium, "KVTWAIN", "KVTWAIN\\ENGLISH" or "TABLES"
  std::string name;    // the installed name, "KVTWAIN.DS"
  std::string content;
  bool packed = true;  // stored under the name with its last character an underscore
};

std::vector<StandIn> StandInFiles();

// The version the stand-in data source carries, for tests that install over it.
inline constexpr uint32_t kDataSourceVersionMs = 0x00020001;  // 2.1
inline constexpr uint32_t kDataSourceVersionLs = 0x00000007;  // .0.7

}  // namespace dssetup::medium
