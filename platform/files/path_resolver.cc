// Windows path strings onto host paths.
#include <dirent.h>
#include <sys/stat.h>

#include <system_error>
#include <vector>

#include "platform/system/errors.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"

namespace platform {

namespace {
constexpr size_t kMaxPath = 260;  // MAX_PATH, counting the final zero

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool ValidComponent(std::string_view c) {
  for (char ch : c) {
    unsigned char u = static_cast<unsigned char>(ch);
    if (u < 0x20 || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' || ch == '?' ||
        ch == '*') {
      return false;
    }
  }
  return true;
}

std::vector<std::string_view> Components(std::string_view rest) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSeparator(rest[i])) ++i;
    size_t start = i;
    while (i < rest.size() && !IsSeparator(rest[i])) ++i;
    if (i > start) parts.push_back(rest.substr(start, i - start));
  }
  return parts;
}

// `name` added to a host path kept as a string: the path is made once at the end, as every
// append to a path object parses the whole of it again.
void Append(std::string& path, std::string_view name) {
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `dir` spelled like `name` without regard to case; an exact match wins.
std::optional<std::string> FindEntry(const std::string& dir, std::string_view name) {
  std::string exact = dir;
  Append(exact, name);
  if (Exists(exact)) return std::string(name);
  // Read plainly rather than through a directory iterator, which makes a path of every entry:
  // a name that is not there (a marker file, a file about to be made) is looked for through the
  // whole folder, and such lookups come often.
  DIR* folder = ::opendir(dir.c_str());
  if (folder == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* e = ::readdir(folder)) {
    const std::string_view entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (EqualsNoCase(entry, name) && (!found || entry < *found)) found = std::string(entry);
  }
  ::closedir(folder);
  return found;
}
}  // namespace

std::optional<std::filesystem::path> FileSystem::Resolve(std::string_view path) const {
  if (!path.empty() && path.front() == '/') {
    // Without an empty, "." or ".." component a host path is normal as it stands (the file
    // services pass their own host paths back here on every call).
    const bool normal = path.find("//") == std::string_view::npos && path.find("/.") == std::string_view::npos;
    if (normal) return std::filesystem::path(std::string(path));
    return std::filesystem::path(std::string(path)).lexically_normal();
  }
  if (path.empty() || path.find('\0') != std::string_view::npos) {
    SetLastError(path.empty() ? kErrorPathNotFound : kErrorInvalidName);
    return std::nullopt;
  }
  if (path.size() >= kMaxPath) {
    SetLastError(kErrorFilenameExcedRange);
    return std::nullopt;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    SetLastError(kErrorBadPathname);  // UNC and device names are not files
    return std::nullopt;
  }
  std::string full;
  if (path.size() >= 2 && path[1] == ':') {
    full = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
  } else if (IsSeparator(path[0])) {
    full = currentDirectory_.substr(0, 2) + std::string(path);
  } else {
    full = JoinWindowsPath(currentDirectory_, path);
  }
  auto folder = drives_.Folder(full[0]);
  if (!folder) {
    SetLastError(kErrorInvalidDrive);
    return std::nullopt;
  }
  std::vector<std::string> stack;
  for (std::string_view c : Components(std::string_view(full).substr(2))) {
    if (c == ".") continue;
    if (c == "..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    if (!ValidComponent(c)) {
      SetLastError(kErrorInvalidName);
      return std::nullopt;
    }
    stack.emplace_back(c);
  }
  // Spelled as on the disk already (the common case): every component would find itself, as an
  // exact match wins, so one look at the whole path does for one a component.
  std::string exact = folder->string();
  for (const std::string& c : stack) Append(exact, c);
  if (!stack.empty() && Exists(exact)) return std::filesystem::path(std::move(exact));
  std::string host = folder->string();
  bool onDisk = true;  // once a component is missing, the rest keep the caller's spelling
  for (const std::string& c : stack) {
    std::optional<std::string> entry = onDisk ? FindEntry(host, c) : std::nullopt;
    onDisk = entry.has_value();
    Append(host, entry ? *entry : c);
  }
  return std::filesystem::path(std::move(host));
}

std::string FileSystem::ToWindowsPath(const std::filesystem::path& hostPath) const {
  std::filesystem::path normal = hostPath.lexically_normal();
  char bestLetter = 0;
  size_t bestLength = 0;
  for (char letter : drives_.Letters()) {
    std::filesystem::path folder = drives_.Folder(letter)->lexically_normal();
    auto rel = normal.lexically_relative(folder);
    if (rel.empty() || *rel.begin() == "..") continue;
    size_t length = folder.string().size();
    if (!bestLetter || length > bestLength) {
      bestLetter = letter;
      bestLength = length;
    }
  }
  if (!bestLetter) return normal.string();
  auto rel = normal.lexically_relative(drives_.Folder(bestLetter)->lexically_normal());
  std::string out = std::string(1, bestLetter) + ":\\";
  if (rel != ".") {
    std::string r = rel.string();
    for (char& c : r) {
      if (c == '/') c = '\\';
    }
    out += r;
  }
  return out;
}

}  // namespace platform
