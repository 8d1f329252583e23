#include "copy_list.h"

#include "platform/files/winpath.h"
#include "script.h"

namespace hbasetup {

namespace {
constexpr std::string_view kRelative = ".\\";

bool Relative(std::string_view path) { return path.substr(0, 2) == kRelative; }
}  // namespace

std::string InSetupDirectory(std::string_view setupDirectory, std::string_view name) {
  std::string out(setupDirectory);
  if (out.empty() || out.back() != '\\') out += '\\';
  out += name;
  return out;
}

CopyLineResult ParseCopyLine(std::string_view line, const CopyPaths& paths, CopyItem* item) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return CopyLineResult::kNoEquals;
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos) return CopyLineResult::kNoComma;
  if (comma < equals) return CopyLineResult::kCommaFirst;
  std::string_view source = line.substr(equals + 1, comma - equals - 1);
  std::string_view destination = line.substr(comma + 1);
  item->source = Relative(source) ? InSetupDirectory(paths.setupDirectory, source.substr(2))
                                  : std::string(source);
  item->destination = Relative(destination)
                          ? paths.windowsDirectory + "\\" + std::string(destination.substr(2))
                          : std::string(destination);
  return CopyLineResult::kAccepted;
}

CopyListMessage MessageFor(int code) {
  switch (code) {
    case 101: return {code, "AddSectionFilesToCopyList", "Cannot find the source path !"};
    case 102: return {code, "AddSectionFilesToCopyList", "Cannot find the destination path !"};
    case 103: return {code, "AddSectionFilesToCopyList", "Format error !"};
    default: return {code, "Error", "Error no. " + std::to_string(code)};
  }
}

std::vector<std::string_view> CopySections(InstallType type) {
  switch (type) {
    case InstallType::kNt: return {"NT Driver Files", "NT WinASPI32"};
    case InstallType::kWin95: return {"Win95 Driver Files", "Win95 Inf File"};
    case InstallType::kOther: break;
  }
  return {};
}

std::vector<CopyItem> BuildCopyList(const SetupScript& script, InstallType type,
                                    const CopyPaths& paths,
                                    const std::function<void(const CopyListMessage&)>& report) {
  std::vector<CopyItem> list;
  for (std::string_view section : CopySections(type)) {
    for (const std::string& line : script.Lines(section)) {
      CopyItem item;
      const CopyLineResult result = ParseCopyLine(line, paths, &item);
      if (result == CopyLineResult::kAccepted) {
        list.push_back(std::move(item));
      } else if (report) {
        report(MessageFor(static_cast<int>(result) + 100));
      }
    }
  }
  return list;
}

}  // namespace hbasetup
