#include "config_sys.h"

#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/ui/ui.h"
#include "script.h"
#include "setup_context.h"

namespace hbasetup {

namespace {
bool WriteTemporary(const SetupContext& context, const std::string& path, std::string_view text) {
  auto file = platform::File::Open(context.files, path, platform::File::Mode::kWrite);
  if (!file) return false;
  const bool written = file->Write(text.data(), text.size()) && file->Flush();
  file.reset();
  if (!written) context.files.DeleteFile(path);
  return written;
}

void Say(const SetupContext& context, std::string_view text, std::string_view caption,
         uint32_t type) {
  context.ui.MessageBox(0, text, caption, type);
}
}  // namespace

std::string TemporaryPathFor(std::string_view path) {
  const size_t dot = path.rfind('.');
  return std::string(path.substr(0, dot == std::string_view::npos ? path.size() : dot)) + ".tmp";
}

std::vector<std::string> CollectModifyValues(const SetupScript& script, size_t* bytes) {
  std::vector<std::string> values;
  size_t used = 0;
  for (int key = 1;; ++key) {
    const std::optional<std::string> value = script.Value("Modify", std::to_string(key));
    if (!value || value->empty()) break;
    // Each value takes its zero; the list's final zero must still fit after it.
    if (used + value->size() + 1 + 1 > kModifyBuffer) break;
    used += value->size() + 1;
    values.push_back(*value);
  }
  if (bytes) *bytes = used;
  return values;
}

std::vector<std::string> NamesToRemove(const std::vector<std::string>& values) {
  std::vector<std::string> names;
  for (const std::string& value : values) {
    if (value.empty() || value[0] == ';') continue;
    const size_t slash = value.rfind('\\');
    std::string name = platform::ToUpperAscii(
        slash == std::string::npos ? std::string_view(value) : std::string_view(value).substr(slash + 1));
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::string RemoveNamedLines(std::string_view text, const std::vector<std::string>& names,
                             size_t* removed) {
  std::string out;
  out.reserve(text.size());
  size_t count = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = end == std::string_view::npos ? text : text.substr(0, end + 1);
    text.remove_prefix(line.size());
    std::string_view content = line;
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) {
      content.remove_suffix(1);
    }
    const std::string upper = platform::ToUpperAscii(content);
    bool named = false;
    for (const std::string& name : names) {
      if (upper.find(name) != std::string::npos) {
        named = true;
        break;
      }
    }
    if (named) {
      ++count;
    } else {
      out.append(line);
    }
  }
  if (removed) *removed = count;
  return out;
}

ConfigEdit EditConfigSys(const SetupContext& context, const SetupScript& script) {
  const std::optional<std::string> text = context.files.ReadFile(kConfigSys);
  if (!text) return ConfigEdit::kNoConfig;
  const std::string temporary = TemporaryPathFor(kConfigSys);
  constexpr std::string_view kWriteError =
      "Disk write error!\nPlease check that your disk is not write-protected.";
  constexpr std::string_view kWriteCaption = "Modifying 'Config.sys'...";
  // The temporary file is made first, as a check that the disk takes writes at all.
  if (!WriteTemporary(context, temporary, "")) {
    Say(context, kWriteError, kWriteCaption, platform::MB_OK | platform::MB_ICONERROR);
    return ConfigEdit::kWriteError;
  }
  size_t bytes = 0;
  const std::vector<std::string> values = CollectModifyValues(script, &bytes);
  ConfigEdit refused = ConfigEdit::kEdited;
  if (bytes == kModifyBuffer - 2) {
    Say(context, "ModifyConfig: The buffer size is too small!", "", platform::MB_OK);
    refused = ConfigEdit::kBufferTooSmall;
  } else if (values.empty()) {
    Say(context, "ModifyConfig: No information exist!", "", platform::MB_OK);
    refused = ConfigEdit::kNoInformation;
  }
  if (refused != ConfigEdit::kEdited) {
    context.files.DeleteFile(temporary);
    return refused;
  }
  const std::string edited = RemoveNamedLines(*text, NamesToRemove(values));
  if (!WriteTemporary(context, temporary, edited) ||
      !context.files.ReplaceFile(temporary, kConfigSys)) {
    context.files.DeleteFile(temporary);
    Say(context, kWriteError, kWriteCaption, platform::MB_OK | platform::MB_ICONERROR);
    return ConfigEdit::kWriteError;
  }
  return ConfigEdit::kEdited;
}

}  // namespace hbasetup
