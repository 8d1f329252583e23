// The setup script (SETUP.INI). The setup works on a copy in the Windows folder, which it reads
// and extends with the chosen models' table files, and deletes at the end. A SETUP.INI that
// already lay in the Windows folder is kept aside while the setup runs and put back afterwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup_paths.h"

namespace platform {
class FileSystem;
class ProfileFiles;
class UserInterface;
}  // namespace platform

namespace dssetup {

inline constexpr int kMaxLanguages = 5;
inline constexpr int kMaxModels = 9;        // model keys are single digits
inline constexpr int kMaxChosenModels = 16;
// The script's file keys stop here: no script holds this many entries.
inline constexpr int kMaxFileKey = 1000000;

// What the script says about one model: its table file entries and display texts.
struct ModelTables {
  int numLuts = -1;
  int numGammaR = -1;
  int numGammaT = -1;
  std::vector<std::string> luts;     // file entries as written in the script
  std::vector<std::string> gammaR;
  std::vector<std::string> gammaT;
  std::vector<std::string> langR;    // display texts in the chosen language
  std::vector<std::string> langT;
  // True when one of the three counts is missing: such a model ends the writing of models.
  bool Incomplete() const { return numLuts == -1 || numGammaR == -1 || numGammaT == -1; }
};

// The tables the last extended model left, for the data source's colour section.
struct ChosenTables {
  std::vector<std::string> lutNames;       // first field of each tone-table entry
  std::vector<std::string> gammaRDisplay;  // first field + LangR text
  std::vector<std::string> gammaTDisplay;
};

class SetupScript {
 public:
  SetupScript(platform::FileSystem& files, platform::ProfileFiles& profiles, SetupPaths paths);
  ~SetupScript();

  // Copies the source script to the working copy byte for byte. False when the source cannot be
  // read or the copy cannot be written.
  bool CopyToWorkingCopy();
  // Deletes the working copy and puts back a script that was there before.
  void RemoveWorkingCopy();

  // Read from the source script, as the window title is drawn before anything else.
  std::string TitleText() const;
  int FontSize() const;
  // NumOfLang clamped to 1..5.
  int LanguageCount() const;
  // Lang as written (default 1); the caller refuses values outside 0..4.
  int FixedLanguage() const;
  // The model names, at most 9, names cut at 255 characters.
  std::vector<std::string> ModelNames() const;
  // NumOfFiles of a language section (-1 when missing).
  int FileCount(const std::string& section) const;
  // File entry `n` (1-based), "Error" when missing, cut at 126 characters.
  std::string FileEntryText(const std::string& section, int n) const;
  // The tables of the model named `model`, display texts from `languageSection`'s language.
  ModelTables ReadModel(const std::string& model) const;

  // Adds the table files of one chosen model to the file list of `section`. A failed write is
  // reported in a message box through `ui` (may be null) and ends the extension.
  void ExtendForModel(const std::string& model, const std::string& section,
                      platform::UserInterface* ui);
  const ChosenTables& chosenTables() const { return chosen_; }

  const SetupPaths& paths() const { return paths_; }

 private:
  std::string Read(const std::string& section, const std::string& key, const char* def,
                   size_t limit) const;
  std::string BackupPath() const { return paths_.WorkingScript() + ".~ds"; }
  bool SameAsSource() const;

  platform::FileSystem& files_;
  platform::ProfileFiles& profiles_;
  SetupPaths paths_;
  ChosenTables chosen_;
  bool keptOld_ = false;
  bool copied_ = false;
};

}  // namespace dssetup
