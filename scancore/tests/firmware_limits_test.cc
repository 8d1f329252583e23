// Firmware downloads at their limits: the size of the image one SEND can carry, and how long a
// scanner may take to boot the image before discovery gives up on it.
#include <gtest/gtest.h>

#include <string>

#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::Device;
using testing::kBase;
using testing::OneAdapter;
using testing::ScannerHost;

// A scanner of the SCSI firmware section at target 4, waiting for image 3, booting it in
// `bootMs` once it has it.
std::string WaitingScanner(int bootMs) {
  return OneAdapter("target4=fw\n", Device("fw", "Color   FlatbedScanner10", 600,
                                           "firmware=3\nfirmwareboot=" + std::to_string(bootMs) + "\n"));
}

// Runs discovery over the machine's one adapter; returns the scanners found and the virtual
// time it took.
struct Found {
  int count;
  uint64_t elapsedMs;
};

Found Discover(ScannerHost& t) {
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  EXPECT_EQ(transport.Open(), 1);
  DEVICEINFO table[kMaxDeviceInfo];
  unsigned char count = 0;
  const uint64_t start = t.now();
  EXPECT_EQ(ScanCoreTestPeer::FindScanner(core, &transport, table, count), 1);
  return {count, t.now() - start};
}

TEST(FirmwareBootTest, DiscoveryWaitsFiveSecondsOfVirtualTimeForTheBoot) {
  // Booting in 20 s: given up after 5 s of polling every 250 ms, not after the boot.
  {
    ScannerHost t("nt4", WaitingScanner(20000));
    t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw10.bin\n");
    t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", "image");
    const Found found = Discover(t);
    EXPECT_EQ(found.count, 0);
    EXPECT_GE(found.elapsedMs, 5000u);
    EXPECT_LT(found.elapsedMs, 5250u);
    EXPECT_EQ(t.scanner("fw").observed().firmwareDownloads, 1);
  }
  // Booting in 4.75 s: the last poll before the limit finds it.
  {
    ScannerHost t("nt4", WaitingScanner(4750));
    t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw10.bin\n");
    t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", "image");
    const Found found = Discover(t);
    EXPECT_EQ(found.count, 1);
    EXPECT_GE(found.elapsedMs, 4750u);
    EXPECT_LT(found.elapsedMs, 5000u);
  }
}

// DownloadFirmware of an image of `size` bytes to the waiting scanner: its result, the error
// code and the bytes the scanner was sent (0 when nothing was).
struct Download {
  int result;
  uint32_t error;
  uint32_t bytesSent;
};

Download DownloadImage(size_t size) {
  ScannerHost t("nt4", WaitingScanner(0));
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw10.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", std::string(size, '\x5A'));
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  EXPECT_EQ(transport.Open(), 1);
  transport.SetAddress(0, 4);
  const int result = ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner10");
  const auto seen = t.scanner("fw").observed();
  return {result, core.GetErrorCode(), seen.firmwareDownloads == 0 ? 0 : seen.firmwareBytes};
}

TEST(FirmwareImageTest, ImageMustFitOneSend) {
  // SEND's transfer length has 24 bits: FFFFFFh bytes go in one command, one byte more cannot.
  const Download largest = DownloadImage(0xFFFFFF);
  EXPECT_EQ(largest.result, 1);
  EXPECT_EQ(largest.bytesSent, 0xFFFFFFu);
  const Download tooLarge = DownloadImage(0x1000000);
  EXPECT_EQ(tooLarge.result, 0);
  EXPECT_EQ(tooLarge.error, 0xFFFF0060u);
  EXPECT_EQ(tooLarge.bytesSent, 0u);
}

TEST(FirmwareImageTest, EmptyImageIsAMissingImage) {
  const Download empty = DownloadImage(0);
  EXPECT_EQ(empty.result, 0);
  EXPECT_EQ(empty.error, 0xFFFF0060u);
  EXPECT_EQ(empty.bytesSent, 0u);
  const Download one = DownloadImage(1);
  EXPECT_EQ(one.result, 1);
  EXPECT_EQ(one.bytesSent, 1u);
}

}  // namespace
}  // namespace scancore
