#include "file_entry.h"

#include <strings.h>

#include <vector>

namespace dssetup {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n'; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\' && name.starts_with("\\")) {
    return folder + name.substr(1);
  }
  return folder + name;
}

}  // namespace

std::vector<std::string> SplitEntryFields(std::string_view entry) {
  entry = entry.substr(0, std::min(entry.size(), kMaxEntryLength));
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < entry.size()) {
    while (i < entry.size() && IsSeparator(entry[i])) ++i;
    size_t end = i;
    while (end < entry.size() && !IsSeparator(entry[end])) ++end;
    if (end > i) fields.emplace_back(entry.substr(i, end - i));
    i = end;
  }
  return fields;
}

std::optional<FileEntry> ParseFileEntry(std::string_view entry) {
  std::vector<std::string> fields = SplitEntryFields(entry);
  if (fields.size() < 4) return std::nullopt;
  FileEntry result{fields[0], fields[1], fields[2], 0};
  const char digit = fields[3][0];
  if (digit >= '1' && digit <= '9') result.disk = digit - '0';
  return result;
}

std::string PackedSourcePath(const SetupPaths& paths, const FileEntry& entry) {
  std::string name = entry.name;
  if (!name.empty()) name.back() = '_';
  return paths.SourceStem() + entry.subdirectory + name;
}

std::optional<std::string> DestinationPath(const SetupPaths& paths, const FileEntry& entry,
                                           const std::string& applicationFolder) {
  if (SameText(entry.destination, "\\TWAIN_32")) return paths.Twain() + entry.name;
  if (SameText(entry.destination, "\\WINDOWS")) return paths.windows + entry.name;
  if (SameText(entry.destination, "\\APPLICATION")) {
    return JoinFolder(applicationFolder, entry.name);
  }
  return std::nullopt;
}

std::string InsertTwain32(std::string_view value) {
  std::string result(value);
  const size_t at = result.find("TWAIN");
  if (at != std::string::npos) result.insert(at + 5, "_32");
  return result;
}

}  // namespace dssetup
