#include "aspi_layer.h"

#include <gtest/gtest.h>

#include "platform/faults/device_faults.h"
#include "platform/faults/faults.h"
#include "platform/host/host.h"
#include "test_host.h"

namespace dssetup {
namespace {

TEST(AspiLayerTest, ScannerNamesMatchWithOneOrThreeBlanks) {
  EXPECT_TRUE(IsOrvexScanner("Orvex SCANNER 6000"));
  EXPECT_TRUE(IsOrvexScanner("orvex   scanner"));
  EXPECT_TRUE(IsOrvexScanner("ORVEX SCANNERX"));
  EXPECT_FALSE(IsOrvexScanner("Orvex  SCANNER 6000"));  // two blanks
  EXPECT_FALSE(IsOrvexScanner("Orvex SCANNE"));
  EXPECT_FALSE(IsOrvexScanner("Color   FlatbedScanner_4"));
}

platform::testing::TestHost::Settings Machine() {
  platform::testing::TestHost::Settings s;
  s.machine =
      "[machine]\nadapters=hba0,hba1\n"
      "[hba0]\nkind=scsi\nidentifier=hba0 scsi\n"
      "[hba1]\nkind=scsi\nidentifier=hba1 scsi\ntarget6=identity\n"
      "[identity]\ntype=identity\n";
  return s;
}

TEST(AspiLayerTest, InquiryFindsTheScannerOnTheSecondAdapter) {
  platform::testing::TestHost host(Machine());
  AspiLayer aspi(host.host().modules(), host.clock());
  ASSERT_TRUE(aspi.loaded());
  ASSERT_GE(aspi.AdapterCount(), 2);
  EXPECT_EQ(aspi.Inquiry(0, 6), "");
  EXPECT_TRUE(IsOrvexScanner(aspi.Inquiry(1, 6)));
  AspiTransport transport(aspi, 1, 6);
  IdentityData d;
  EXPECT_TRUE(RunIdentityExchange(transport, &d));
  EXPECT_EQ(d.maxWidth, 5100);
}

TEST(AspiLayerTest, RequestThatNeverCompletesIsAbortedAfterTwentySeconds) {
  platform::testing::TestHost host(Machine());
  platform::DeviceFault never;
  never.kind = platform::DeviceFault::Kind::kNeverComplete;
  host.host().faults().Device("hba1", 6).Add(never);
  {
    AspiLayer aspi(host.host().modules(), host.clock());
    const uint64_t start = host.clock().NowMs();
    EXPECT_EQ(aspi.Inquiry(1, 6), "");
    EXPECT_EQ(host.clock().NowMs() - start, 20000u);
  }  // the layer lets go: the kept request goes with it
  host.host().faults().ClearAll();
  AspiLayer again(host.host().modules(), host.clock());
  EXPECT_TRUE(IsOrvexScanner(again.Inquiry(1, 6)));
}

TEST(AspiLayerTest, WithoutTheLayerNothingIsSent) {
  platform::testing::TestHost::Settings s;
  s.machine = "[machine]\nadapters=hba0\nmodules=stiaspi\n[hba0]\nkind=scsi\n";
  platform::testing::TestHost host(s);
  AspiLayer aspi(host.host().modules(), host.clock());
  EXPECT_FALSE(aspi.loaded());
  EXPECT_EQ(aspi.AdapterCount(), -1);
  EXPECT_EQ(aspi.Inquiry(0, 0), "");
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

TEST(AspiLayerTest, AbortThatStaysPendingIsGivenUpAfterASecondTimeOut) {
  platform::testing::TestHost host(Machine());
  platform::DeviceFault never;
  never.kind = platform::DeviceFault::Kind::kNeverComplete;
  host.host().faults().Device("hba1", 6).Add(never);
  host.host().faults().FailEvery(platform::fault_point::kAspiAbort);
  {
    AspiLayer aspi(host.host().modules(), host.clock());
    const uint64_t start = host.clock().NowMs();
    EXPECT_EQ(aspi.Inquiry(1, 6), "");
    // 20 s for the request, 20 s more for the abort; then the layer is not waited on.
    EXPECT_EQ(host.clock().NowMs() - start, 40000u);
    EXPECT_EQ(host.host().faults().Checks(platform::fault_point::kAspiAbort), 1u);
  }
  // The given-up request still sits in the layer, its block kept: new requests are not taken
  // for it, and the scanner answers once it behaves.
  host.host().faults().ClearAll();
  for (int i = 0; i < 3; ++i) {
    AspiLayer again(host.host().modules(), host.clock());
    EXPECT_TRUE(IsOrvexScanner(again.Inquiry(1, 6)));
  }
}

}  // namespace
}  // namespace dssetup
