// Modules: built-in providers by DLL name, module files in the system folders (shared objects and
// resource scripts), reference counts, and a language library's dialog shown through the UI.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "../testing/temp_dir.h"
#include "platform/ui/dialog_driver.h"
#include "platform/system/errors.h"
#include "platform/files/files.h"
#include "platform/modules/modules.h"
#include "platform/files/winpath.h"
#include "ui_test_support.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kEnglish = R"rc(
#define IDC_MODELS 1007
STRINGTABLE
BEGIN
    3 "Choose every model you own."
    4 "Please insert disk ? in drive ?:"
END

StartDlg DIALOGEX 0, 0, 220, 100
CAPTION "Welcome"
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT           "Setup installs the scanner software.",-1,7,7,200,8
    LISTBOX         IDC_MODELS,7,20,120,50
    COMBOBOX        1015,7,74,80,40,CBS_DROPDOWNLIST
    CONTROL         "&Express",1016,"Button",BS_AUTOCHECKBOX | WS_TABSTOP,140,60,60,10
    PUSHBUTTON      "Help",9,140,41,50,14
    DEFPUSHBUTTON   "OK",IDOK,140,7,50,14
    PUSHBUTTON      "Cancel",IDCANCEL,140,24,50,14
END
)rc";

int Answer() { return 42; }

class ModulesTest : public ::testing::Test {
 protected:
  ModulesTest() : fs_(Drives(), dir_.path() / "attributes"), modules_(fs_, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS") {
    fs::create_directories(dir_.path() / "c" / "windows" / "system");
    fs::create_directories(dir_.path() / "c" / "kvtwain");
  }
  DriveTable Drives() {
    DriveTable drives;
    drives.Map('C', dir_.path() / "c");
    return drives;
  }
  void Write(const std::string& relative, std::string_view content) {
    std::ofstream(dir_.path() / "c" / relative, std::ios::binary) << content;
  }

  testing::TempDir dir_;
  FileSystem fs_;
  Modules modules_;
};

TEST_F(ModulesTest, BuiltinFoundByItsNameWithoutRegardToCase) {
  ASSERT_TRUE(modules_.RegisterBuiltin("wnaspi32.dll", {{"GetASPI32SupportInfo", ToProcAddress(&Answer)}}));
  ModuleHandle a = modules_.LoadLibrary("WNASPI32.DLL");
  ASSERT_NE(a, 0u);
  EXPECT_EQ(modules_.LoadLibrary("wnaspi32"), a);  // ".DLL" is understood
  EXPECT_EQ(modules_.ReferenceCount(a), 2);
  EXPECT_EQ(modules_.GetModuleHandle("WnAspi32.dll"), a);
  EXPECT_EQ(modules_.GetModuleFileName(a), "builtin:wnaspi32.dll");
  auto* info = modules_.GetProc<int()>(a, "GetASPI32SupportInfo");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info(), 42);
  EXPECT_EQ(modules_.GetProcAddress(a, "getaspi32supportinfo"), nullptr);  // exports match exactly
  EXPECT_EQ(GetLastError(), kErrorProcNotFound);

  EXPECT_TRUE(modules_.FreeLibrary(a));
  EXPECT_EQ(modules_.ReferenceCount(a), 1);
  EXPECT_TRUE(modules_.FreeLibrary(a));
  EXPECT_EQ(modules_.ReferenceCount(a), 0);
  EXPECT_FALSE(modules_.FreeLibrary(a));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(modules_.GetProcAddress(a, "GetASPI32SupportInfo"), nullptr);
}

int Seven() { return 7; }

// A module imported by ordinal: the low word of a "name" below 0x10000 is the ordinal.
TEST_F(ModulesTest, BuiltinExportsByOrdinalAsWin32ReadsThem) {
  ASSERT_TRUE(modules_.RegisterBuiltin("kernel9.dll", {{"Answer", ToProcAddress(&Answer)}},
                                       {{134, ToProcAddress(&Seven)}, {0xFFFF, ToProcAddress(&Answer)}}));
  ModuleHandle m = modules_.LoadLibrary("KERNEL9");
  ASSERT_NE(m, 0u);
  auto* seven = reinterpret_cast<int (*)()>(modules_.GetProcAddress(m, OrdinalName(134)));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);
  EXPECT_EQ(modules_.GetProcAddressByOrdinal(m, 134), modules_.GetProcAddress(m, OrdinalName(134)));
  EXPECT_EQ(modules_.GetProcAddressByOrdinal(m, 0xFFFF), ToProcAddress(&Answer));  // the top ordinal
  EXPECT_EQ(modules_.GetProc<int()>(m, "Answer")(), 42);  // names still work beside ordinals

  for (uint16_t missing : {uint16_t{0}, uint16_t{133}, uint16_t{135}}) {
    SetLastError(0);
    EXPECT_EQ(modules_.GetProcAddress(m, OrdinalName(missing)), nullptr) << missing;
    EXPECT_EQ(GetLastError(), 127u);
  }
  // A name with no ordinal table behind it, and a module file, have no ordinals.
  ASSERT_TRUE(modules_.RegisterBuiltin("plain.dll", {{"Answer", ToProcAddress(&Answer)}}));
  ModuleHandle plain = modules_.LoadLibrary("plain.dll");
  SetLastError(0);
  EXPECT_EQ(modules_.GetProcAddressByOrdinal(plain, 1), nullptr);
  EXPECT_EQ(GetLastError(), 127u);
  EXPECT_TRUE(modules_.FreeLibrary(m));
  SetLastError(0);
  EXPECT_EQ(modules_.GetProcAddressByOrdinal(m, 134), nullptr);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST_F(ModulesTest, AMissingModuleFailsAsAMissingDllDoes) {
  SetLastError(0);
  EXPECT_EQ(modules_.LoadLibrary("STIASPI.DLL"), 0u);
  EXPECT_EQ(GetLastError(), kErrorModNotFound);
  EXPECT_NE(modules_.LastLoadError().find("STIASPI.DLL"), std::string::npos);
  EXPECT_EQ(modules_.LoadLibrary("C:\\NOWHERE\\X.DLL"), 0u);
  EXPECT_EQ(GetLastError(), 126u);
}

TEST_F(ModulesTest, LanguageLibraryFromAResourceScriptShowsItsDialogThroughTheUi) {
  Write("windows/system/english.rc", kEnglish);
  ModuleHandle lang = modules_.LoadLibrary("ENGLISH.DLL");
  ASSERT_NE(lang, 0u) << modules_.LastLoadError();
  EXPECT_TRUE(EqualsNoCase(modules_.GetModuleFileName(lang), "C:\\WINDOWS\\SYSTEM\\ENGLISH.RC"))
      << modules_.GetModuleFileName(lang);
  EXPECT_EQ(modules_.LoadString(lang, 3), "Choose every model you own.");
  char small[8];
  EXPECT_EQ(modules_.LoadString(lang, 4, small, sizeof small), 7);
  EXPECT_STREQ(small, "Please ");
  EXPECT_EQ(modules_.LoadString(lang, 5), std::nullopt);
  EXPECT_EQ(GetLastError(), kErrorResourceNameNotFound);
  EXPECT_EQ(modules_.GetProcAddress(lang, "Unpack"), nullptr);

  std::optional<DialogTemplate> start = modules_.LoadDialog(lang, "STARTDLG");
  ASSERT_TRUE(start);
  EXPECT_FALSE(modules_.LoadDialog(lang, 6401));
  testing::RecordingUi r;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam w, LParam) -> intptr_t {
    if (msg == WM_INITDIALOG) {
      r.ui.SendDlgItemMessage(dlg, 1007, LB_ADDSTRING, 0, reinterpret_cast<LParam>("610P"));
      r.ui.SendDlgItemMessage(dlg, 1015, CB_ADDSTRING, 0, reinterpret_cast<LParam>("Orvex"));
      return 1;
    }
    if (msg == WM_COMMAND && LoWord(w) == IDOK) r.ui.EndDialog(dlg, r.ui.IsDlgButtonChecked(dlg, 1016) ? 100 : 1);
    return msg == WM_COMMAND;
  };
  r.script.ExpectDialog("StartDlg", [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Welcome");
    EXPECT_EQ(d.Text(-1), "Setup installs the scanner software.");
    EXPECT_EQ(d.Items(1007), std::vector<std::string>{"610P"});
    EXPECT_EQ(d.Items(1015), std::vector<std::string>{"Orvex"});
    EXPECT_TRUE(d.Check(1016, true));
    EXPECT_EQ(d.DefaultButton(), IDOK);
    d.Click(IDOK);
  });
  EXPECT_EQ(r.ui.DialogBox(*start, 0, proc), 100);
  EXPECT_TRUE(r.failures.empty());
  EXPECT_TRUE(modules_.FreeLibrary(lang));
}

TEST_F(ModulesTest, TheApplicationFolderComesFirstAndAFolderNamesOneFile) {
  Write("windows/english.rc", "STRINGTABLE { 3 \"from the Windows folder\" }");
  Write("kvtwain/ENGLISH.RC", "STRINGTABLE { 3 \"from the application\" }");
  ModuleHandle fromWindows = modules_.LoadLibrary("english");
  EXPECT_EQ(modules_.LoadString(fromWindows, 3), "from the Windows folder");
  modules_.SetApplicationFolder("C:\\KVTWAIN");
  ModuleHandle fromApp = modules_.LoadLibrary("english");
  EXPECT_NE(fromApp, fromWindows);
  EXPECT_EQ(modules_.LoadString(fromApp, 3), "from the application");
  EXPECT_EQ(modules_.LoadLibrary("C:\\WINDOWS\\ENGLISH.DLL"), fromWindows);
  EXPECT_EQ(modules_.ReferenceCount(fromWindows), 2);
}

TEST_F(ModulesTest, BrokenModulesFailWithBadFormatAndSayWhere) {
  Write("windows/system/german.rc", "STRINGTABLE\nBEGIN\n 3 \"Bitte\n");
  EXPECT_EQ(modules_.LoadLibrary("GERMAN.DLL"), 0u);
  EXPECT_EQ(GetLastError(), kErrorBadFormat);
  EXPECT_NE(modules_.LastLoadError().find("GERMAN.rc: line 3"), std::string::npos) << modules_.LastLoadError();

  Write("windows/system/pe.dll", "MZ\x90\0 this is a Windows image");
  EXPECT_EQ(modules_.LoadLibrary("pe.dll"), 0u);
  EXPECT_EQ(GetLastError(), kErrorBadFormat);

  EXPECT_FALSE(modules_.RegisterBuiltin("lang.dll", {}, "STRINGTABLE {"));
  EXPECT_EQ(modules_.LoadLibrary("lang.dll"), 0u);
}

TEST_F(ModulesTest, ASharedObjectIsOpenedWithItsResourceScriptBeside) {
  Dl_info info{};
  double (*cosine)(double) = &std::cos;
  if (!::dladdr(reinterpret_cast<void*>(cosine), &info) || !info.dli_fname ||
      std::string(info.dli_fname).find("libm") == std::string::npos) {
    GTEST_SKIP() << "the math library is not a shared object here";
  }
  fs::copy_file(info.dli_fname, dir_.path() / "c" / "windows" / "system" / "MATHLIB.DLL");
  Write("windows/system/mathlib.rc", "STRINGTABLE { 1 \"cosine\" }");
  ModuleHandle m = modules_.LoadLibrary("mathlib");
  ASSERT_NE(m, 0u) << modules_.LastLoadError();
  auto* cosFromModule = modules_.GetProc<double(double)>(m, "cos");
  ASSERT_NE(cosFromModule, nullptr);
  EXPECT_EQ(cosFromModule(0.0), 1.0);
  EXPECT_EQ(modules_.GetProcAddress(m, "no_such_symbol"), nullptr);
  EXPECT_EQ(GetLastError(), kErrorProcNotFound);
  EXPECT_EQ(modules_.LoadString(m, 1), "cosine");
  EXPECT_TRUE(modules_.FreeLibrary(m));
}

}  // namespace
}  // namespace platform
