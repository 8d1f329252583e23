#include "script.h"

#include <cctype>

#include "platform/files/winpath.h"

namespace hbasetup {

namespace {
constexpr std::string_view kPlaceholder = "<GROUp>";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// The section's name when `line` is a header "[name]".
std::optional<std::string_view> Header(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

size_t Bytes(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const std::string& l : lines) total += l.size() + 1;
  return total;
}

std::string ValueOf(const std::vector<std::string>& lines, std::string_view key,
                    std::string_view fallback) {
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || line[0] == ';') continue;
    if (!platform::EqualsNoCase(Trim(std::string_view(line).substr(0, eq)), key)) continue;
    std::string_view value = Trim(std::string_view(line).substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::string(fallback);
}
}  // namespace

SetupScript::SetupScript(std::string text) : text_(std::move(text)) {
  const std::vector<std::string> display = RawSection("Display").value_or(std::vector<std::string>{});
  const DisplayFields defaults;
  display_.bShow = ValueOf(display, "bShow", defaults.bShow);
  display_.groupName = ValueOf(display, "GroupName", defaults.groupName);
  display_.deviceId = ValueOf(display, "DeviceID", defaults.deviceId);
  display_.title = ValueOf(display, "Title", defaults.title);
  display_.driver = ValueOf(display, "Driver", defaults.driver);
}

std::optional<std::vector<std::string>> SetupScript::RawSection(std::string_view name) const {
  std::string_view rest = text_;
  bool inside = false;
  std::vector<std::string> lines;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (auto header = Header(line)) {
      if (inside) break;  // the first section of that name wins
      inside = platform::EqualsNoCase(*header, name);
      continue;
    }
    if (!inside) continue;
    line = Trim(line);
    // A NUL would end the line in the zero-separated buffer.
    line = line.substr(0, line.find('\0'));
    if (!line.empty()) lines.emplace_back(line);
  }
  if (!inside) return std::nullopt;
  return lines;
}

std::vector<ScriptLine> SetupScript::Section(std::string_view name) const {
  std::vector<std::string> raw = FitSection(RawSection(name).value_or(std::vector<std::string>{}));
  std::vector<ScriptLine> lines;
  for (std::string& l : ReplaceGroup(std::move(raw), display_.groupName)) {
    lines.push_back({std::move(l)});
  }
  return lines;
}

std::vector<std::string> SetupScript::Lines(std::string_view name) const {
  std::vector<std::string> lines;
  for (ScriptLine& l : Section(name)) {
    if (!l.IsComment()) lines.push_back(std::move(l.text));
  }
  return lines;
}

std::optional<std::string> SetupScript::Value(std::string_view section,
                                              std::string_view key) const {
  const std::vector<std::string> lines =
      RawSection(section).value_or(std::vector<std::string>{});
  const std::string missing(1, '\0');
  const std::string value = ValueOf(lines, key, missing);
  if (value == missing) return std::nullopt;
  return ReplaceGroupIn(value, display_.groupName);
}

std::vector<std::string> FitSection(std::vector<std::string> lines) {
  if (Bytes(lines) >= kSectionBuffer - 2) return {};
  return lines;
}

std::string ReplaceGroupIn(std::string_view line, std::string_view group) {
  if (group.empty()) return std::string(line);
  std::string replaced;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t at = pos;
    while (at < line.size() &&
           !(line.size() - at >= kPlaceholder.size() &&
             platform::EqualsNoCase(line.substr(at, kPlaceholder.size()), kPlaceholder))) {
      ++at;
    }
    replaced.append(line.substr(pos, at - pos));
    if (at >= line.size()) break;
    replaced += group;
    pos = at + kPlaceholder.size();
  }
  return replaced;
}

std::vector<std::string> ReplaceGroup(std::vector<std::string> lines, std::string_view group) {
  if (group.empty()) return lines;
  std::vector<std::string> out;
  size_t used = 0;
  for (const std::string& line : lines) {
    std::string replaced = ReplaceGroupIn(line, group);
    // The buffer holds the lines, their zeros and the list's final zero.
    if (used + replaced.size() + 1 + 1 > kSectionBuffer) break;
    used += replaced.size() + 1;
    out.push_back(std::move(replaced));
  }
  return out;
}

std::string KeyedValue(std::string_view line) {
  return line.size() <= 2 ? std::string() : std::string(line.substr(2));
}

}  // namespace hbasetup
