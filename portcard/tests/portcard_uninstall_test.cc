// portuninst: every value portinst wrote is removed again, on each Windows family; removing what
// was never written.
#include <ostream>

#include "platform/profile/profile.h"
#include "portcard_test_support.h"
#include "portinst.h"
#include "portuninst.h"

namespace portcard {
namespace {

using testing::kRebootText;
using testing::kRovozur;
using testing::kZorscnrVxd;
using testing::PortCardHost;

constexpr std::string_view kList = "[Port Address]\r\n0=278\r\n1=378\r\n";

// Runs portinst (first address, no restart) and then portuninst on the same machine.
void InstallThenRemove(PortCardHost& install, const Context& uninstallContext) {
  install.WriteAddresses(kList);
  install.ui().ExpectDialog(101, platform::IDOK);
  install.ui().ExpectMessageBox("Kelport Installation", std::string(kRebootText), platform::IDNO);
  ASSERT_EQ(RunPortInst(install.context()), 0);
  install.ui().ExpectMessageBox("Kelport Uninstallation", "remove the Kelport", platform::IDYES);
  install.ui().ExpectMessageBox("Kelport Uninstallation", std::string(kRebootText), platform::IDNO);
  ASSERT_EQ(RunPortUninst(uninstallContext), 0);
}

struct Case {
  const char* version;
  std::string_view key;  // empty: System.ini
};

// Named in test listings by its version, not by its bytes (pointers that change every run).
void PrintTo(const Case& c, std::ostream* os) { *os << c.version; }

class PortUninstRemovesWhatPortInstWrote : public ::testing::TestWithParam<Case> {};

TEST_P(PortUninstRemovesWhatPortInstWrote, AndKeepsEverythingElse) {
  const Case c = GetParam();
  PortCardHost h(c.version, PortInstResourceScript());
  platform::ResourceScript uninst = *platform::ParseResourceScript(PortUninstResourceScript()).script;
  Context uninstall = h.context();
  Context context{uninstall.files, uninstall.profiles, uninstall.registry, uninstall.system,
                  uninstall.ui,    uninstall.faults,   uninstall.programFolder, uninst};
  if (!c.key.empty()) {
    h.CreateKey(c.key);
    platform::RegKey key = 0;
    ASSERT_EQ(h.reg().OpenKey(platform::kHkeyLocalMachine, c.key, &key), 0);
    h.reg().SetString(key, "Other", "kept");
    h.reg().CloseKey(key);
  } else {
    h.t().WriteFile("C:\\WINDOWS\\SYSTEM.INI", "[ScannerParameters]\r\nOther=kept\r\n");
  }
  h.t().WriteFile("C:\\WINDOWS\\Vevezu.ini", "");
  InstallThenRemove(h, context);

  if (!c.key.empty()) {
    auto values = h.Values(c.key);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Other");
  } else {
    EXPECT_EQ(h.profiles().GetKeys("ScannerParameters", "System.ini"),
              (std::vector<std::string>{"Other"}));
  }
  // The scanner application's list stays.
  EXPECT_EQ(h.profiles().GetStringValue("ScannerInfo", "1", "", "C:\\WINDOWS\\Vevezu.ini"), "378");
}

INSTANTIATE_TEST_SUITE_P(Families, PortUninstRemovesWhatPortInstWrote,
                         ::testing::Values(Case{"nt4", kRovozur}, Case{"win2000", kRovozur},
                                           Case{"win95", kZorscnrVxd}, Case{"win98", ""}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.version) +
                                  (info.param.key.empty() ? "_SystemIni" : "_Registry");
                         });

TEST(PortUninst, NoEndsWithoutChanges) {
  PortCardHost h("win98", PortUninstResourceScript());
  h.CreateKey(kZorscnrVxd);
  platform::RegKey key = 0;
  ASSERT_EQ(h.reg().OpenKey(platform::kHkeyLocalMachine, kZorscnrVxd, &key), 0);
  h.reg().SetDword(key, "IOBase", 0x278);
  h.reg().CloseKey(key);
  h.ui().ExpectMessageBox("Kelport Uninstallation", "remove the Kelport", platform::IDNO);
  EXPECT_EQ(RunPortUninst(h.context()), kExitCancelled);
  EXPECT_EQ(h.Dword(kZorscnrVxd, "IOBase"), 0x278u);
}

TEST(PortUninst, NeverWrittenSettingsOnNineXStillOfferTheRestart) {
  PortCardHost h("win98", PortUninstResourceScript());
  h.ui().ExpectMessageBox("remove the Kelport", platform::IDYES);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDYES);
  EXPECT_EQ(RunPortUninst(h.context()), kExitDone);
  EXPECT_TRUE(h.Restarted());
}

TEST(PortUninst, NtWithoutAParametersKeyEndsSilently) {
  PortCardHost h("nt4", PortUninstResourceScript());
  h.ui().ExpectMessageBox("remove the Kelport", platform::IDYES);
  EXPECT_EQ(RunPortUninst(h.context()), kExitNoLocation);
  EXPECT_FALSE(h.Restarted());
}

}  // namespace
}  // namespace portcard
