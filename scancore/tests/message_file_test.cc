// The message file: where it is looked for, what it holds and how texts and dialogs pass
// through it.
#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"
#include "platform/ui/ui.h"
#include "library_state.h"
#include "scancore/message_file.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::ScannerHost;

std::string Entry(const std::string& source, const std::string& translation) {
  return "\"" + source + "\" = \"" + translation + "\"\n";
}

TEST(MessageFileTest, TranslatesExactCaseSensitiveMatchesOnly) {
  CMessageFile file;
  file.LoadText(Entry("Cancel", "Abbrechen") + Entry("Scanner", "Scanner-X"));
  EXPECT_FALSE(file.disabled());
  EXPECT_EQ(file.Translate("Cancel"), "Abbrechen");
  EXPECT_EQ(file.Translate("cancel"), "cancel");
  EXPECT_EQ(file.Translate("Cancel "), "Cancel ");
  EXPECT_EQ(file.Translate(""), "");
}

TEST(MessageFileTest, LineBreaksAreWrittenAsBackslashN) {
  CMessageFile file;
  file.LoadText(Entry("Line one\\nLine two", "Zeile eins\\nZeile zwei"));
  EXPECT_EQ(file.Translate("Line one\nLine two"), "Zeile eins\nZeile zwei");
  // An untranslated text keeps its line breaks.
  EXPECT_EQ(file.Translate("Other\ntext"), "Other\ntext");
}

TEST(MessageFileTest, OnlyCompleteLinesWithFourQuotesAreEntries) {
  CMessageFile file;
  file.LoadText("\"A\" \"1\"\n"          // four quotes
                "\"B\" \"2\n"            // three: skipped
                "no quotes at all\n"
                "x\"C\"y\"3\"z trailing\n"  // text around the quotes is ignored
                "\"D\" \"4\"");          // no final line feed: not read
  EXPECT_EQ(file.size(), 2u);
  EXPECT_EQ(file.Translate("A"), "1");
  EXPECT_EQ(file.Translate("B"), "B");
  EXPECT_EQ(file.Translate("C"), "3");
  EXPECT_EQ(file.Translate("D"), "D");
}

TEST(MessageFileTest, WithoutEntriesEverythingPassesUnchanged) {
  CMessageFile file;
  file.LoadText("just a line\n");
  EXPECT_TRUE(file.disabled());
  // Disabled, even the backslash-n pairs stay as they are.
  EXPECT_EQ(file.Translate("a\\nb"), "a\\nb");
}

TEST(MessageFileTest, LimitsOfTheTable) {
  std::string text;
  for (int i = 1; i <= 301; ++i) text += Entry("k" + std::to_string(i), "v" + std::to_string(i));
  CMessageFile file;
  file.LoadText(text.substr(0, CMessageFile::kMaxBytes));
  // Only the first 12000 bytes are read; every line there stays within 300 entries.
  EXPECT_LE(file.size(), 300u);

  std::string many;
  for (int i = 1; i <= 301; ++i) many += "\"" + std::to_string(i % 10) + "\"\"" + "t\"\n";
  file.LoadText(many);
  EXPECT_EQ(file.size(), 300u);  // the 301st is ignored

  // Of one length, the first 50 entries are found; later ones are kept but never found.
  std::string same;
  auto key = [](int i) { return std::string(1, char('#' + i)); };
  for (int i = 0; i < 51; ++i) same += Entry(key(i), "=" + std::to_string(i));
  file.LoadText(same);
  EXPECT_EQ(file.size(), 51u);
  EXPECT_EQ(file.Translate(key(0)), "=0");
  EXPECT_EQ(file.Translate(key(49)), "=49");
  EXPECT_EQ(file.Translate(key(50)), key(50));
}

TEST(MessageFileTest, LongKeysAndLinesAreHarmless) {
  const std::string key149(149, 'k'), key150(150, 'k');
  CMessageFile file;
  file.LoadText(Entry(key149, "short") + Entry(key150, "never") + std::string(20000, 'x') + "\n");
  EXPECT_EQ(file.Translate(key149), "short");
  EXPECT_EQ(file.Translate(key150), key150);
  // A line break escapes to two characters, which count towards the length.
  file.LoadText(Entry(std::string(147, 'a') + "\\n", "found") +
                Entry(std::string(148, 'a') + "\\n", "lost"));
  EXPECT_EQ(file.Translate(std::string(147, 'a') + "\n"), "found");
  EXPECT_EQ(file.Translate(std::string(148, 'a') + "\n"), std::string(148, 'a') + "\n");
}

TEST(MessageFileTest, LocationComesFromTheRegistryWithDefaults) {
  ScannerHost t;
  EXPECT_EQ(scancore::LibraryState::Of(t.host()).MessageFileLocation(), "C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg");
  platform::Registry& reg = t.host().registry();
  platform::RegKey key = 0;
  ASSERT_EQ(reg.CreateKey(platform::kHkeyLocalMachine,
                          "SOFTWARE\\Vemo Vuvidezozar Inc.\\Tovelink\\V3.00", &key), 0);
  reg.SetString(key, "Name", "German");
  EXPECT_EQ(scancore::LibraryState::Of(t.host()).MessageFileLocation(), "C:\\WINDOWS\\Twain_32\\Tove3_00\\German.msg");
  reg.SetString(key, "Path", "Lang");
  reg.SetString(key, "Name", std::string(300, 'n'));  // longer than the library reads
  EXPECT_EQ(scancore::LibraryState::Of(t.host()).MessageFileLocation(), "C:\\WINDOWS\\Twain_32\\Lang\\Tovelink.msg");
  reg.CloseKey(key);
}

TEST(MessageFileTest, RegistryValuesOf255CharactersAreUsedAnd256AreNot) {
  ScannerHost t;
  platform::Registry& reg = t.host().registry();
  platform::RegKey key = 0;
  ASSERT_EQ(reg.CreateKey(platform::kHkeyLocalMachine,
                          "SOFTWARE\\Vemo Vuvidezozar Inc.\\Tovelink\\V3.00", &key), 0);
  const auto location = [&] { return scancore::LibraryState::Of(t.host()).MessageFileLocation(); };
  // 255 characters and the terminating zero fill the 256 bytes the library reads into.
  reg.SetString(key, "Path", std::string(255, 'p'));
  reg.SetString(key, "Name", std::string(255, 'n'));
  EXPECT_EQ(location(), "C:\\WINDOWS\\Twain_32\\" + std::string(255, 'p') + "\\" +
                            std::string(255, 'n') + ".msg");
  reg.SetString(key, "Path", std::string(256, 'p'));
  EXPECT_EQ(location(), "C:\\WINDOWS\\Twain_32\\Tove3_00\\" + std::string(255, 'n') + ".msg");
  reg.SetString(key, "Path", "Lang");
  reg.SetString(key, "Name", std::string(256, 'n'));
  EXPECT_EQ(location(), "C:\\WINDOWS\\Twain_32\\Lang\\Tovelink.msg");
  reg.CloseKey(key);
}

TEST(MessageFileTest, OnlyTheFirst12000BytesOfTheFileAreRead) {
  const std::string first = Entry("First", "Erste"), last = Entry("Last", "Letzte");
  for (size_t size : {12000u, 12001u}) {
    ScannerHost t;
    // The last entry's line feed is byte `size` of the file.
    const std::string filler = std::string(size - first.size() - last.size() - 1, '#') + "\n";
    const std::string path = "C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg";
    t.WriteFile(path, first + filler + last);
    CMessageFile file;
    file.Load(t.host().files(), path);
    EXPECT_EQ(file.Translate("First"), "Erste") << size;
    EXPECT_EQ(file.Translate("Last"), size == 12000u ? "Letzte" : "Last") << size;
  }
}

TEST(MessageFileTest, ProcessFileIsLoadedOnceFromItsLocation) {
  ScannerHost t;
  t.WriteFile("C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg", Entry("Scanner", "Numeriseur"));
  const CMessageFile& file = scancore::LibraryState::Of(t.host()).messages();
  EXPECT_EQ(file.Translate("Scanner"), "Numeriseur");
  t.WriteFile("C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg", Entry("Scanner", "changed"));
  EXPECT_EQ(scancore::LibraryState::Of(t.host()).messages().Translate("Scanner"), "Numeriseur");
}

TEST(MessageFileTest, TranslateWindowCoversCaptionChildrenAndComboItems) {
  ScannerHost t;
  CMessageFile file;
  file.LoadText(Entry("Progress", "Fortschritt") + Entry("Cancel", "Abbrechen") +
                Entry("Fast", "Schnell") + Entry("Slow", "Langsam"));
  platform::UserInterface& ui = t.host().ui();
  platform::DialogTemplate layout;
  layout.caption = "Progress";
  layout.controls.push_back({"Button", "Cancel", platform::IDCANCEL, 0});
  layout.controls.push_back({"ComboBox", "", 10, 0});
  layout.controls.push_back({"Static", "cancel", 11, 0});
  platform::Hwnd dialog = ui.CreateDialog(layout, 0);
  ASSERT_NE(dialog, 0u);
  const platform::Hwnd combo = ui.GetDlgItem(dialog, 10);
  for (const char* item : {"Fast", "Other", "Slow"}) {
    ui.SendMessage(combo, platform::CB_ADDSTRING, 0, reinterpret_cast<platform::LParam>(item));
  }
  file.TranslateWindow(ui, dialog);
  EXPECT_EQ(ui.GetWindowText(dialog), "Fortschritt");
  EXPECT_EQ(ui.GetDlgItemText(dialog, platform::IDCANCEL), "Abbrechen");
  EXPECT_EQ(ui.GetItems(combo), (std::vector<std::string>{"Schnell", "Other", "Langsam"}));
  EXPECT_EQ(ui.GetDlgItemText(dialog, 11), "cancel");
  ui.DestroyWindow(dialog);
}

}  // namespace
}  // namespace scancore
