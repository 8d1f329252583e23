#include "setup_script.h"

#include <algorithm>
#include <vector>

#include "file_entry.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/ui/ui.h"

namespace dssetup {
namespace {

constexpr size_t kModelNameLimit = 255;
constexpr size_t kValueLimit = 259;

std::string FirstField(const std::string& entry) {
  std::vector<std::string> fields = SplitEntryFields(entry);
  return fields.empty() ? std::string() : fields[0];
}

}  // namespace

SetupScript::SetupScript(platform::FileSystem& files, platform::ProfileFiles& profiles,
                         SetupPaths paths)
    : files_(files), profiles_(profiles), paths_(std::move(paths)) {}

SetupScript::~SetupScript() = default;

bool SetupScript::SameAsSource() const {
  auto a = files_.Resolve(paths_.SourceScript());
  auto b = files_.Resolve(paths_.WorkingScript());
  return a && b && *a == *b;
}

bool SetupScript::CopyToWorkingCopy() {
  std::optional<std::string> content = files_.ReadFile(paths_.SourceScript());
  if (!content) return false;
  // Started from the Windows folder itself: the script is its own working copy, and is left.
  if (SameAsSource()) return true;
  if (!copied_ && !keptOld_ && files_.Exists(BackupPath())) {
    // An earlier run ended before it put the script it kept aside back (it was stopped, or that
    // last step failed): the kept script is the one to put back, and the file in its place is
    // that run's working copy, free to be overwritten.
    keptOld_ = true;
  } else if (!copied_ && !keptOld_ && files_.Exists(paths_.WorkingScript())) {
    keptOld_ = files_.MoveFile(paths_.WorkingScript(), BackupPath());
    if (!keptOld_) return false;  // never overwrite a script we could not keep aside
  }
  copied_ = files_.WriteFileAtomic(paths_.WorkingScript(), *content);
  return copied_;
}

void SetupScript::RemoveWorkingCopy() {
  // The kept script takes the working copy's place in one step: a deletion first that went
  // through, followed by a move that failed, would leave neither in place.
  if (keptOld_) {
    files_.ReplaceFile(BackupPath(), paths_.WorkingScript());
  } else if (copied_) {
    files_.DeleteFile(paths_.WorkingScript());
  }
  copied_ = keptOld_ = false;
}

std::string SetupScript::Read(const std::string& section, const std::string& key,
                              const char* def, size_t limit) const {
  std::vector<char> buffer(limit + 1);
  profiles_.GetString(section.c_str(), key.c_str(), def, buffer.data(),
                      static_cast<uint32_t>(buffer.size()), paths_.WorkingScript());
  return std::string(buffer.data());
}

std::string SetupScript::TitleText() const {
  return profiles_.GetStringValue("Version", "VerStrg", "Orvex Setup", paths_.SourceScript())
      .substr(0, 255);
}

int SetupScript::FontSize() const {
  return profiles_.GetInt("Version", "FontSize", 24, paths_.SourceScript());
}

int SetupScript::LanguageCount() const {
  return std::clamp(profiles_.GetInt("Language", "NumOfLang", 1, paths_.WorkingScript()), 1,
                    kMaxLanguages);
}

int SetupScript::FixedLanguage() const {
  return profiles_.GetInt("Language", "Lang", 1, paths_.WorkingScript());
}

std::vector<std::string> SetupScript::ModelNames() const {
  const int count = std::clamp(
      profiles_.GetInt("Scanner", "NumOfScanners", 1, paths_.WorkingScript()), 0, kMaxModels);
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) {
    names.push_back(Read("Scanner", std::to_string(i), "Error", kModelNameLimit));
  }
  return names;
}

int SetupScript::FileCount(const std::string& section) const {
  return profiles_.GetInt(section, "NumOfFiles", -1, paths_.WorkingScript());
}

std::string SetupScript::FileEntryText(const std::string& section, int n) const {
  return Read(section, std::to_string(n), "Error", kMaxEntryLength);
}

ModelTables SetupScript::ReadModel(const std::string& model) const {
  const std::string& file = paths_.WorkingScript();
  ModelTables t;
  t.numLuts = profiles_.GetInt(model, "NumOfLuts", -1, file);
  t.numGammaR = profiles_.GetInt(model, "NumOfGammaR", -1, file);
  t.numGammaT = profiles_.GetInt(model, "NumOfGammaT", -1, file);
  // Counts come from a script anyone can write: only as many keys as a script can hold.
  // Read as a buffer of `limit` characters would hold them, all from one reading of the script.
  auto list = [&](const char* prefix, int count, size_t limit) {
    std::vector<std::string> keys;
    for (int i = 1; i <= std::min(count, 999); ++i) keys.push_back(prefix + std::to_string(i));
    std::vector<std::string> values = profiles_.GetStringValues(model, keys, "Error", file);
    for (std::string& value : values) {
      if (value.size() > limit) value.resize(limit);
    }
    return values;
  };
  t.luts = list("Lut", t.numLuts, kMaxEntryLength);
  t.gammaR = list("GammaR", t.numGammaR, kMaxEntryLength);
  t.gammaT = list("GammaT", t.numGammaT, kMaxEntryLength);
  t.langR = list("LangR", t.numGammaR, kValueLimit);
  t.langT = list("LangT", t.numGammaT, kValueLimit);
  return t;
}

// Each table's entries go to the script in one write: a model's tables may name hundreds of files,
// and a synced rewrite of the script for each was most of a setup's time.
void SetupScript::ExtendForModel(const std::string& model, const std::string& section,
                                 platform::UserInterface* ui) {
  const std::string& file = paths_.WorkingScript();
  ModelTables t = ReadModel(model);
  chosen_ = {};
  if (t.numLuts == -1 || t.numLuts == 0) return;
  int key = std::max(FileCount(section), 0);
  // Adds `values` under the next keys, and to `chosen` their display names (each followed by its
  // text from `texts`, when given). False when the write failed or the keys ran out.
  auto add = [&](const std::vector<std::string>& values, const std::vector<std::string>* texts,
                 const char* caption, std::vector<std::string>* chosen) {
    std::vector<platform::ProfileEntry> entries;
    // A count near the int range would overflow.
    const size_t room = static_cast<size_t>(kMaxFileKey - std::min(key, kMaxFileKey));
    for (size_t i = 0; i < values.size() && i < room; ++i) {
      entries.push_back({section, std::to_string(key + static_cast<int>(i) + 1),
                         InsertTwain32(values[i]).substr(0, kMaxEntryLength)});
    }
    if (!entries.empty() && !profiles_.WriteStrings(entries, file)) {
      if (ui) ui->MessageBox(0, "Error updating SETUP.INI", caption, platform::MB_OK);
      return false;
    }
    key += static_cast<int>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      chosen->push_back(FirstField(InsertTwain32(values[i])) + (texts ? (*texts)[i] : ""));
    }
    return entries.size() == values.size();
  };
  if (!add(t.luts, nullptr, "UpdateSetupIni( Lut)", &chosen_.lutNames)) return;
  if (t.numGammaR == -1) return;
  if (!add(t.gammaR, &t.langR, "UpdateSetupIni( GammaR )", &chosen_.gammaRDisplay)) return;
  if (t.numGammaT == -1) return;
  if (!add(t.gammaT, &t.langT, "UpdateSetupIni( GammaT )", &chosen_.gammaTDisplay)) return;
  profiles_.WriteString(section.c_str(), "NumOfFiles", std::to_string(key).c_str(), file);
}

}  // namespace dssetup
