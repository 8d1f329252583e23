#include "value_text.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace scanreg {

namespace {

struct TypeEntry {
  uint32_t type;
  const char* name;
};

constexpr TypeEntry kTypes[] = {
    {0, "REG_NONE"},   {1, "REG_SZ"},       {2, "REG_EXPAND_SZ"},
    {3, "REG_BINARY"}, {4, "REG_DWORD"},    {5, "REG_DWORD_BIG_ENDIAN"},
    {6, "REG_LINK"},   {7, "REG_MULTI_SZ"},
};

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

std::string EncodeDword(const std::string& text, std::vector<uint8_t>* data) {
  // strtoul would take a sign and wrap a negative number around; a person means neither.
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])))) {
    return "\"" + text + "\" is not a number";
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long number = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0') return "\"" + text + "\" is not a number";
  if (errno == ERANGE || number > 0xffffffffull) return "\"" + text + "\" does not fit 32 bits";
  auto value = static_cast<uint32_t>(number);
  data->resize(4);
  std::memcpy(data->data(), &value, 4);
  return "";
}

std::string EncodeBinary(const std::string& text, std::vector<uint8_t>* data) {
  if (text.size() % 2 != 0) return "binary data need pairs of hex digits";
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t byte = 0;
    const char* pair = text.data() + i;
    auto [end, error] = std::from_chars(pair, pair + 2, byte, 16);
    if (error != std::errc() || end != pair + 2) return "\"" + text + "\" is not hex digits";
    data->push_back(byte);
  }
  return "";
}

}  // namespace

std::optional<uint32_t> ParseTypeName(const std::string& name) {
  for (uint32_t type : {platform::kRegSz, platform::kRegDword, platform::kRegBinary}) {
    if (EqualNoCase(name, TypeName(type))) return type;
  }
  return std::nullopt;
}

std::string TypeName(uint32_t type) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.type == type) return entry.name;
  }
  return "REG_TYPE_" + std::to_string(type);
}

std::string EncodeData(uint32_t type, const std::string& text, std::vector<uint8_t>* data) {
  data->clear();
  if (type == platform::kRegDword) return EncodeDword(text, data);
  if (type == platform::kRegBinary) return EncodeBinary(text, data);
  data->assign(text.begin(), text.end());
  data->push_back(0);
  return "";
}

std::string DisplayData(const platform::RegValue& value) {
  const std::vector<uint8_t>& data = value.data;
  if (value.type == platform::kRegSz) {
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
  }
  char digits[16];
  if (value.type == platform::kRegDword && data.size() == 4) {
    uint32_t number;
    std::memcpy(&number, data.data(), 4);
    std::snprintf(digits, sizeof digits, "0x%x", number);
    return digits;
  }
  std::string hex;
  for (uint8_t byte : data) {
    std::snprintf(digits, sizeof digits, "%02X", byte);
    hex += digits;
  }
  return hex;
}

}  // namespace scanreg
