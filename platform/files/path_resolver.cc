// Windows path strings onto host paths.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <system_error>

#include "platform/system/errors.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"

namespace platform {

namespace {
constexpr size_t kMaxPath = 260;  // MAX_PATH, counting the final zero

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The characters no name may hold: controls and <>:"|?*. One lookup a character, as names are
// checked on every path the suite resolves.
constexpr std::array<bool, 256> kNotInNames = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  for (unsigned char c : std::string_view("<>:\"|?*")) table[c] = true;
  return table;
}();

bool ValidComponent(std::string_view c) {
  for (char ch : c) {
    if (kNotInNames[static_cast<unsigned char>(ch)]) return false;
  }
  return true;
}

// Calls `each` with every non-empty component of `rest`, stopping at the first false.
template <class F>
bool EachComponent(std::string_view rest, F each) {
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSeparator(rest[i])) ++i;
    size_t start = i;
    while (i < rest.size() && !IsSeparator(rest[i])) ++i;
    if (i > start && !each(rest.substr(start, i - start))) return false;
  }
  return true;
}

// `name` added to a host path kept as a string: the path is made once at the end, as every
// append to a path object parses the whole of it again.
void Append(std::string& path, std::string_view name) {
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
}

bool OnDisk(const std::string& path, std::optional<FileIdentity>* found = nullptr) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (found != nullptr) {
    *found = FileIdentity{st.st_ino, static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec,
                          static_cast<uint32_t>(st.st_mtim.tv_nsec)};
  }
  return true;
}

// The entry of `dir` spelled like `name` without regard to case; an exact match wins.
std::optional<std::string> FindEntry(const std::string& dir, std::string_view name) {
  std::string exact = dir;
  Append(exact, name);
  if (OnDisk(exact)) return std::string(name);
  // Read plainly into a buffer on the stack: a directory iterator makes a path of every entry,
  // and opendir allocates a large buffer for every folder it reads. A name that is not there (a
  // marker file, a file about to be made) is looked for through the whole folder, and such
  // lookups come often.
  const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return std::nullopt;
  alignas(struct dirent64) char buffer[8192];
  std::optional<std::string> found;
  for (;;) {
    const ssize_t filled = ::getdents64(folder, buffer, sizeof buffer);
    if (filled <= 0) break;
    for (ssize_t at = 0; at < filled;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += e->d_reclen;
      const std::string_view entry = e->d_name;
      if (entry == "." || entry == "..") continue;
      if (EqualsNoCase(entry, name) && (!found || entry < *found)) found = std::string(entry);
    }
  }
  ::close(folder);
  return found;
}
}  // namespace

std::optional<std::filesystem::path> FileSystem::Resolve(std::string_view path) const {
  std::optional<std::string> host = HostPath(path);
  if (!host) return std::nullopt;
  return std::filesystem::path(std::move(*host));
}

std::optional<std::string> FileSystem::HostPath(std::string_view path,
                                                std::optional<FileIdentity>* found) const {
  if (found != nullptr) found->reset();
  if (!path.empty() && path.front() == '/') {
    // Without an empty, "." or ".." component a host path is normal as it stands (the file
    // services pass their own host paths back here on every call).
    const bool normal = path.find("//") == std::string_view::npos && path.find("/.") == std::string_view::npos;
    if (normal) return std::string(path);
    return std::filesystem::path(std::string(path)).lexically_normal().string();
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
  // The drive letter and the path on it; only a relative path needs a string of its own.
  std::string joined;
  std::string_view full = path;
  if (path.size() >= 2 && path[1] == ':') {
    // "C:name" is taken from the drive's root, as the components below begin there.
  } else if (IsSeparator(path[0])) {
    joined = currentDirectory_.substr(0, 2) + std::string(path);
    full = joined;
  } else {
    joined = JoinWindowsPath(currentDirectory_, path);
    full = joined;
  }
  const std::filesystem::path* folder = drives_.Folder(full[0]);
  if (folder == nullptr) {
    SetLastError(kErrorInvalidDrive);
    return std::nullopt;
  }
  // The host path as spelled, built in place: ".." cuts the last name off again (never the
  // drive's own folder), as names hold no '/'.
  std::string exact;
  exact.reserve(folder->native().size() + full.size() + 1);  // never more than this
  exact = folder->native();
  const size_t root = exact.size();
  const bool valid = EachComponent(full.substr(2), [&](std::string_view c) {
    if (c == ".") return true;
    if (c == "..") {
      if (exact.size() > root) exact.resize(std::max(root, exact.rfind('/')));
      return true;
    }
    if (!ValidComponent(c)) return false;
    Append(exact, c);
    return true;
  });
  if (!valid) {
    SetLastError(kErrorInvalidName);
    return std::nullopt;
  }
  // Spelled as on the disk already (the common case): every component would find itself, as an
  // exact match wins, so one look at the whole path does for one a component.
  if (exact.size() == root) return exact;
  if (OnDisk(exact, found)) return exact;
  std::string host = folder->native();
  bool onDisk = true;  // once a component is missing, the rest keep the caller's spelling
  EachComponent(std::string_view(exact).substr(root), [&](std::string_view c) {
    std::optional<std::string> entry = onDisk ? FindEntry(host, c) : std::nullopt;
    onDisk = entry.has_value();
    Append(host, entry ? std::string_view(*entry) : c);
    return true;
  });
  return host;
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
