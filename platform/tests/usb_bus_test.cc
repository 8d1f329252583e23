// The USB bus driver: URBs completed on its thread with the stack's statuses, USB's 5-second
// limit on control transfers, a short IN transfer halting its pipe until a reset.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/faults/faults.h"
#include "platform/kernel/kernel.h"
#include "platform/usb/usb_bus.h"
#include "test_host.h"

namespace platform {
namespace {

// One interface with a bulk IN endpoint 0x81 that always has 100 bytes.
class Probe final : public UsbDevice {
 public:
  std::string HardwareId() const override { return "USB\\VID_0000&PID_0000"; }
  UsbResult Control(const UsbSetup& setup, std::span<uint8_t> data) override {
    static const uint8_t kConfig[] = {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0, 0, 0, 7, 5, 0x81, 2, 64, 0, 0};
    if (setup.request != 6) return UsbResult::Done(0);
    size_t n = std::min(data.size(), sizeof kConfig);
    std::memcpy(data.data(), kConfig, n);
    return UsbResult::Done(static_cast<uint32_t>(n));
  }
  UsbResult Transfer(uint8_t, std::span<uint8_t> data) override {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(data.size(), 100));
    std::memset(data.data(), 0xAB, n);
    return UsbResult::Done(n);
  }
};

class UsbBusTest : public ::testing::Test {
 protected:
  UsbBusTest() : kernel(Kernel::Of(host.host())), bus(UsbBus::Of(kernel)) { pdo = bus.Plug(std::make_shared<Probe>()); }

  // Sends a URB synchronously to the device, as a driver above it does.
  NTSTATUS Send(URB* urb) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK io;
    IRP* irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, pdo, nullptr, 0, nullptr, 0, TRUE, &event, &io);
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
    if (IoCallDriver(pdo, irp) == STATUS_PENDING) KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    return io.Status;
  }
  USBD_PIPE_HANDLE Configure() {
    std::vector<uint8_t> config(25);
    URB get{};
    get.UrbHeader.Length = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
    get.UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    get.UrbControlDescriptorRequest.DescriptorType = 2;
    get.UrbControlDescriptorRequest.TransferBuffer = config.data();
    get.UrbControlDescriptorRequest.TransferBufferLength = 25;
    EXPECT_EQ(Send(&get), 0);
    USHORT size = 0;
    URB* select = USBD_CreateConfigurationRequest(reinterpret_cast<USB_CONFIGURATION_DESCRIPTOR*>(config.data()), &size);
    EXPECT_EQ(Send(select), 0);
    USBD_PIPE_HANDLE pipe = select->UrbSelectConfiguration.Interface.Pipes[0].PipeHandle;
    ExFreePool(select);
    return pipe;
  }
  NTSTATUS BulkIn(USBD_PIPE_HANDLE pipe, uint8_t* data, ULONG length, URB* urb, ULONG flags = 0) {
    std::memset(urb, 0, sizeof *urb);
    urb->UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
    urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    urb->UrbBulkOrInterruptTransfer.PipeHandle = pipe;
    urb->UrbBulkOrInterruptTransfer.TransferFlags = flags;
    urb->UrbBulkOrInterruptTransfer.TransferBuffer = data;
    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = length;
    return Send(urb);
  }

  testing::TestHost host{[] {
    testing::TestHost::Settings s;
    s.hardware = NoHardware();
    return s;
  }()};
  Kernel& kernel;
  UsbBus& bus;
  DEVICE_OBJECT* pdo = nullptr;
};

TEST_F(UsbBusTest, AControlTransferThatNeverEndsTimesOutAfterFiveSecondsOfBusTime) {
  host.host().faults().Device("usb", 0).Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0, .count = 1});
  uint8_t data[8];
  URB urb{};
  urb.UrbHeader.Length = sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
  urb.UrbHeader.Function = URB_FUNCTION_VENDOR_DEVICE;
  urb.UrbControlVendorClassRequest.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
  urb.UrbControlVendorClassRequest.TransferBuffer = data;
  urb.UrbControlVendorClassRequest.TransferBufferLength = 8;
  uint64_t before = host.clock().NowMs();
  EXPECT_EQ(static_cast<uint32_t>(Send(&urb)), 0xC00000B5u);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0xC0006000u);
  EXPECT_EQ(host.clock().NowMs() - before, 5000u);
}

TEST_F(UsbBusTest, AShortInTransferHaltsItsPipeUntilTheResetAndShortTransferOkIsNotAnError) {
  USBD_PIPE_HANDLE pipe = Configure();
  std::vector<uint8_t> data(200);
  URB urb;
  EXPECT_EQ(BulkIn(pipe, data.data(), 100, &urb), 0) << "exactly what the device has";
  EXPECT_EQ(BulkIn(pipe, data.data(), 200, &urb, USBD_SHORT_TRANSFER_OK), 0);
  EXPECT_EQ(urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 100u);
  EXPECT_NE(BulkIn(pipe, data.data(), 200, &urb), 0);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0x80000900u);
  EXPECT_EQ(urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 100u);
  EXPECT_NE(BulkIn(pipe, data.data(), 10, &urb), 0);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0xC0000030u) << "halted";
  URB reset{};
  reset.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
  reset.UrbHeader.Function = URB_FUNCTION_RESET_PIPE;
  reset.UrbPipeRequest.PipeHandle = pipe;
  EXPECT_EQ(Send(&reset), 0);
  EXPECT_EQ(BulkIn(pipe, data.data(), 10, &urb), 0);
}

TEST_F(UsbBusTest, InvalidUrbsAreRefusedWithTheirStatuses) {
  URB urb{};
  urb.UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
  urb.UrbHeader.Function = 0x7777;
  EXPECT_EQ(static_cast<uint32_t>(Send(&urb)), 0xC000000Du);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0x80000200u);
  urb.UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  urb.UrbHeader.Length = 8;
  EXPECT_EQ(static_cast<uint32_t>(Send(&urb)), 0xC000000Du);
  urb.UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
  urb.UrbBulkOrInterruptTransfer.PipeHandle = &urb;  // not a pipe of the device
  EXPECT_EQ(static_cast<uint32_t>(Send(&urb)), 0xC000000Du);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0x80000600u);
}

TEST_F(UsbBusTest, AnUnpluggedDeviceFailsItsTransfersAsGone) {
  USBD_PIPE_HANDLE pipe = Configure();
  bus.Unplug(pdo);
  std::vector<uint8_t> data(10);
  URB urb;
  EXPECT_EQ(static_cast<uint32_t>(BulkIn(pipe, data.data(), 10, &urb)), 0xC000009Du);
  EXPECT_EQ(static_cast<uint32_t>(urb.UrbHeader.Status), 0xC0007000u);
}

}  // namespace
}  // namespace platform
