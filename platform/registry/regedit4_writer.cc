// Writing keys as REGEDIT4 text, parents before children, subkeys and values in the
// registry's enumeration order.
#include <cstdio>
#include <cstring>

#include "platform/system/errors.h"
#include "platform/registry/regedit4.h"

namespace platform {

namespace {

constexpr const char* kEol = "\r\n";
constexpr size_t kWrapColumn = 76;  // hex lists are folded to keep lines under 80 columns

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A string the quoted form carries exactly: one final zero, none inside, no line breaks.
bool IsPlainString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

void AppendHexList(std::string line, const std::vector<uint8_t>& data, std::string* out) {
  char piece[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(piece, sizeof piece, i + 1 < data.size() ? "%02x," : "%02x", data[i]);
    if (line.size() + std::strlen(piece) > kWrapColumn && line != "  ") {
      *out += line + "\\" + kEol;
      line = "  ";
    }
    line += piece;
  }
  *out += line + kEol;
}

void AppendValue(const RegValue& v, std::string* out) {
  std::string line = (v.name.empty() ? std::string("@") : Quote(v.name)) + "=";
  if (v.type == kRegSz && IsPlainString(v.data)) {
    *out += line + Quote(std::string(v.data.begin(), v.data.end() - 1)) + kEol;
  } else if (v.type == kRegDword && v.data.size() == 4) {
    uint32_t number;
    std::memcpy(&number, v.data.data(), 4);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", number);
    *out += line + "dword:" + digits + kEol;
  } else if (v.type == kRegBinary) {
    AppendHexList(line + "hex:", v.data, out);
  } else {
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", v.type);
    AppendHexList(line + type, v.data, out);
  }
}

// One key's section; its subkeys' paths (below the root) are added to `pending`, last first,
// so that an explicit stack gives the depth-first order without recursion.
long AppendKey(Registry& registry, RegKey root, const std::string& path,
               std::vector<std::string>* pending, std::string* out) {
  RegKey key = 0;
  if (long e = registry.OpenKey(root, path, &key); e != kErrorSuccess) return e;
  std::vector<RegValue> values;
  std::vector<std::string> children;
  long e = registry.ListValues(key, &values);
  if (e == kErrorSuccess) e = registry.ListKeys(key, &children);
  std::string shown = registry.KeyPath(key);
  registry.CloseKey(key);
  if (e != kErrorSuccess) return e;
  *out += kEol + ("[" + shown + "]") + kEol;
  for (const RegValue& v : values) AppendValue(v, out);
  std::string stored = shown.substr(std::min(shown.size(), RootName(root).size() + 1));
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    pending->push_back(stored.empty() ? *it : stored + "\\" + *it);
  }
  return kErrorSuccess;
}

long AppendTree(Registry& registry, RegKey root, std::string_view path, std::string* out) {
  std::vector<std::string> pending{std::string(path)};
  while (!pending.empty()) {
    std::string next = std::move(pending.back());
    pending.pop_back();
    if (long e = AppendKey(registry, root, next, &pending, out); e != kErrorSuccess) return e;
  }
  return kErrorSuccess;
}

}  // namespace

long ExportRegedit4(Registry& registry, std::string_view path, std::string* text) {
  std::vector<std::pair<RegKey, std::string_view>> tops;
  if (path.empty()) {
    tops = {{kHkeyLocalMachine, {}}, {kHkeyCurrentUser, {}}, {kHkeyClassesRoot, {}}};
  } else {
    RegKey root = 0;
    std::string_view subKey;
    if (!SplitRootedPath(path, &root, &subKey)) return kErrorBadPathname;
    tops = {{root, subKey}};
  }
  // One transaction gives a consistent picture even while other processes write.
  if (long e = registry.BeginTransaction(); e != kErrorSuccess) return e;
  std::string out = std::string("REGEDIT4") + kEol;
  long e = kErrorSuccess;
  for (size_t i = 0; i < tops.size() && e == kErrorSuccess; ++i) {
    e = AppendTree(registry, tops[i].first, tops[i].second, &out);
  }
  registry.CommitTransaction();  // nothing was written; a rollback would doom a caller's outer one
  out += kEol;  // a blank line after the last key, as the registry editor ends its files
  if (e == kErrorSuccess) *text = std::move(out);
  return e;
}

}  // namespace platform
