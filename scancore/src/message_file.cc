#include "scancore/message_file.h"

#include "library_state.h"
#include "platform/host/host.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "platform/system/system.h"
#include "platform/files/winpath.h"

namespace {

constexpr size_t kMaxRegistryValue = 256;  // bytes, the terminating zero included

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

// A registry string of the application's key, or `fallback` when it is missing or too long
// for the buffer the library reads it into.
std::string KeyValue(platform::Registry& registry, platform::RegKey key, const std::string& name,
                     std::string fallback) {
  std::string value;
  if (key == 0 || registry.GetString(key, name, &value) != 0) return fallback;
  if (value.size() + 1 > kMaxRegistryValue) return fallback;
  return value;
}

}  // namespace

CMessageFile::CMessageFile() = default;

std::string CMessageFile::Location(platform::Registry& registry, const platform::SystemInfo& system,
                                   const std::function<std::string(uint32_t)>& text) {
  platform::RegKey key = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, text(scancore::kStrRegistryKey), &key) != 0) {
    key = 0;
  }
  std::string folder = KeyValue(registry, key, text(scancore::kStrPathValue),
                                text(scancore::kStrDefaultFolder));
  std::string stem = KeyValue(registry, key, text(scancore::kStrNameValue),
                              text(scancore::kStrDefaultStem));
  if (key) registry.CloseKey(key);
  return system.WindowsFolder() + "\\Twain_32\\" + folder + "\\" + stem + ".msg";
}

void CMessageFile::Load(platform::FileSystem& files, const std::string& path) {
  auto file = platform::File::Open(files, path, platform::File::Mode::kRead);
  if (!file) {
    LoadText({});
    return;
  }
  std::string text(kMaxBytes, '\0');
  text.resize(file->Read(text.data(), text.size()));
  LoadText(text);
}

void CMessageFile::LoadText(std::string_view text) {
  *this = CMessageFile();
  text = text.substr(0, kMaxBytes);
  size_t start = 0;
  // Text after the last line feed is not a line.
  for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    size_t q[4];
    size_t from = 0;
    bool complete = true;
    for (size_t& quote : q) {
      quote = line.find('"', from);
      if (quote == std::string_view::npos) {
        complete = false;
        break;
      }
      from = quote + 1;
    }
    if (!complete || sources_.size() >= kMaxEntries) continue;
    AddEntry(line.substr(q[0] + 1, q[1] - q[0] - 1), line.substr(q[2] + 1, q[3] - q[2] - 1));
  }
  disabled_ = sources_.empty();
}

void CMessageFile::AddEntry(std::string_view source, std::string_view translation) {
  sources_.emplace_back(source);
  translations_.emplace_back(translation);
  if (source.size() >= kIndexedLengths) return;  // cannot be looked up
  for (uint16_t& slot : index_[source.size()]) {
    if (slot == 0) {
      slot = static_cast<uint16_t>(sources_.size());
      return;
    }
  }
}

std::string CMessageFile::Translate(std::string_view text) const {
  if (disabled_) return std::string(text);
  std::string result;
  if (!text.empty()) {
    result = ReplaceAll(text, "\n", "\\n");
    if (result.size() < kIndexedLengths) {
      for (uint16_t entry : index_[result.size()]) {
        if (entry == 0) break;
        if (sources_[entry - 1] == result) {
          result = translations_[entry - 1];
          break;
        }
      }
    }
  }
  return ReplaceAll(result, "\\n", "\n");
}

const CMessageFile& CMessageFile::ForProcess() {
  return scancore::LibraryState::Of(platform::Host::Current()).messages();
}
