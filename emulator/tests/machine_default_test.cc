#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "aspi_client.h"
#include "machine.h"
#include "platform/aspi/aspi.h"
#include "platform/aspi/aspi_service.h"
#include "platform/devices/config_manager.h"
#include "platform/clock/event.h"
#include "platform/modules/modules.h"
#include "platform/registry/registry.h"
#include "platform/ui/scripted_ui.h"
#include "test_host.h"

namespace emulator {
namespace {

using namespace platform;

using emulator::testing::AspiClient;

TEST(MachineTest, DefaultMachineHasItsThreeScanners) {
  platform::testing::TestHost t;
  EXPECT_TRUE(std::filesystem::exists(t.root() / "machine.ini"));
  EXPECT_TRUE(Machine::Attach(t.host()).description().problems.empty());
  AspiClient aspi(t.host(), "WNASPI32.DLL");
  ASSERT_TRUE(aspi.loaded());
  ASSERT_EQ(aspi.adapters(), 2);
  EXPECT_EQ(aspi.AdapterId(0), "hba0 scsi");
  EXPECT_EQ(aspi.AdapterId(1), "eppscsi");
  EXPECT_EQ(aspi.ModelAt(0, 2), "Color   FlatbedScanner_4");  // completes at once
  EXPECT_EQ(aspi.ModelAt(1, 0), "Color   FlatbedScanner_3");  // completes later, by the event
  uint8_t status = 0;
  EXPECT_EQ(aspi.ModelAt(0, 3, &status), "");
  EXPECT_NE(status, SS_COMP);
  AspiClient sti(t.host(), "stiaspi.dll");
  ASSERT_TRUE(sti.loaded());
  ASSERT_EQ(sti.adapters(), 1);
  EXPECT_EQ(sti.ModelAt(0, 0), "Color   FlatbedScanner_5");
}

TEST(MachineTest, EppAdapterSettingsAreInTheRegistry) {
  platform::testing::TestHost t;
  RegKey key = 0;
  ASSERT_EQ(t.host().registry().OpenKey(kHkeyLocalMachine, std::string(kEppAdapterKey), &key), 0);
  uint32_t value = 0;
  EXPECT_EQ(t.host().registry().GetDword(key, "Base", &value), 0);
  EXPECT_EQ(value, 0x378u);
  EXPECT_EQ(t.host().registry().GetDword(key, "LptMode", &value), 0);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(t.host().registry().GetDword(key, "DataMode", &value), 0);
  EXPECT_EQ(value, 3u);
  EXPECT_EQ(t.host().registry().GetDword(key, "ManualModeOn", &value), 0);
  EXPECT_EQ(value, 0u);
  t.host().registry().CloseKey(key);
}

TEST(MachineTest, LateScannerAppearsAfterARescan) {
  platform::testing::TestHost t(
      {.machine = "[machine]\nadapters=a\n[a]\nkind=scsi\ntarget1=s,late\n[s]\nmodel=Color   FlatbedScanner_1\n"});
  Host& host = t.host();
  AspiClient aspi(host, "wnaspi32");
  EXPECT_EQ(aspi.ModelAt(0, 1), "");
  DevInst root = 0;
  ASSERT_EQ(CM_Locate_DevNodeA(&root, nullptr, 0), CR_SUCCESS);
  ASSERT_EQ(CM_Reenumerate_DevNode(root, CM_REENUMERATE_SYNCHRONOUS), CR_SUCCESS);
  EXPECT_EQ(aspi.ModelAt(0, 1), "Color   FlatbedScanner_1");
}

TEST(MachineTest, BadDescriptionsAreReportedNotFatal) {
  platform::testing::TestHost t(
      {.machine = "[machine]\nadapters=a,b\n[a]\nkind=floppy\nmaxtransfer=lots\ntarget0=ghost\n"
                  "target1=s\n[s]\noptical=-5\nadbits=9\ndelays=1\n[b]\nkind=usb\n"});
  Host& host = t.host();
  const MachineDescription& description = Machine::Attach(host).description();
  EXPECT_GE(description.problems.size(), 5u);
  ASSERT_EQ(description.adapters.size(), 2u);
  ASSERT_NE(Machine::Attach(host).Scanner("s"), nullptr);
  EXPECT_EQ(Machine::Attach(host).Scanner("s")->model().opticalRes, 600);  // the default kept
  EXPECT_EQ(Machine::Attach(host).Scanner("ghost"), nullptr);
}

}  // namespace
}  // namespace emulator
