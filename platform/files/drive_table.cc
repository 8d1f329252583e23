#include "platform/files/files.h"
#include "platform/files/winpath.h"

namespace platform {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

void DriveTable::Map(char letter, std::filesystem::path folder) {
  drives_[Upper(letter)] = std::move(folder);
}

void DriveTable::Unmap(char letter) { drives_.erase(Upper(letter)); }

const std::filesystem::path* DriveTable::Folder(char letter) const {
  auto it = drives_.find(Upper(letter));
  return it == drives_.end() ? nullptr : &it->second;
}

std::vector<char> DriveTable::Letters() const {
  std::vector<char> letters;
  for (const auto& [letter, folder] : drives_) letters.push_back(letter);
  return letters;
}

}  // namespace platform
