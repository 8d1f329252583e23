#include "platform/files/short_name.h"

#include <algorithm>
#include <string>

#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/system/errors.h"

namespace platform {

namespace {
constexpr std::string_view kRefused = "\"*+,/:;<=>?[\\]|";

bool ShortChar(unsigned char c) {
  return c > 0x20 && c != '.' && kRefused.find(static_cast<char>(c)) == std::string_view::npos;
}

struct Stem {
  std::string base;       // up to 6 characters
  std::string extension;  // up to 3 characters, without the dot
  bool operator==(const Stem&) const = default;
};

std::string Cleaned(std::string_view part) {
  std::string out;
  for (unsigned char c : part) {
    if (c == ' ' || c == '.') continue;
    out += ShortChar(c) ? static_cast<char>(c) : '_';
  }
  return ToUpperAscii(out);
}

Stem StemOf(std::string_view name) {
  size_t dot = name.rfind('.');
  // A dot at the start only is no extension: ".profile" is all base.
  bool hasExtension = dot != std::string_view::npos && name.find_first_not_of('.') < dot;
  Stem stem;
  stem.base = Cleaned(hasExtension ? name.substr(0, dot) : name).substr(0, 6);
  if (hasExtension) stem.extension = Cleaned(name.substr(dot + 1)).substr(0, 3);
  if (stem.base.empty()) stem.base = "_";
  return stem;
}

std::string WithTail(const Stem& stem, int n) {
  std::string tail = "~" + std::to_string(n);
  std::string out = stem.base.substr(0, 8 - std::min<size_t>(tail.size(), 7)) + tail;
  if (!stem.extension.empty()) out += "." + stem.extension;
  return out;
}
}  // namespace

bool IsShortName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  size_t dot = name.find('.');
  std::string_view base = name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string_view::npos && ext.empty()) return false;
  auto ok = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return ShortChar(static_cast<unsigned char>(c)); });
  };
  return ok(base) && ok(ext);
}

std::string ShortNameAmong(std::string_view name, const std::vector<std::string>& siblings) {
  if (IsShortName(name)) return ToUpperAscii(name);
  const Stem stem = StemOf(name);
  std::vector<std::string> rivals;  // long names with the same stem, this one included
  std::vector<std::string> taken;   // real short names of the folder
  rivals.emplace_back(name);
  for (const std::string& sibling : siblings) {
    if (EqualsNoCase(sibling, name)) continue;
    if (IsShortName(sibling)) {
      taken.push_back(ToUpperAscii(sibling));
    } else if (StemOf(sibling) == stem) {
      rivals.push_back(sibling);
    }
  }
  std::sort(rivals.begin(), rivals.end(), [](const std::string& a, const std::string& b) {
    return LessNoCase(a, b) || (!LessNoCase(b, a) && a < b);
  });
  size_t rank = std::find(rivals.begin(), rivals.end(), std::string(name)) - rivals.begin();
  for (int n = 1;; ++n) {
    std::string candidate = WithTail(stem, n);
    if (std::find(taken.begin(), taken.end(), candidate) != taken.end()) continue;
    if (rank == 0) return candidate;
    --rank;
  }
}

std::optional<std::string> GetShortPathName(const FileSystem& fs, std::string_view path) {
  if (!fs.Exists(path)) {
    SetLastError(kErrorFileNotFound);
    return std::nullopt;
  }
  SplitPath parts = SplitWindowsPath(path);
  std::string rest = parts.directory + parts.name + parts.extension;
  std::string out = parts.drive;
  std::string folder = parts.drive;  // the long path walked so far
  size_t pos = 0;
  if (!rest.empty() && rest[0] == '\\') {
    out += '\\';
    folder += '\\';
    pos = 1;
  }
  while (pos < rest.size()) {
    size_t end = rest.find('\\', pos);
    if (end == std::string::npos) end = rest.size();
    std::string component = rest.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty() || component == "." || component == "..") {
      out += component;
    } else {
      std::vector<std::string> siblings;
      for (const FindData& entry : fs.FindFiles(JoinWindowsPath(folder, "*"))) {
        siblings.push_back(entry.name);
      }
      for (const std::string& s : siblings) {
        if (EqualsNoCase(s, component)) component = s;  // the name as stored
      }
      out += ShortNameAmong(component, siblings);
    }
    folder = JoinWindowsPath(folder, component);
    if (end < rest.size()) out += '\\';
  }
  return out;
}

}  // namespace platform
