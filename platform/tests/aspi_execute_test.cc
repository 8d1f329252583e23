// Host-adapter inquiry, commands with data both ways, and the two ways a request completes.
#include <cstring>
#include <thread>

#include "aspi_test_support.h"

namespace platform {
namespace {

using aspi_test::AspiTest;
using aspi_test::ExecBlock;
using aspi_test::FakeDevice;
using Completion = ScsiAdapter::Completion;

class ExecuteTest : public AspiTest, public ::testing::WithParamInterface<Completion> {
 protected:
  ExecuteTest() {
    adapter_ = AddAdapter(AdapterKind::kScsi, GetParam());
    adapter_->Attach(2, device_);
  }

  // Sends and waits for the event, which every accepted request sets, however it completes.
  uint8_t SendAndWait(SRB_ExecSCSICmd& srb, Event& event) {
    Send(&srb);
    EXPECT_EQ(event.Wait(kInfinite), WaitResult::kSignaled);
    return srb.SRB_Status;
  }

  std::shared_ptr<ScsiAdapter> adapter_;
  std::shared_ptr<FakeDevice> device_ = std::make_shared<FakeDevice>();
};

TEST_P(ExecuteTest, DataInAndOutArriveWithGoodStatus) {
  Event event = MakeEvent();
  uint8_t out[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  SRB_ExecSCSICmd write = ExecBlock(0, 2, {0x0A, 0, 0, 0, 10, 0}, SRB_DIR_OUT, out, 10, &event);
  ASSERT_EQ(SendAndWait(write, event), SS_COMP);
  EXPECT_EQ(write.SRB_HaStat, kHostOk);
  EXPECT_EQ(write.SRB_TargStat, kScsiGood);
  EXPECT_EQ(device_->stored, std::vector<uint8_t>(out, out + 10));

  uint8_t in[10] = {};
  SRB_ExecSCSICmd read = ExecBlock(0, 2, {0x08, 0, 0, 0, 10, 0}, SRB_DIR_IN, in, 10, &event);
  ASSERT_EQ(SendAndWait(read, event), SS_COMP);
  EXPECT_EQ(0, std::memcmp(in, out, 10));
  EXPECT_FALSE(event.IsSet());  // one signal per completed request, each taken by its wait
}

TEST_P(ExecuteTest, CheckConditionIsAnErrorWithItsSense) {
  Event event = MakeEvent();
  SRB_ExecSCSICmd srb = ExecBlock(0, 2, {0xEE, 0, 0, 0, 0, 0}, 0, nullptr, 0, &event);
  ASSERT_EQ(SendAndWait(srb, event), SS_ERR);
  EXPECT_EQ(srb.SRB_TargStat, kScsiCheckCondition);
  EXPECT_EQ(srb.SenseArea[0], 0x70);
  EXPECT_EQ(srb.SenseArea[2], kSenseIllegalRequest);
  EXPECT_EQ(srb.SenseArea[12], 0x20);
}

TEST_P(ExecuteTest, ForcedHostStatusAppliesToEveryCommand) {
  Event event = MakeEvent();
  uint8_t in[36] = {};
  SRB_ExecSCSICmd srb = ExecBlock(0, 2, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, in, 36, &event);
  // A data overrun or underrun completes, with the adapter status beside it.
  adapter_->ForceHostStatus(kHostDataOverrunUnderrun);
  ASSERT_EQ(SendAndWait(srb, event), SS_COMP);
  EXPECT_EQ(srb.SRB_HaStat, kHostDataOverrunUnderrun);
  EXPECT_EQ(in[8], 'F');  // the data moved all the same
  // A selection time-out means the device was never reached.
  adapter_->ForceHostStatus(kHostSelectionTimeout);
  const int before = device_->commands;
  ASSERT_EQ(SendAndWait(srb, event), SS_ERR);
  EXPECT_EQ(srb.SRB_HaStat, kHostSelectionTimeout);
  EXPECT_EQ(device_->commands, before);
  adapter_->ForceHostStatus(kHostOk);
  EXPECT_EQ(SendAndWait(srb, event), SS_COMP);
}

// Whichever way the adapter completes, the caller may wait for the event: an immediate
// completion sets it too.
TEST_P(ExecuteTest, CompletionSetsTheEventEitherWay) {
  Event event = MakeEvent();
  SRB_ExecSCSICmd srb = ExecBlock(0, 2, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0, &event);
  const uint32_t sent = Send(&srb);
  EXPECT_EQ(sent, GetParam() == Completion::kImmediate ? SS_COMP : SS_PENDING);
  EXPECT_EQ(event.Wait(kInfinite), WaitResult::kSignaled);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);

  // Without event notification a caller polls the status byte.
  SRB_ExecSCSICmd polled = ExecBlock(0, 2, {0x00, 0, 0, 0, 0, 0});
  Send(&polled);
  while (std::atomic_ref<uint8_t>(polled.SRB_Status).load() == SS_PENDING) std::this_thread::yield();
  EXPECT_EQ(polled.SRB_Status, SS_COMP);
  EXPECT_FALSE(event.IsSet());
}

TEST_P(ExecuteTest, NeverCompletingRequestStaysPendingUntilAborted) {
  Event event = MakeEvent();
  device_->next = ScsiOutcome::Good();
  device_->next->neverCompletes = true;
  SRB_ExecSCSICmd srb = ExecBlock(0, 2, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0, &event);
  ASSERT_EQ(Send(&srb), SS_PENDING);
  EXPECT_EQ(event.Wait(25000), WaitResult::kTimeout);
  EXPECT_EQ(srb.SRB_Status, SS_PENDING);
  EXPECT_EQ(Send(&srb), SS_INVALID_SRB);  // still in flight: not accepted twice
  EXPECT_EQ(srb.SRB_Status, SS_PENDING);

  SRB_Abort abort{SC_ABORT_SRB, 0, 0, 0, 0, &srb};
  // The worker may still be running the request; it stalls at once, so retry until it has.
  while (Send(&abort) == SS_ABORT_FAIL) std::this_thread::yield();
  EXPECT_EQ(abort.SRB_Status, SS_COMP);
  EXPECT_EQ(srb.SRB_Status, SS_ABORTED);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(Send(&abort), SS_ABORT_FAIL);  // nothing left to abort

  device_->next.reset();  // the block can be used again
  ASSERT_EQ(SendAndWait(srb, event), SS_COMP);
}

TEST_P(ExecuteTest, ManyThreadsWithTheirOwnBlocksAllComplete) {
  auto second = std::make_shared<FakeDevice>();
  adapter_->Attach(5, second);
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  std::vector<std::unique_ptr<Event>> events;  // outlive the threads, as a Set may still return
  for (int t = 0; t < 4; ++t) {
    events.push_back(std::make_unique<Event>(host_.host().clock(), Event::Reset::kAuto));
    threads.emplace_back([&, t, &event = *events.back()] {
      for (int i = 0; i < 50; ++i) {
        SRB_ExecSCSICmd srb =
            ExecBlock(0, t % 2 ? 5 : 2, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0, &event);
        if (SendAndWait(srb, event) == SS_COMP) ++good;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(good, 200);
  EXPECT_EQ(device_->commands + second->commands, 200);
}

INSTANTIATE_TEST_SUITE_P(BothCompletions, ExecuteTest,
                         ::testing::Values(Completion::kImmediate, Completion::kLater),
                         [](const auto& info) {
                           return info.param == Completion::kImmediate ? "Immediate" : "Later";
                         });

class HostAdapterInquiryTest : public AspiTest {};

TEST_F(HostAdapterInquiryTest, ReportsCountIdentityAndLargestTransfer) {
  AddAdapter(AdapterKind::kScsi, Completion::kImmediate, "plain");
  HostAdapterInfo info;
  info.identifier = "dtc328x-with-a-long-name";
  info.managerId = "MANAGER";
  info.maxTransfer = 0x00123456;
  info.hostScsiId = 6;
  aspi_.AddAdapter(AdapterKind::kScsi, std::make_shared<ScsiAdapter>(info, Completion::kLater));

  SRB_HAInquiry srb{};
  srb.SRB_Cmd = SC_HA_INQUIRY;
  srb.SRB_HaId = 1;
  ASSERT_EQ(Send(&srb), SS_COMP);
  EXPECT_EQ(srb.HA_Count, 2);
  EXPECT_EQ(srb.HA_SCSI_ID, 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(srb.HA_ManagerId), 8), std::string("MANAGER\0", 8));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(srb.HA_Identifier), 16), "dtc328x-with-a-l");
  const uint32_t maxTransfer = srb.HA_Unique[4] | srb.HA_Unique[5] << 8 | srb.HA_Unique[6] << 16 |
                               uint32_t{srb.HA_Unique[7]} << 24;
  EXPECT_EQ(maxTransfer, 0x00123456u);

  srb.SRB_HaId = 2;
  EXPECT_EQ(Send(&srb), SS_INVALID_HA);
}

// A request still queued or stalled when the host goes away is dropped: the service must not
// write to its block, which the caller may already have released.
TEST(AspiShutdownTest, PendingRequestsAreDroppedWithoutTouchingTheirBlocks) {
  auto device = std::make_shared<FakeDevice>();
  device->next = ScsiOutcome::Good();
  device->next->neverCompletes = true;
  auto host = std::make_unique<aspi_test::BareHost>();
  AspiService& aspi = AttachAspi(host->host());
  auto adapter = std::make_shared<ScsiAdapter>(HostAdapterInfo{}, Completion::kLater);
  adapter->Attach(0, device);
  aspi.AddAdapter(AdapterKind::kScsi, adapter);
  {
    auto srb = std::make_unique<SRB_ExecSCSICmd>(ExecBlock(0, 0, {0x00, 0, 0, 0, 0, 0}));
    ASSERT_EQ(aspi.SendCommand(AspiLayer::kWinAspi, srb.get()), SS_PENDING);
    auto queued = std::make_unique<SRB_ExecSCSICmd>(ExecBlock(0, 0, {0x00, 0, 0, 0, 0, 0}));
    ASSERT_EQ(aspi.SendCommand(AspiLayer::kWinAspi, queued.get()), SS_PENDING);
  }  // both blocks freed while in flight
  host.reset();
  EXPECT_EQ(adapter.use_count(), 1);  // the dropped requests let go of their bus
}

}  // namespace
}  // namespace platform
