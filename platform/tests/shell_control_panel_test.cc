// control.exe as the program manager's items start it: the applet opened by name through the
// CONTROL.INI registration or the Windows folders, and each way it cannot be.
#include <gtest/gtest.h>

#include "platform/files/version_image.h"
#include "platform/profile/profile.h"
#include "platform/shell/control_panel.h"
#include "platform/shell/shell.h"
#include "test_host.h"

namespace platform {
namespace {

class ControlPanelTest : public ::testing::Test {
 protected:
  Shell& shell() { return Shell::Of(host_.host()); }
  void Register(const std::string& key, const std::string& path) {
    host_.host().profiles().WriteString("MMCPL", key.c_str(), path.c_str(), "C:\\WINDOWS\\CONTROL.INI");
  }
  ScriptedUi& ui() { return host_.ui(); }
  testing::TestHost host_;
};

TEST_F(ControlPanelTest, StartedByBareNameWithoutAFileAndOpensTheRegisteredApplet) {
  host_.WriteFile("C:\\APPS\\Kvctrl32.cpl", PeWithVersion(0x00010002, 0x00030004, "applet"));
  Register("NumApps", "1");
  Register("KVG_TWAIN32", "C:\\APPS\\Kvctrl32.cpl");
  ui().ExpectMessageBox("Control Panel", "Opened C:\\APPS\\Kvctrl32.cpl (version 1.2.3.4).",
                        IDOK);
  EXPECT_EQ(shell().WinExec("control.exe KVCTRL32.CPL", SW_SHOWNORMAL), 33u);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  ASSERT_EQ(shell().Starts().size(), 1u);
  EXPECT_EQ(shell().Starts()[0].program, "C:\\WINDOWS\\control.exe");
  EXPECT_EQ(shell().Starts()[0].exitCode, 0);
  // Named with a folder, the control panel is a file like any other.
  EXPECT_EQ(shell().WinExec("A:\\control.exe x.cpl", SW_SHOWNORMAL), 2u);
}

TEST_F(ControlPanelTest, UnregisteredAppletIsFoundInTheWindowsThenTheSystemFolder) {
  host_.WriteFile("C:\\WINDOWS\\SYSTEM\\MAIN.CPL", PeWithVersion(0x00040000, 950, "main"));
  EXPECT_EQ(FindControlPanelApplet(host_.host(), "main.cpl"), "C:\\WINDOWS\\SYSTEM\\main.cpl");
  host_.WriteFile("C:\\WINDOWS\\MAIN.CPL", PeWithVersion(0x00040000, 951, "main"));
  EXPECT_EQ(FindControlPanelApplet(host_.host(), "main.cpl"), "C:\\WINDOWS\\main.cpl");
  // A registration whose file is gone does not hide one that exists.
  Register("MAIN", "C:\\GONE\\MAIN.CPL");
  EXPECT_EQ(FindControlPanelApplet(host_.host(), "MAIN.CPL"), "C:\\WINDOWS\\MAIN.CPL");
  EXPECT_EQ(FindControlPanelApplet(host_.host(), ""), std::nullopt);
}

TEST_F(ControlPanelTest, MissingOrNonProgramAppletIsAnErrorBoxAndExitCodeOne) {
  host_.WriteFile("C:\\WINDOWS\\TEXT.CPL", "not an image");
  ui().ExpectMessageBox("Control Panel", "Cannot find the control panel applet \"nothere.cpl\"",
                        IDOK);
  ui().ExpectMessageBox("Control Panel", "\"C:\\WINDOWS\\TEXT.CPL\" is not a control panel",
                        IDOK);
  // The control panel itself starts; what it says of the applet is its own business.
  EXPECT_EQ(shell().WinExec("control nothere.cpl", SW_SHOWNORMAL), 33u);
  EXPECT_EQ(shell().WinExec("control TEXT.CPL", SW_SHOWNORMAL), 33u);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  for (const ScriptedUi::Shown& shown : ui().History()) EXPECT_EQ(shown.type, MB_ICONERROR);
  EXPECT_EQ(shell().Starts()[0].exitCode, 1);
  EXPECT_EQ(shell().Starts()[1].exitCode, 1);
}

TEST_F(ControlPanelTest, WithoutArgumentsListsTheRegisteredAppletsButNotTheCount) {
  ui().ExpectMessageBox("Control Panel", "No control panel applets are registered.", IDOK);
  EXPECT_EQ(RunControlPanel(host_.host(), {}), 0);
  Register("NumApps", "2");
  Register("KVG_TWAIN32", "C:\\WINDOWS\\Kvctrl32.cpl");
  Register("OTHER", "C:\\WINDOWS\\OTHER.CPL");
  ui().ExpectMessageBox("Control Panel",
                        "Applets:\nKVG_TWAIN32: C:\\WINDOWS\\Kvctrl32.cpl\nOTHER: C:\\WINDOWS\\OTHER.CPL",
                        IDOK);
  EXPECT_EQ(RunControlPanel(host_.host(), {}), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  for (const ScriptedUi::Shown& shown : ui().History()) EXPECT_EQ(shown.text.find("NumApps"),
                                                                   std::string::npos);
}

}  // namespace
}  // namespace platform
