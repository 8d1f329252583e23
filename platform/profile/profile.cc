#include "platform/profile/profile.h"

#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/system/errors.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "profile_cache.h"
#include "profile_document.h"

namespace platform {

namespace {
// Copies one string, cutting it to size-1 characters when it does not fit.
uint32_t CopyValue(std::string_view value, char* buffer, uint32_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  size_t n = value.size() < size ? value.size() : size - 1;
  if (n > 0) std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<uint32_t>(n);
}

// Copies a list of zero-terminated strings with a final zero; when it does not fit, fills what
// fits, ends with two zeros and returns size-2, which is how callers learn of the shortfall.
uint32_t CopyList(const std::vector<std::string>& items, char* buffer, uint32_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  std::string all;
  for (const std::string& item : items) {
    all += item;
    all += '\0';
  }
  if (all.size() + 1 <= size) {
    std::memcpy(buffer, all.data(), all.size());
    buffer[all.size()] = '\0';
    return static_cast<uint32_t>(all.empty() ? 0 : all.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, all.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::vector<std::string> SectionNames(const ProfileDocument& doc) {
  std::vector<std::string> names;
  for (const auto& line : doc.lines()) {
    if (line.kind == ProfileDocument::Kind::kSection) names.emplace_back(doc.Name(line));
  }
  return names;
}

std::vector<std::string> SectionItems(const ProfileDocument& doc, std::string_view section,
                                      bool withValues) {
  std::vector<std::string> items;
  auto at = doc.FindSection(section);
  if (!at) return items;
  size_t end = doc.SectionEnd(*at);
  for (size_t i = *at + 1; i < end; ++i) {
    const auto& line = doc.lines()[i];
    if (line.kind != ProfileDocument::Kind::kEntry) continue;
    std::string item(doc.Name(line));
    bool hasEquals =
        std::string_view(doc.text()).substr(line.begin, line.length).find('=') != std::string::npos;
    // A line without '=' is no key: Windows leaves it out of key lists (a whole-section read
    // still returns it).
    if (!withValues && !hasEquals) continue;
    if (withValues && hasEquals) {
      item += '=';
      item += doc.Value(line);
    }
    items.push_back(std::move(item));
  }
  return items;
}

// The host path of a profile file, found once for a write's read and its rewrite (the Windows path
// as it is when it does not resolve: both then fail as they would on it), with the file's identity
// when the lookup saw the file.
struct WriteTarget {
  WriteTarget(const FileSystem& fs, std::string path) {
    auto found = fs.HostPath(path, &seen);
    host = found ? std::move(*found) : std::move(path);
  }
  std::string host;
  std::optional<FileIdentity> seen;
};

// The new text goes to the file and its document, built from the old one, to the cache: a write is
// mostly followed by a read of the same file (the next write's own, or the caller's), which then
// neither reads nor parses it.
bool WriteAndKeep(FileSystem& fs, ProfileCache& cache, const std::string& hostPath,
                  std::shared_ptr<const ProfileDocument> document) {
  FileIdentity written;
  if (!fs.WriteFileAtomic(hostPath, document->text(), &written)) return false;
  cache.Keep(hostPath, written, std::move(document));
  return true;
}

// What WritePrivateProfileString changes in `doc`: nothing when the key or section to delete is not
// there. `keyIsNew`: the caller knows the section does not hold the key.
std::optional<ProfileDocument::Edit> EditFor(const ProfileDocument& doc, const char* section,
                                             const char* key, const char* value,
                                             bool keyIsNew = false) {
  auto at = doc.FindSection(section);
  std::string nl(doc.NewLine());
  if (key == nullptr) {
    if (!at) return std::nullopt;
    return doc.ReplaceLines(*at, doc.SectionEnd(*at), "");
  }
  if (value == nullptr) {
    auto entry = at ? doc.FindEntry(*at, key) : std::nullopt;
    if (!entry) return std::nullopt;
    return doc.ReplaceLines(*entry, *entry + 1, "");
  }
  if (!at) {
    return doc.ReplaceLines(doc.lines().size(), doc.lines().size(),
                            "[" + std::string(section) + "]" + nl + key + "=" + value + nl);
  }
  if (auto entry = keyIsNew ? std::nullopt : doc.FindEntry(*at, key)) {
    const auto& line = doc.lines()[*entry];
    std::string_view ending =
        std::string_view(doc.text()).substr(line.begin + line.length, line.ending);
    return doc.ReplaceLines(
        *entry, *entry + 1,
        std::string(doc.Name(line)) + "=" + value + std::string(ending.empty() ? nl : ending));
  }
  size_t where = doc.InsertionPoint(*at);
  return doc.ReplaceLines(where, where, std::string(key) + "=" + value + nl);
}

// The keys of the sections a batch of writes goes to, upper-cased, so that a key a section does not
// hold is added without looking through the section for it: a batch may add thousands of keys to
// one section. Keys are only ever added, so a set once made stays right.
class SectionKeys {
 public:
  // Whether `section` of `doc` (the document as the batch has made it so far) holds `key`; the key
  // is counted as held from now on, as the write about to be made adds it.
  bool Holds(const ProfileDocument& doc, std::string_view section, std::string_view key) {
    auto [it, fresh] = sections_.try_emplace(ToUpperAscii(section));
    if (fresh) {
      if (auto at = doc.FindSection(section)) {
        for (size_t i = *at + 1, end = doc.SectionEnd(*at); i < end; ++i) {
          const auto& line = doc.lines()[i];
          if (line.kind == ProfileDocument::Kind::kEntry) it->second.insert(ToUpperAscii(doc.Name(line)));
        }
      }
    }
    return !it->second.insert(ToUpperAscii(key)).second;
  }
  void Forget() { sections_.clear(); }

  // Whether the sets can follow an entry: its line reads back as its own key, and no line ending
  // in it makes lines of their own (a value may carry another key, a key may read as a header).
  static bool Followed(std::string_view section, std::string_view key, std::string_view value) {
    auto oneLine = [](std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; };
    return oneLine(section) && oneLine(key) && oneLine(value) && !key.empty() &&
           TrimBlanks(key) == key && key.find('=') == std::string_view::npos &&
           key.front() != ';' && key.front() != '[';
  }

 private:
  std::unordered_map<std::string, std::unordered_set<std::string>> sections_;
};

int ParseProfileInt(std::string_view s) {
  s = TrimBlanks(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  unsigned base = 10;
  if (s.size() >= 2 && s[0] == '0') {
    char p = static_cast<char>(s[1] | 0x20);
    if (p == 'x') base = 16;
    if (p == 'o') base = 8;
    if (p == 'b') base = 2;
    if (base != 10) s.remove_prefix(2);
  }
  uint32_t value = 0;  // wraps modulo 2^32 as the 32-bit conversion does
  for (char c : s) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return static_cast<int>(negative ? 0u - value : value);
}
}  // namespace

ProfileFiles::ProfileFiles(FileSystem& fs, std::string windowsFolder)
    : fs_(fs), windowsFolder_(std::move(windowsFolder)), cache_(std::make_unique<ProfileCache>(fs)) {}

ProfileFiles::~ProfileFiles() = default;

std::string ProfileFiles::FullPath(std::string_view file) const {
  if (file.find_first_of("\\/:") != std::string_view::npos) return std::string(file);
  return JoinWindowsPath(windowsFolder_, file);
}

std::shared_ptr<const ProfileDocument> ProfileFiles::ReadDocument(const std::string& path) const {
  if (auto loaded = cache_->Load(path)) return loaded;
  return std::make_shared<const ProfileDocument>(std::string());
}

uint32_t ProfileFiles::GetString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, uint32_t size, std::string_view file) const {
  auto loaded = ReadDocument(FullPath(file));
  const ProfileDocument& doc = *loaded;
  if (section == nullptr) return CopyList(SectionNames(doc), buffer, size);
  if (key == nullptr) return CopyList(SectionItems(doc, section, false), buffer, size);
  if (auto at = doc.FindSection(section)) {
    if (auto entry = doc.FindEntry(*at, key)) {
      return CopyValue(doc.Value(doc.lines()[*entry]), buffer, size);
    }
  }
  // The default loses its trailing blanks, as it does on Windows.
  std::string_view def = defaultValue ? defaultValue : "";
  while (!def.empty() && (def.back() == ' ' || def.back() == '\t')) def.remove_suffix(1);
  return CopyValue(def, buffer, size);
}

std::string ProfileFiles::GetStringValue(std::string_view section, std::string_view key,
                                         std::string_view defaultValue,
                                         std::string_view file) const {
  auto loaded = ReadDocument(FullPath(file));
  const ProfileDocument& doc = *loaded;
  if (auto at = doc.FindSection(section)) {
    if (auto entry = doc.FindEntry(*at, key)) return std::string(doc.Value(doc.lines()[*entry]));
  }
  return std::string(defaultValue);
}

int ProfileFiles::GetInt(std::string_view section, std::string_view key, int defaultValue,
                         std::string_view file) const {
  auto loaded = ReadDocument(FullPath(file));
  const ProfileDocument& doc = *loaded;
  auto at = doc.FindSection(section);
  if (!at) return defaultValue;
  auto entry = doc.FindEntry(*at, key);
  if (!entry || doc.Value(doc.lines()[*entry]).empty()) return defaultValue;
  return ParseProfileInt(doc.Value(doc.lines()[*entry]));
}

std::vector<std::string> ProfileFiles::GetStringValues(std::string_view section,
                                                       const std::vector<std::string>& keys,
                                                       std::string_view defaultValue,
                                                       std::string_view file) const {
  auto loaded = ReadDocument(FullPath(file));
  const ProfileDocument& doc = *loaded;
  const auto at = doc.FindSection(section);
  std::vector<std::string> values;
  values.reserve(keys.size());
  for (const std::string& key : keys) {
    const auto entry = at ? doc.FindEntry(*at, key) : std::nullopt;
    values.emplace_back(entry ? doc.Value(doc.lines()[*entry]) : defaultValue);
  }
  return values;
}

uint32_t ProfileFiles::GetSection(std::string_view section, char* buffer, uint32_t size,
                                  std::string_view file) const {
  return CopyList(SectionItems(*ReadDocument(FullPath(file)), section, true), buffer, size);
}

uint32_t ProfileFiles::GetSectionNames(char* buffer, uint32_t size, std::string_view file) const {
  return CopyList(SectionNames(*ReadDocument(FullPath(file))), buffer, size);
}

std::vector<std::string> ProfileFiles::GetKeys(std::string_view section,
                                               std::string_view file) const {
  return SectionItems(*ReadDocument(FullPath(file)), section, false);
}

std::vector<std::string> ProfileFiles::GetSections(std::string_view file) const {
  return SectionNames(*ReadDocument(FullPath(file)));
}

bool ProfileFiles::WriteString(const char* section, const char* key, const char* value,
                               std::string_view file) {
  if (section == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const WriteTarget target(fs_, FullPath(file));
  auto loaded = cache_->Load(target.host, target.seen);
  if (!loaded) return false;  // the file is there but unreadable: never write over it
  auto edit = EditFor(*loaded, section, key, value);
  if (!edit) return true;
  return WriteAndKeep(fs_, *cache_, target.host,
                      std::make_shared<const ProfileDocument>(*loaded, *edit));
}

bool ProfileFiles::WriteStrings(const std::vector<ProfileEntry>& entries, std::string_view file) {
  const WriteTarget target(fs_, FullPath(file));
  auto loaded = cache_->Load(target.host, target.seen);
  if (!loaded) return false;  // the file is there but unreadable: never write over it
  std::shared_ptr<ProfileDocument> edited;  // a copy of the file's document, once an entry changes it
  SectionKeys known;
  for (const ProfileEntry& e : entries) {
    const ProfileDocument& now = edited ? *edited : *loaded;
    // As WriteString takes them: up to a zero byte.
    const char* section = e.section.c_str();
    const char* key = e.key.c_str();
    const bool followed = SectionKeys::Followed(section, key, e.value.c_str());
    if (!followed) known.Forget();
    auto edit = EditFor(now, section, key, e.value.c_str(), followed && !known.Holds(now, section, key));
    if (!edit) continue;
    if (!edited) edited = std::make_shared<ProfileDocument>(*loaded);
    edited->Apply(*edit);
  }
  return !edited || WriteAndKeep(fs_, *cache_, target.host, std::move(edited));
}

bool ProfileFiles::WriteSection(std::string_view section, const char* data, std::string_view file) {
  const WriteTarget target(fs_, FullPath(file));
  const std::string& path = target.host;
  auto loaded = cache_->Load(path, target.seen);
  if (!loaded) return false;  // the file is there but unreadable: never write over it
  const ProfileDocument& doc = *loaded;
  std::string nl(doc.NewLine());
  std::string body;
  for (const char* p = data; p && *p; p += std::strlen(p) + 1) body += std::string(p) + nl;
  auto at = doc.FindSection(section);
  ProfileDocument::Edit edit;
  if (!at) {
    edit = doc.ReplaceLines(doc.lines().size(), doc.lines().size(),
                            "[" + std::string(section) + "]" + nl + body);
  } else {
    size_t end = doc.InsertionPoint(*at);
    edit = doc.ReplaceLines(*at + 1, end, body);
  }
  return WriteAndKeep(fs_, *cache_, path,
                      std::make_shared<const ProfileDocument>(doc, edit));
}

}  // namespace platform
