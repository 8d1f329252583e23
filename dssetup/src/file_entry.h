// One file entry of the setup script: "\NAME.EXT \SUBDIR \DEST DISK", fields separated by any
// run of spaces, commas, tabs or line feeds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup_paths.h"

namespace dssetup {

// Entries are cut at this many characters, as the script buffer holds no more.
inline constexpr size_t kMaxEntryLength = 126;

struct FileEntry {
  std::string name;         // "\KVT32.INI"
  std::string subdirectory; // "\KVTWAIN"
  std::string destination;  // "\TWAIN_32", "\WINDOWS" or "\APPLICATION"
  int disk = 0;             // 1..9; 0 when the fourth field is not a digit 1..9
};

// Empty when the entry has fewer than four fields.
std::optional<FileEntry> ParseFileEntry(std::string_view entry);

// The fields of an entry in order, however many there are.
std::vector<std::string> SplitEntryFields(std::string_view entry);

// The packed file on the medium: source stem, subdirectory, name with its last character made
// an underscore ("A:\KVTWAIN\KVT32.IN_").
std::string PackedSourcePath(const SetupPaths& paths, const FileEntry& entry);

// The destination file, or empty for a destination keyword the setup does not know.
// `applicationFolder` stands for "\APPLICATION": the host's current directory.
std::optional<std::string> DestinationPath(const SetupPaths& paths, const FileEntry& entry,
                                           const std::string& applicationFolder);

// The script value with "_32" inserted right after the first "TWAIN" ("\TWAIN" -> "\TWAIN_32").
std::string InsertTwain32(std::string_view value);

}  // namespace dssetup
