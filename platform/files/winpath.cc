#include "platform/files/winpath.h"

#include <algorithm>

namespace platform {

namespace {
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

SplitPath SplitWindowsPath(std::string_view path) {
  SplitPath parts;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = std::string(path.substr(0, 2));
    path.remove_prefix(2);
  }
  size_t lastSep = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) lastSep = i;
  }
  std::string_view file = path;
  if (lastSep != std::string_view::npos) {
    parts.directory = std::string(path.substr(0, lastSep + 1));
    file = path.substr(lastSep + 1);
  }
  size_t dot = file.rfind('.');
  if (dot == std::string_view::npos) {
    parts.name = std::string(file);
  } else {
    parts.name = std::string(file.substr(0, dot));
    parts.extension = std::string(file.substr(dot));
  }
  return parts;
}

std::string MakeWindowsPath(const SplitPath& parts) {
  std::string out = parts.drive;
  out += parts.directory;
  if (!parts.directory.empty() && !IsSeparator(parts.directory.back())) out += '\\';
  out += parts.name;
  if (!parts.extension.empty() && parts.extension.front() != '.') out += '.';
  out += parts.extension;
  return out;
}

std::string JoinWindowsPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  while (!out.empty() && IsSeparator(out.back())) out.pop_back();
  while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
  if (out.empty() && !folder.empty()) out = "\\";  // the folder was a root
  if (!out.empty() && out.back() != '\\') out += '\\';
  out += name;
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) {
                                        return static_cast<unsigned char>(UpperAscii(x)) <
                                               static_cast<unsigned char>(UpperAscii(y));
                                      });
}

std::string ToUpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

namespace {
// Iterative wildcard match with one backtrack point: linear in practice, never recursive.
bool Match(std::string_view p, std::string_view n) {
  size_t pi = 0, ni = 0, star = std::string_view::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || UpperAscii(p[pi]) == UpperAscii(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}
}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (Match(pattern, name)) return true;
  // "*.*" and "name.*" also match names that have no extension at all.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return Match(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

}  // namespace platform
