#include "data_source_config.h"

#include "file_entry.h"
#include "languages.h"
#include "platform/profile/profile.h"

namespace dssetup {
namespace {

constexpr std::array<const char*, 6> kPortKeys{"ScanDeviceType", "ScanParallelType", "LPTID",
                                               "ScanSCSIType",   "SCSIID",           "SCSIHAID"};

std::string FirstField(const std::string& entry) {
  std::vector<std::string> fields = SplitEntryFields(entry);
  return fields.empty() ? std::string() : fields[0];
}

std::array<int32_t*, 6> Fields(PortSettings& s) {
  return {&s.scanDeviceType, &s.scanParallelType, &s.lptId,
          &s.scanScsiType,   &s.scsiId,           &s.scsiHaId};
}

}  // namespace

// Each of the two writes below goes to the file at once: the same content as a write a key, one
// synced rewrite of the file instead of one a key.
void DataSourceConfig::WriteColorComfort(const ChosenTables& t) {
  std::vector<platform::ProfileEntry> entries;
  auto put = [&](std::string key, std::string value) {
    entries.push_back({"COLORCOMFORT", std::move(key), std::move(value)});
  };
  put("RLUT", t.lutNames.empty() ? Twain() : Twain() + t.lutNames[0]);
  if (t.lutNames.size() >= 2) put("TLUT", Twain() + t.lutNames[1]);
  put("RGAMMA", std::to_string(t.gammaRDisplay.size()));
  put("TGAMMA", std::to_string(t.gammaTDisplay.size()));
  for (size_t i = 0; i < t.gammaRDisplay.size(); ++i) {
    put("RGamma" + std::to_string(i + 1), Twain() + t.gammaRDisplay[i]);
  }
  for (size_t i = 0; i < t.gammaTDisplay.size(); ++i) {
    put("TGamma" + std::to_string(i + 1), Twain() + t.gammaTDisplay[i]);
  }
  profiles_.WriteStrings(entries, paths_.DataSourceIni());
}

std::vector<std::string> DataSourceConfig::ModelLines(const ModelTables& t) const {
  std::vector<std::string> lines;
  auto lut = [&](size_t i) { return Twain() + FirstField(InsertTwain32(t.luts[i])); };
  lines.push_back(t.luts.empty() ? "RLUT=" : "RLUT=" + lut(0));
  if (t.luts.size() >= 2) lines.push_back("TLUT=" + lut(1));
  auto gammas = [&](const char* key, const std::vector<std::string>& entries,
                    const std::vector<std::string>& texts) {
    lines.push_back(std::string(key) + "=" + std::to_string(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      lines.push_back(std::string(key) + std::to_string(i + 1) + "=" + Twain() +
                      FirstField(InsertTwain32(entries[i])) + texts[i]);
    }
  };
  gammas("RGAMMA", t.gammaR, t.langR);
  gammas("TGAMMA", t.gammaT, t.langT);
  return lines;
}

void DataSourceConfig::WriteModels(const SetupScript& script,
                                   const std::vector<std::string>& chosen) {
  std::vector<platform::ProfileEntry> entries;
  int written = 0;
  for (const std::string& model : chosen) {
    const ModelTables tables = script.ReadModel(model);
    if (tables.Incomplete()) break;
    const std::string number = std::to_string(++written);
    entries.push_back({"SCANNERMODELLS", number, model});
    entries.push_back({"SCANNERMODELLS", "NumOfModells", number});
    entries.push_back({"SCANNERMODELLS", "SelectedScanner", number});
    const std::vector<std::string> lines = ModelLines(tables);
    for (size_t i = 0; i < lines.size(); ++i) {
      entries.push_back({model, std::to_string(i + 1), lines[i]});
    }
    entries.push_back({model, "NumOfLines", std::to_string(lines.size())});
  }
  profiles_.WriteStrings(entries, paths_.DataSourceIni());
}

void DataSourceConfig::WriteLanguage(int languageIndex) {
  const Language* language = LanguageAt(languageIndex);
  if (!language || language->optionCode.empty()) return;
  profiles_.WriteString("Options", "Language", std::string(language->optionCode).c_str(),
                        paths_.DataSourceIni());
}

void DataSourceConfig::RegisterControlPanelApplet() {
  const std::string file = paths_.ControlIni();
  if (profiles_.GetStringValue("MMCPL", "KVG_TWAIN32", "Error", file) != "Error") return;
  const int apps = profiles_.GetInt("MMCPL", "NumApps", 0, file);
  // Both at once: a count raised without its entry would be raised again by the next setup.
  profiles_.WriteStrings({{"MMCPL", "NumApps", std::to_string(apps + 1)},
                          {"MMCPL", "KVG_TWAIN32", paths_.windows + "\\Kvctrl32.cpl"}},
                         file);
}

PortSettings DataSourceConfig::ReadPortSettings(bool* complete) const {
  PortSettings s;
  *complete = true;
  auto fields = Fields(s);
  for (size_t i = 0; i < kPortKeys.size(); ++i) {
    *fields[i] = profiles_.GetInt("ScanOptions", kPortKeys[i], -2, paths_.DataSourceIni());
    if (*fields[i] == -2) *complete = false;
  }
  return s;
}

void DataSourceConfig::WritePortSettings(const PortSettings& settings) {
  PortSettings copy = settings;
  auto fields = Fields(copy);
  std::vector<platform::ProfileEntry> entries;
  for (size_t i = 0; i < kPortKeys.size(); ++i) {
    entries.push_back({"ScanOptions", kPortKeys[i], std::to_string(*fields[i])});
  }
  profiles_.WriteStrings(entries, paths_.DataSourceIni());
}

}  // namespace dssetup
