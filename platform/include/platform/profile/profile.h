// Profile (INI) files with the semantics of the Windows profile-string functions:
// - a file name without a folder is in the Windows folder;
// - sections and keys match without regard to case, and on duplicates the first one wins;
// - blanks around values are trimmed and one pair of surrounding double quotes is removed;
// - a missing file, section or key gives the default;
// - a value longer than the buffer is cut to size-1 characters and size-1 is returned;
// - lists (section names, key names, whole sections) are zero-terminated strings followed by a
//   final zero; when they do not fit, what fits is returned and the result is size-2;
// - writes keep every unrelated line, comment and blank line byte for byte and are atomic.
// Lines starting with ';' are comments. A key line without '=' is a key with an empty value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class FileSystem;
class ProfileCache;
class ProfileDocument;

struct ProfileEntry {
  std::string section;
  std::string key;
  std::string value;
};

class ProfileFiles {
 public:
  // `windowsFolder` is where bare file names live ("C:\WINDOWS").
  ProfileFiles(FileSystem& fs, std::string windowsFolder);
  ~ProfileFiles();
  ProfileFiles(const ProfileFiles&) = delete;
  ProfileFiles& operator=(const ProfileFiles&) = delete;

  // GetPrivateProfileString. A null section lists the section names, a null key lists the keys
  // of the section. Returns the number of characters written, without the final zero(s).
  uint32_t GetString(const char* section, const char* key, const char* defaultValue,
                     char* buffer, uint32_t size, std::string_view file) const;
  // GetPrivateProfileInt: decimal, or hexadecimal/octal/binary after 0x/0o/0b, with a sign;
  // reading stops at the first character that is not a digit. A missing or empty value gives the
  // default; a value without digits gives 0.
  int GetInt(std::string_view section, std::string_view key, int defaultValue,
             std::string_view file) const;
  // GetPrivateProfileSection: the section's "key=value" lines.
  uint32_t GetSection(std::string_view section, char* buffer, uint32_t size,
                      std::string_view file) const;
  // GetPrivateProfileSectionNames.
  uint32_t GetSectionNames(char* buffer, uint32_t size, std::string_view file) const;

  // WritePrivateProfileString: a null key deletes the section, a null value deletes the key.
  // Creates the file when it is missing.
  bool WriteString(const char* section, const char* key, const char* value,
                   std::string_view file);
  // WriteString of each entry in turn (set, never delete), the file written once: the same
  // content, and a reader sees every entry or none.
  bool WriteStrings(const std::vector<ProfileEntry>& entries, std::string_view file);
  // WritePrivateProfileSection: replaces the section's keys with the zero-separated "key=value"
  // strings of `data` (ending with an empty string).
  bool WriteSection(std::string_view section, const char* data, std::string_view file);

  // Conveniences over the same semantics.
  std::string GetStringValue(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view file) const;
  // GetStringValue of each of `keys`, from one reading of the file.
  std::vector<std::string> GetStringValues(std::string_view section,
                                           const std::vector<std::string>& keys,
                                           std::string_view defaultValue,
                                           std::string_view file) const;
  std::vector<std::string> GetKeys(std::string_view section, std::string_view file) const;
  std::vector<std::string> GetSections(std::string_view file) const;

  // The Windows path a profile file name stands for.
  std::string FullPath(std::string_view file) const;

 private:
  // The parsed file for reading: an unreadable file reads as an empty one, as on Windows.
  std::shared_ptr<const ProfileDocument> ReadDocument(const std::string& path) const;
  FileSystem& fs_;
  std::string windowsFolder_;
  std::unique_ptr<ProfileCache> cache_;  // parsed files, checked against the file on every read
};

}  // namespace platform
