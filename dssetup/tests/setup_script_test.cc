#include "script_fixture.h"

#include "platform/faults/faults.h"

namespace dssetup {
namespace {

using testing::ScriptTest;

TEST_F(ScriptTest, WorkingCopyIsByteEqualAndAnEarlierScriptComesBack) {
  const std::string source = "[Language]\r\nNumOfLang=1\r\n; comment\r\n";
  WriteScript(source);
  host_.WriteFile("C:\\WINDOWS\\SETUP.INI", "[old]\r\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  EXPECT_EQ(*host_.host().files().ReadFile("C:\\WINDOWS\\SETUP.INI"), source);
  script.RemoveWorkingCopy();
  EXPECT_EQ(*host_.host().files().ReadFile("C:\\WINDOWS\\SETUP.INI"), "[old]\r\n");
}

TEST_F(ScriptTest, WithoutAnEarlierScriptTheWorkingCopyIsDeleted) {
  WriteScript("[Language]\r\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  script.RemoveWorkingCopy();
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI"));
}

TEST_F(ScriptTest, MissingSourceFailsTheCopyAndLeavesTheWindowsFolderAlone) {
  host_.WriteFile("C:\\WINDOWS\\SETUP.INI", "[old]\r\n");
  SetupScript script = Script();
  EXPECT_FALSE(script.CopyToWorkingCopy());
  script.RemoveWorkingCopy();
  EXPECT_EQ(*host_.host().files().ReadFile("C:\\WINDOWS\\SETUP.INI"), "[old]\r\n");
}

TEST_F(ScriptTest, LanguageCountIsClampedToOneToFive) {
  for (auto [written, expected] : {std::pair{0, 1}, {1, 1}, {5, 5}, {6, 5}, {-3, 1}}) {
    WriteScript("[Language]\nNumOfLang=" + std::to_string(written) + "\n");
    SetupScript script = Script();
    ASSERT_TRUE(script.CopyToWorkingCopy());
    EXPECT_EQ(script.LanguageCount(), expected) << written;
  }
}

TEST_F(ScriptTest, WithoutLangKeyTheFixedLanguageIsEnglish) {
  WriteScript("[Language]\nNumOfLang=1\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  EXPECT_EQ(script.FixedLanguage(), 1);
}

TEST_F(ScriptTest, AtMostNineModelsAreOffered) {
  std::string text = "[Scanner]\n";
  for (int i = 1; i <= 12; ++i) text += std::to_string(i) + "=Model " + std::to_string(i) + "\n";
  WriteScript(text + "NumOfScanners=12\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  auto names = script.ModelNames();
  ASSERT_EQ(names.size(), 9u);
  EXPECT_EQ(names[8], "Model 9");
  WriteScript(text + "NumOfScanners=8\n");
  ASSERT_TRUE(script.CopyToWorkingCopy());
  EXPECT_EQ(script.ModelNames().size(), 8u);
}

TEST_F(ScriptTest, ModelTablesJoinTheFileListWithTwain32) {
  WriteScript(
      "[English]\nNumOfFiles=2\n1=\\A.DS \\KV \\TWAIN_32 1\n2=\\B.DLL \\KV \\WINDOWS 1\n"
      "[S600]\nNumOfLuts=2\nLut1=\\R.LUT \\KV \\TWAIN 2\nLut2=\\T.LUT \\KV \\TWAIN 2\n"
      "NumOfGammaR=1\nGammaR1=\\G1.GAM \\KV \\TWAIN 2\nLangR1=,Normal\n"
      "NumOfGammaT=1\nGammaT1=\\G2.GAM \\KV \\TWAIN 2\nLangT1=,Film\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  script.ExtendForModel("S600", "English", nullptr);
  const std::string w = paths_.WorkingScript();
  EXPECT_EQ(Ini(w, "English", "NumOfFiles"), "6");
  EXPECT_EQ(Ini(w, "English", "3"), "\\R.LUT \\KV \\TWAIN_32 2");
  EXPECT_EQ(Ini(w, "English", "4"), "\\T.LUT \\KV \\TWAIN_32 2");
  EXPECT_EQ(Ini(w, "English", "5"), "\\G1.GAM \\KV \\TWAIN_32 2");
  EXPECT_EQ(Ini(w, "English", "6"), "\\G2.GAM \\KV \\TWAIN_32 2");
  const ChosenTables& t = script.chosenTables();
  EXPECT_EQ(t.lutNames, (std::vector<std::string>{"\\R.LUT", "\\T.LUT"}));
  EXPECT_EQ(t.gammaRDisplay, std::vector<std::string>{"\\G1.GAM,Normal"});
  EXPECT_EQ(t.gammaTDisplay, std::vector<std::string>{"\\G2.GAM,Film"});
}

TEST_F(ScriptTest, ModelWithoutToneTablesAddsNothing) {
  WriteScript("[English]\nNumOfFiles=1\n[S]\nNumOfLuts=0\nNumOfGammaR=1\n"
              "GammaR1=\\G.GAM \\KV \\TWAIN 1\nNumOfGammaT=0\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  script.ExtendForModel("S", "English", nullptr);
  EXPECT_EQ(Ini(paths_.WorkingScript(), "English", "NumOfFiles"), "1");
  EXPECT_EQ(Ini(paths_.WorkingScript(), "English", "2"), "<none>");
  EXPECT_TRUE(script.chosenTables().lutNames.empty());
}

TEST_F(ScriptTest, MissingGammaCountStopsWithoutUpdatingTheFileCount) {
  WriteScript("[English]\nNumOfFiles=1\n[S]\nNumOfLuts=1\nLut1=\\R.LUT \\KV \\TWAIN 1\n"
              "NumOfGammaR=0\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  script.ExtendForModel("S", "English", nullptr);
  EXPECT_EQ(Ini(paths_.WorkingScript(), "English", "2"), "\\R.LUT \\KV \\TWAIN_32 1");
  EXPECT_EQ(Ini(paths_.WorkingScript(), "English", "NumOfFiles"), "1");
}

TEST_F(ScriptTest, FailedScriptWriteIsReportedWithItsTable) {
  WriteScript("[English]\nNumOfFiles=0\n[S]\nNumOfLuts=1\nLut1=\\R.LUT \\KV \\TWAIN 1\n"
              "NumOfGammaR=0\nNumOfGammaT=0\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  host_.ui().ExpectMessageBox("UpdateSetupIni( Lut)", "Error updating SETUP.INI", platform::IDOK);
  host_.host().faults().FailEvery("files.rename");
  script.ExtendForModel("S", "English", &host_.host().ui());
  EXPECT_TRUE(host_.ui().Unmet().empty());
}

}  // namespace
}  // namespace dssetup
