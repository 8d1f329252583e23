// The firmware image is held in the host's work memory: an allocation that fails reports
// 0xFFFF0062 and sends nothing, and no path leaves a block behind.
#include <gtest/gtest.h>

#include "platform/faults/faults.h"
#include "platform/memory/memory.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::Device;
using testing::kBase;
using testing::OneAdapter;
using testing::ScannerHost;

TEST(FirmwareMemoryTest, FirmwareImageAllocationFailureIsReportedAndNothingLeaks) {
  ScannerHost t("nt4", OneAdapter("target4=fw\n",
                                  Device("fw", "Color   FlatbedScanner10", 600, "firmware=3\n")));
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw.bin", "image");
  platform::WorkMemory& memory = t.host().memory();
  platform::Faults& faults = t.host().faults();
  const auto failNth = [&](uint32_t n) {
    faults.Clear(platform::fault_point::kMemoryAllocate);
    faults.FailNth(platform::fault_point::kMemoryAllocate, n);
  };
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  ASSERT_EQ(transport.Open(), 1);
  transport.SetAddress(0, 4);
  auto download = [&] {
    return ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner10");
  };
  faults.FailEvery(platform::fault_point::kMemoryAllocate);
  EXPECT_EQ(download(), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0062u);
  faults.Clear(platform::fault_point::kMemoryAllocate);
  // Fail the 1st, 2nd, ... allocation from now until the download gets through.
  int succeededAt = 0;
  for (uint32_t n = 1; n <= 4 && !succeededAt; ++n) {
    failNth(n);
    if (download()) {
      succeededAt = static_cast<int>(n);
    } else {
      EXPECT_EQ(core.GetErrorCode(), 0xFFFF0062u) << n;
      EXPECT_EQ(t.scanner("fw").observed().firmwareBytes, 0u) << n;
    }
    EXPECT_EQ(memory.LiveBlocks(), 0u) << n;
  }
  faults.Clear(platform::fault_point::kMemoryAllocate);
  EXPECT_EQ(succeededAt, 2);  // the image is the one allocation
  EXPECT_EQ(t.scanner("fw").observed().firmwareBytes, 5u);
}

}  // namespace
}  // namespace scancore
