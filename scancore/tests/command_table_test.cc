// The command blocks, and Execute's reading of each completion a layer can give, through a
// stand-in ASPI module whose answers each case scripts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock/event.h"
#include "platform/modules/modules.h"
#include "scancore/error_codes.h"
#include "scancore/interface.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::ScannerHost;

// What the stand-in layer does with the next request.
struct Script {
  uint8_t returned = platform::SS_COMP;  // what SendASPI32Command returns
  uint8_t status = platform::SS_COMP;    // what the block's status becomes
  uint8_t hostStatus = 0;
  uint8_t targetStatus = 0;
  bool setEvent = false;
  std::vector<uint8_t> lastCdb;
  uint8_t lastFlags = 0;
  uint32_t lastLength = 0;
};
Script script;

uint32_t FakeSupport() { return 0x0101; }
uint32_t FakeSend(void* block) {
  auto* srb = static_cast<platform::SRB_ExecSCSICmd*>(block);
  if (srb->SRB_Cmd != platform::SC_EXEC_SCSI_CMD) return platform::SS_COMP;
  script.lastCdb.assign(srb->CDBByte, srb->CDBByte + srb->SRB_CDBLen);
  script.lastFlags = srb->SRB_Flags;
  script.lastLength = srb->SRB_BufLen;
  srb->SRB_HaStat = script.hostStatus;
  srb->SRB_TargStat = script.targetStatus;
  srb->SRB_Status = script.status;
  if (script.setEvent) static_cast<platform::Event*>(srb->SRB_PostProc)->Set();
  return script.returned;
}

class ScriptedLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    script = Script{};
    ASSERT_TRUE(t.host().modules().RegisterBuiltin(
        "wnaspi32.dll", {{"GetASPI32SupportInfo", platform::ToProcAddress(&FakeSupport)},
                         {"SendASPI32Command", platform::ToProcAddress(&FakeSend)}}));
    ASSERT_EQ(transport.Open(), 1);
    transport.SetAddress(1, 5);
  }
  ScannerHost t;
  CInterface transport{TransportServices::Of(t.host())};
};

TEST_F(ScriptedLayer, EveryCommandBlockAsSent) {
  std::vector<uint8_t> buffer(0x20000);
  uint8_t status = 0xFF;
  struct Case {
    std::function<int()> send;
    std::vector<uint8_t> cdb;
    uint8_t direction;
    uint32_t length;
  } cases[] = {
      {[&] { return transport.TestUnitReady(status); }, {0x00, 0, 0, 0, 0, 0}, 0, 0},
      {[&] { return transport.Inquiry(buffer.data(), 122); }, {0x12, 0, 0, 0, 122, 0}, 0x08, 122},
      {[&] { return transport.Send(0x87, 0x1234, buffer.data(), 0x012345); },
       {0x2A, 0, 0x87, 0, 0x12, 0x34, 0x01, 0x23, 0x45, 0}, 0x10, 0x012345},
      {[&] { return transport.SetWindow(buffer.data()); },
       {0x24, 0, 0, 0, 0, 0, 0, 0, 0x36, 0}, 0x10, 54},
      {[&] { return transport.Scan(); }, {0x1B, 0, 0, 0, 0, 0}, 0, 0},
      {[&] { return transport.Read(0x80, 0x0102, buffer.data(), 0x1FFFF); },
       {0x28, 0, 0x80, 0, 0x01, 0x02, 0x01, 0xFF, 0xFF, 0}, 0x08, 0x1FFFF},
      {[&] { return transport.RequestSense(buffer.data()); }, {0x03, 0, 0, 0, 0x14, 0}, 0x08, 20},
      {[&] { return transport.ReserveUnit(); }, {0x16, 0, 0, 0, 0, 0}, 0, 0},
      {[&] { return transport.ReleaseUnit(); }, {0x17, 0, 0, 0, 0, 0}, 0, 0},
      {[&] { return transport.GetDataBufferStatus(buffer.data(), 12); },
       {0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 0x08, 12},
      {[&] { return transport.ObjectPosition(0x0F, 0x0A0B0C); },
       {0x31, 0x07, 0x0A, 0x0B, 0x0C, 0, 0, 0, 0, 0}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.send(), 1);
    EXPECT_EQ(script.lastCdb, c.cdb);
    EXPECT_EQ(script.lastFlags, 0x40 | c.direction);
    EXPECT_EQ(script.lastLength, c.length);
    const auto& srb = transport.requestBlock();
    EXPECT_EQ(srb.SRB_HaId, 1);
    EXPECT_EQ(srb.SRB_Target, 5);
    EXPECT_EQ(srb.SRB_Lun, 0);
    EXPECT_EQ(srb.SRB_SenseLen, 20);
  }
  EXPECT_EQ(status, 0);
}

TEST_F(ScriptedLayer, OverrunCountsAsSuccessButKeepsItsCode) {
  script.hostStatus = 0x12;
  uint8_t data[36];
  EXPECT_EQ(transport.Inquiry(data, 36), 1);
  EXPECT_EQ(transport.TakeLastError(), 0x12011200u);
  script.hostStatus = 0x11;
  EXPECT_EQ(transport.Inquiry(data, 36), 0);
  EXPECT_EQ(transport.TakeLastError(), 0x12011100u);
}

TEST_F(ScriptedLayer, PendingRequestsAreReadAfterTheEvent) {
  uint8_t data[36];
  script.returned = platform::SS_PENDING;
  script.setEvent = true;
  script.status = platform::SS_COMP;
  EXPECT_EQ(transport.Inquiry(data, 36), 1);
  // Signalled, yet still pending: a layer fault, reported with the status bytes.
  script.status = platform::SS_PENDING;
  script.hostStatus = 0x13;
  script.targetStatus = 0x08;
  EXPECT_EQ(transport.Inquiry(data, 36), 0);
  EXPECT_EQ(transport.TakeLastError(), 0x12001308u);
}

TEST_F(ScriptedLayer, TargetStatusIsReturnedEvenOnFailure) {
  script.status = platform::SS_ERR;
  script.targetStatus = 0x18;  // reservation conflict
  uint8_t status = 0;
  EXPECT_EQ(transport.TestUnitReady(status), 0);
  EXPECT_EQ(status, 0x18);
  EXPECT_EQ(transport.TakeLastError(), 0x00040018u);
  script.status = platform::SS_INVALID_CMD;
  script.targetStatus = 0;
  EXPECT_EQ(transport.TestUnitReady(status), 0);
  EXPECT_EQ(transport.TakeLastError(), 0x00800000u);
}

TEST(UnopenedTransport, FailsWithoutSendingAnything) {
  ScannerHost t;
  CInterface transport(TransportServices::Of(t.host()));
  uint8_t data[36];
  EXPECT_EQ(transport.Inquiry(data, 36), 0);
  EXPECT_EQ(transport.TakeLastError(), AspiError(0x12, platform::SS_FAILED_INIT, 0, 0));
  EXPECT_EQ(transport.GetAdapterIdentifier(), "");
}

}  // namespace
}  // namespace scancore
