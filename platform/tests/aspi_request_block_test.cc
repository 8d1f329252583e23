// Request blocks as raw bytes, and blocks the layer must refuse without harm.
#include <array>
#include <cstring>

#include "aspi_test_support.h"

namespace platform {
namespace {

using aspi_test::AspiTest;
using aspi_test::ExecBlock;
using aspi_test::FakeDevice;
using Completion = ScsiAdapter::Completion;

template <class T>
void Put(uint8_t* block, size_t offset, T value) {
  std::memcpy(block + offset, &value, sizeof value);
}

class RequestBlockTest : public AspiTest {
 protected:
  RequestBlockTest() {
    adapter_ = AddAdapter(AdapterKind::kScsi, Completion::kImmediate);
    adapter_->Attach(2, device_);
  }
  std::shared_ptr<ScsiAdapter> adapter_;
  std::shared_ptr<FakeDevice> device_ = std::make_shared<FakeDevice>();
};

// The block is filled by byte offset, as a caller built against the 32-bit header's layout
// (with 8-byte pointers) fills it, and the answer is read back the same way.
TEST_F(RequestBlockTest, ExecuteBlockIsReadAndAnsweredAtItsByteOffsets) {
  alignas(8) std::array<uint8_t, sizeof(SRB_ExecSCSICmd)> block{};
  std::array<uint8_t, 36> data{};
  block[0] = SC_EXEC_SCSI_CMD;
  block[2] = 0;          // adapter
  block[3] = SRB_DIR_IN;
  block[8] = 2;          // target
  Put<uint32_t>(block.data(), 12, 36);
  Put<uint8_t*>(block.data(), 16, data.data());
  block[24] = kSenseLength;
  block[25] = 6;         // CDB length
  const uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
  std::memcpy(&block[56], inquiry, 6);
  ASSERT_EQ(Send(block.data()), SS_COMP);
  EXPECT_EQ(block[1], SS_COMP);
  EXPECT_EQ(0, std::memcmp(&data[8], "FAKE    DEVICE", 14));

  device_->next = ScsiOutcome::Check(kSenseHardwareError, 0x44, 0x00, 0x08, 0x01);
  ASSERT_EQ(Send(block.data()), SS_ERR);
  EXPECT_EQ(block[26], kHostOk);              // SRB_HaStat
  EXPECT_EQ(block[27], kScsiCheckCondition);  // SRB_TargStat
  EXPECT_EQ(block[72 + 2], kSenseHardwareError);
  EXPECT_EQ(block[72 + 12], 0x44);
  EXPECT_EQ(block[72 + 18], 0x08);
  EXPECT_EQ(block[72 + 19], 0x01);
}

TEST_F(RequestBlockTest, InquiryAndAbortBlocksUseTheirByteOffsets) {
  alignas(8) std::array<uint8_t, sizeof(SRB_HAInquiry)> inquiry{};
  inquiry[0] = SC_HA_INQUIRY;
  ASSERT_EQ(Send(inquiry.data()), SS_COMP);
  EXPECT_EQ(inquiry[8], 1);  // HA_Count
  EXPECT_EQ(inquiry[9], 7);  // HA_SCSI_ID
  EXPECT_EQ(0, std::memcmp(&inquiry[10], "ASPI for WIN32", 14));
  EXPECT_EQ(0, std::memcmp(&inquiry[26], "plain", 5));
  EXPECT_EQ(inquiry[42 + 6], 0x01);  // 10000h, little-endian at unique bytes 4-7

  alignas(8) std::array<uint8_t, sizeof(SRB_Abort)> abort{};
  abort[0] = SC_ABORT_SRB;
  Put<void*>(abort.data(), 8, inquiry.data());  // not in flight: nothing to abort
  EXPECT_EQ(Send(abort.data()), SS_ABORT_FAIL);
  EXPECT_EQ(abort[1], SS_ABORT_FAIL);
}

TEST_F(RequestBlockTest, UnknownCommandsAndAdaptersAreRefused) {
  EXPECT_EQ(Send(nullptr), SS_INVALID_SRB);
  for (uint8_t code : {SC_GET_DEV_TYPE, SC_RESET_DEV, uint8_t{0x7F}, uint8_t{0xFF}}) {
    SRB_Header header{code, 0xAA, 0, 0, 0};
    EXPECT_EQ(Send(&header), SS_INVALID_CMD) << int(code);
    EXPECT_EQ(header.SRB_Status, SS_INVALID_CMD);
  }
  SRB_HAInquiry inquiry{};
  inquiry.SRB_HaId = 1;
  EXPECT_EQ(Send(&inquiry), SS_INVALID_HA);
  SRB_Abort abort{SC_ABORT_SRB, 0, 9, 0, 0, &inquiry};
  EXPECT_EQ(Send(&abort), SS_INVALID_HA);
  uint8_t buffer[36];
  SRB_ExecSCSICmd exec = ExecBlock(1, 2, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, buffer, 36);
  EXPECT_EQ(Send(&exec), SS_INVALID_HA);
  EXPECT_EQ(device_->commands, 0);
}

TEST_F(RequestBlockTest, MissingDevicesAreNoDeviceWithASelectionTimeOut) {
  struct Case {
    uint8_t target;
    uint8_t lun;
  };
  for (Case c : {Case{3, 0}, Case{8, 0}, Case{255, 0}, Case{2, 1}}) {
    SRB_ExecSCSICmd srb = ExecBlock(0, c.target, {0x00, 0, 0, 0, 0, 0});
    srb.SRB_Lun = c.lun;
    EXPECT_EQ(Send(&srb), SS_NO_DEVICE) << int(c.target) << "/" << int(c.lun);
    EXPECT_EQ(srb.SRB_Status, SS_NO_DEVICE);
    EXPECT_EQ(srb.SRB_HaStat, kHostSelectionTimeout);
  }
  EXPECT_EQ(device_->commands, 0);
}

TEST_F(RequestBlockTest, MalformedExecuteBlocksAreInvalidAndNeverReachTheDevice) {
  Event event = MakeEvent();
  uint8_t buffer[36];
  auto inquiry = [&] { return ExecBlock(0, 2, {0x12, 0, 0, 0, 36, 0}, SRB_DIR_IN, buffer, 36, &event); };
  std::vector<SRB_ExecSCSICmd> bad(8, inquiry());
  bad[0].SRB_CDBLen = 0;
  bad[1].SRB_CDBLen = 17;
  bad[2].SRB_BufPointer = nullptr;                        // data without a buffer
  bad[3].SRB_Flags |= SRB_DIR_OUT;                         // both directions
  bad[4].SRB_Flags &= static_cast<uint8_t>(~SRB_DIR_IN);   // data without a direction
  bad[5].SRB_PostProc = nullptr;                           // notify without an event
  bad[6].SRB_Flags |= 0x01;                                // posting to a callback
  bad[7].SRB_CDBLen = 255;
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(Send(&bad[i]), SS_INVALID_SRB) << i;
    EXPECT_EQ(bad[i].SRB_Status, SS_INVALID_SRB) << i;
  }
  EXPECT_EQ(device_->commands, 0);
  EXPECT_FALSE(event.IsSet());  // refused requests do not complete through the event
  SRB_ExecSCSICmd noData = ExecBlock(0, 2, {0x00, 0, 0, 0, 0, 0});
  noData.SRB_BufPointer = nullptr;
  EXPECT_EQ(Send(&noData), SS_COMP);  // a null buffer is fine when nothing moves
  // So is a data-in command of no bytes: the device still gets a pointer it may copy 0 bytes to.
  SRB_ExecSCSICmd emptyIn = ExecBlock(0, 2, {0x12, 0, 0, 0, 0, 0}, SRB_DIR_IN, nullptr, 0);
  EXPECT_EQ(Send(&emptyIn), SS_COMP);
}

// The sense area is as long as the caller's SRB_SenseLen says, and never longer than the
// device's sense data: a short request is cut, an oversized one writes no further than 20 bytes.
TEST_F(RequestBlockTest, SenseIsCopiedUpToTheRequestedLengthOnly) {
  device_->next = ScsiOutcome::Check(kSenseVendor, 0x3B, 0x05, 0x11, 0x22);
  SRB_ExecSCSICmd srb = ExecBlock(0, 2, {0x00, 0, 0, 0, 0, 0});
  std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
  srb.SRB_SenseLen = 4;
  ASSERT_EQ(Send(&srb), SS_ERR);
  EXPECT_EQ(srb.SenseArea[2], kSenseVendor);
  EXPECT_EQ(srb.SenseArea[4], 0xEE);

  std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
  srb.SRB_SenseLen = 255;
  ASSERT_EQ(Send(&srb), SS_ERR);
  EXPECT_EQ(srb.SenseArea[19], 0x22);
  EXPECT_EQ(srb.SenseArea[20], 0xEE);
  EXPECT_EQ(srb.SenseArea[21], 0xEE);

  device_->next = ScsiOutcome::Status(kScsiBusy);  // no check condition: sense left alone
  std::memset(srb.SenseArea, 0xEE, sizeof srb.SenseArea);
  ASSERT_EQ(Send(&srb), SS_ERR);
  EXPECT_EQ(srb.SRB_TargStat, kScsiBusy);
  EXPECT_EQ(srb.SenseArea[0], 0xEE);
}

}  // namespace
}  // namespace platform
