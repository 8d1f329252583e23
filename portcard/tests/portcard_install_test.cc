// portinst: the address dialog, the location chosen on each Windows family, the values stored,
// the scanner application's list and the restart question.
#include "platform/system/system.h"
#include "platform/system/token.h"
#include "portcard_test_support.h"
#include "portinst.h"

namespace portcard {
namespace {

using platform::DialogDriver;
using testing::kRebootText;
using testing::kRovozur;
using testing::kScanDev;
using testing::kZorscnrVxd;
using testing::PortCardHost;

constexpr std::string_view kList = "[Port Address]\r\n0=278\r\n1=378\r\n2=3BC\r\n";

// Dialog 101 with its list as offered; picks item `index` and presses OK.
void ChooseAddress(PortCardHost& h, int index, std::vector<std::string>* offered = nullptr) {
  h.ui().ExpectDialog(101, [=](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Kelport Definition");
    if (offered) *offered = d.Items(1001);
    EXPECT_EQ(d.Selection(1001), 0);  // the first entry comes selected
    d.Select(1001, index);
    d.Click(1);
  });
}

TEST(PortInst, NtWritesOnlyTheFirstParametersKeyThatExists) {
  PortCardHost h("nt4", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey(kRovozur);
  h.CreateKey(kScanDev);
  std::vector<std::string> offered;
  ChooseAddress(h, 1, &offered);
  h.ui().ExpectMessageBox("Kelport Installation", std::string(kRebootText), platform::IDNO);

  EXPECT_EQ(RunPortInst(h.context()), 0);
  EXPECT_EQ(offered, (std::vector<std::string>{"278", "378", "3BC"}));
  EXPECT_EQ(h.Dword(kRovozur, "Chipset"), 16u);
  EXPECT_EQ(h.Dword(kRovozur, "PortAddress"), 0x378u);
  EXPECT_EQ(h.Dword(kRovozur, "PortMode"), 0u);
  EXPECT_TRUE(h.Values(kScanDev).empty());
  EXPECT_FALSE(h.Restarted());
}

TEST(PortInst, NtFallsThroughTheKeysInOrder) {
  PortCardHost h("win2000", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey("SYSTEM\\CurrentControlSet\\Services\\Brantell\\Parameters");
  h.CreateKey(kScanDev);
  ChooseAddress(h, 2);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDNO);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  EXPECT_EQ(h.Dword("SYSTEM\\CurrentControlSet\\Services\\Brantell\\Parameters", "PortAddress"),
            0x3BCu);
  EXPECT_TRUE(h.Values(kScanDev).empty());
}

TEST(PortInst, NtWithoutAnyParametersKeyEndsSilentlyWithoutChanges) {
  PortCardHost h("nt4", PortInstResourceScript());
  h.WriteAddresses(kList);
  ChooseAddress(h, 0);
  // No restart question: the scripted backend reports one nobody expected.
  EXPECT_EQ(RunPortInst(h.context()), kExitNoLocation);
  EXPECT_FALSE(h.Restarted());
}

TEST(PortInst, NineXPrefersTheVxdKey) {
  PortCardHost h("win95", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey(kZorscnrVxd);
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDNO);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  EXPECT_EQ(h.Dword(kZorscnrVxd, "ChipSet"), 16u);
  EXPECT_EQ(h.Dword(kZorscnrVxd, "IOBase"), 0x278u);
  EXPECT_EQ(h.Dword(kZorscnrVxd, "PortMode"), 0u);
  EXPECT_EQ(h.profiles().GetStringValue("ScannerParameters", "Vevezu_IO", "none", "System.ini"),
            "none");
}

TEST(PortInst, NineXWithoutVxdKeyStoresTheChosenTextInSystemIni) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses("[Port Address]\r\n0=3bc\r\n");
  h.t().WriteFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\n");
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDNO);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  auto text = h.t().host().files().ReadFile("C:\\WINDOWS\\SYSTEM.INI");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("[boot]\r\nshell=Explorer.exe\r\n"), std::string::npos);
  EXPECT_NE(text->find("[ScannerParameters]"), std::string::npos);
  EXPECT_NE(text->find("Vevezu_IO=3bc"), std::string::npos);  // exactly as chosen
  EXPECT_NE(text->find("Port_ChipType=16"), std::string::npos);
  EXPECT_NE(text->find("Port_Mode=0"), std::string::npos);
}

TEST(PortInst, CopiesTheListIntoTheScannerApplicationsProfile) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.t().WriteFile("C:\\WINDOWS\\Vevezu.ini", "[ScannerInfo]\r\n0=old\r\n");
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDNO);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  for (auto [key, value] : {std::pair{"0", "278"}, {"1", "378"}, {"2", "3BC"}}) {
    EXPECT_EQ(h.profiles().GetStringValue("ScannerInfo", key, "", "C:\\WINDOWS\\Vevezu.ini"),
              value);
  }
}

TEST(PortInst, WithoutTheApplicationsProfileNoneIsMade) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses(kList);
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDNO);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  EXPECT_FALSE(h.t().host().files().Exists("C:\\WINDOWS\\Vevezu.ini"));
  EXPECT_FALSE(h.t().host().files().Exists("A:\\Vevezu.ini"));
}

TEST(PortInst, CancelChangesNothing) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey(kZorscnrVxd);
  h.ui().ExpectDialog(101, platform::IDCANCEL);
  EXPECT_EQ(RunPortInst(h.context()), kExitCancelled);
  EXPECT_TRUE(h.Values(kZorscnrVxd).empty());
}

// Regression: with nothing in the list, OK used to store address 0.
TEST(PortInst, OkOnAnEmptyListChangesNothing) {
  PortCardHost h("nt4", PortInstResourceScript());
  h.WriteAddresses("[Port Address]\r\n1=278\r\n");
  h.CreateKey(kRovozur);
  h.ui().ExpectDialog(101, [](DialogDriver& d) {
    EXPECT_TRUE(d.Items(1001).empty());
    d.Click(1);
  });
  EXPECT_EQ(RunPortInst(h.context()), kExitCancelled);
  EXPECT_TRUE(h.Values(kRovozur).empty());
  EXPECT_FALSE(h.Restarted());
}

TEST(PortInst, NtRestartEnablesTheShutdownPrivilegeFirst) {
  PortCardHost h("nt4", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey(kRovozur);
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDYES);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  const auto& requests = h.t().host().system().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].kind, platform::SystemRequest::Kind::kPrivilege);
  EXPECT_EQ(requests[0].detail, "enable SeShutdownPrivilege");
  EXPECT_EQ(requests[1].kind, platform::SystemRequest::Kind::kRestart);
}

TEST(PortInst, NtWithoutTheTokenDoesNotRestart) {
  PortCardHost h("nt4", PortInstResourceScript());
  h.WriteAddresses(kList);
  h.CreateKey(kRovozur);
  h.t().host().faults().FailEvery(platform::fault_point::kSystemToken);
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDYES);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  EXPECT_EQ(h.Dword(kRovozur, "Chipset"), 16u);
  EXPECT_TRUE(h.t().host().system().Requests().empty());
}

TEST(PortInst, NineXRestartsDirectly) {
  PortCardHost h("win95", PortInstResourceScript());
  h.WriteAddresses(kList);
  ChooseAddress(h, 0);
  h.ui().ExpectMessageBox(std::string(kRebootText), platform::IDYES);
  EXPECT_EQ(RunPortInst(h.context()), 0);
  const auto& requests = h.t().host().system().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, platform::SystemRequest::Kind::kRestart);
}

}  // namespace
}  // namespace portcard
