// The three modules as a deliverable loads them, their support info, and what the still-image
// layer carries.
#include "aspi_test_support.h"
#include "platform/system/errors.h"

namespace platform {
namespace {

using aspi_test::AspiTest;
using aspi_test::ExecBlock;
using aspi_test::FakeDevice;
using Completion = ScsiAdapter::Completion;

class AspiModulesTest : public AspiTest {
 protected:
  AspiModulesTest() {
    AddAdapter(AdapterKind::kScsi, Completion::kImmediate)->Attach(2, scsiDevice_);
    AddAdapter(AdapterKind::kEpp, Completion::kLater, "eppscsi");
    AddAdapter(AdapterKind::kStillImage, Completion::kLater, "stiaspi")->Attach(0, usbDevice_);
  }
  std::shared_ptr<FakeDevice> scsiDevice_ = std::make_shared<FakeDevice>("SCSI    SCANNER");
  std::shared_ptr<FakeDevice> usbDevice_ = std::make_shared<FakeDevice>("USB     SCANNER");
};

TEST_F(AspiModulesTest, ModulesLoadByAnyCaseAndReportTheirAdapters) {
  struct Case {
    std::string_view name;
    uint32_t adapters;  // SCSI and EPP on the ASPI layer; the USB one on the still-image layer
  };
  for (Case c : {Case{"WNASPI32.DLL", 2}, Case{"wnaspi32", 2}, Case{"StiAspi.dll", 1},
                 Case{"OSR2ASPI.DLL", 1}}) {
    Entries entries = Load(c.name);
    ASSERT_NE(entries.support, nullptr) << c.name;
    ASSERT_NE(entries.send, nullptr) << c.name;
    EXPECT_EQ(entries.support(), (uint32_t{SS_COMP} << 8) | c.adapters) << c.name;
  }
}

TEST_F(AspiModulesTest, InjectedFailureIsReportedPerLayerWithNoAdapters) {
  aspi_.InjectSupportFailure(AspiLayer::kStillImage, SS_NO_ADAPTERS);
  EXPECT_EQ(Load("stiaspi.dll").support(), uint32_t{SS_NO_ADAPTERS} << 8);
  EXPECT_EQ(Load("osr2aspi.dll").support(), uint32_t{SS_NO_ADAPTERS} << 8);
  EXPECT_EQ(Load("wnaspi32.dll").support(), (uint32_t{SS_COMP} << 8) | 2);
  aspi_.InjectSupportFailure(AspiLayer::kStillImage, std::nullopt);
  EXPECT_EQ(Load("stiaspi.dll").support(), (uint32_t{SS_COMP} << 8) | 1);
}

// Without "Support.sti" the still-image layer carries only its own adapters; with it, the SCSI
// host adapters follow them (the EPP adapter never does). The layer looks when it is asked for
// its support info, as a layer does when it is loaded.
TEST_F(AspiModulesTest, StillImageLayerCarriesScsiDevicesOnlyWithSupportSti) {
  Entries sti = Load("stiaspi.dll");
  host_.host().modules().SetApplicationFolder("C:\\SCANAPP");
  EXPECT_EQ(sti.support() & 0xFF, 1u);
  uint8_t data[36] = {};
  SRB_ExecSCSICmd scsi = ExecBlock(1, 2, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, data, 36);
  EXPECT_EQ(sti.send(&scsi), SS_INVALID_HA);

  host_.WriteFile("C:\\ScanApp\\SUPPORT.STI", "");
  EXPECT_EQ(sti.support() & 0xFF, 2u);
  ASSERT_EQ(sti.send(&scsi), SS_COMP);
  EXPECT_EQ(0, std::memcmp(&data[8], "SCSI    SCANNER", 15));
  EXPECT_EQ(aspi_.Adapters(AspiLayer::kStillImage)[1]->info().identifier, "plain");

  SRB_ExecSCSICmd usb = ExecBlock(0, 0, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, data, 36);
  Event event = MakeEvent();
  usb.SRB_Flags |= SRB_EVENT_NOTIFY;
  usb.SRB_PostProc = &event;
  ASSERT_EQ(sti.send(&usb), SS_PENDING);
  ASSERT_EQ(event.Wait(kInfinite), WaitResult::kSignaled);
  EXPECT_EQ(0, std::memcmp(&data[8], "USB     SCANNER", 15));

  host_.host().modules().SetApplicationFolder("C:\\OTHER");
  EXPECT_EQ(sti.send(&scsi), SS_INVALID_HA);
}

// The machine description names the modules the machine has; the service offers only those.
TEST(AspiAbsentModulesTest, AbsentModulesFailToLoadAsMissingLibraries) {
  aspi_test::BareHost host;
  AttachAspi(host.host(), AspiModules{.wnaspi32 = true, .stiaspi = false, .osr2aspi = false});
  Modules& modules = host.host().modules();
  EXPECT_NE(modules.LoadLibrary("wnaspi32.dll"), 0u);
  for (std::string_view name : {"stiaspi.dll", "OSR2ASPI.DLL"}) {
    SetLastError(0);
    EXPECT_EQ(modules.LoadLibrary(name), 0u) << name;
    EXPECT_EQ(GetLastError(), kErrorModNotFound) << name;
  }
}

}  // namespace
}  // namespace platform
