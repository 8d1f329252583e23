// Adding that fails, the published path per device, requests passed down the stack, power, and
// devices that leave: with or without open handles, one of two, and during I/O.
#include <cstring>

#include "kvx_harness.h"
#include "platform/clock/event.h"
#include "platform/registry/registry.h"

namespace kvxscan::testing {
namespace {

using platform::NTSTATUS;

std::string CreateFileName(platform::Host& host, int port) {
  platform::RegKey key = 0;
  if (host.registry().OpenKey(platform::kHkeyLocalMachine, platform::DriverKeyPath(port), &key) != 0) return "<no key>";
  std::string value = "<no value>";
  host.registry().GetString(key, "CreateFileName", &value);
  host.registry().CloseKey(key);
  return value;
}

// Sends `urb` to the driver's device object as a driver above it would; the request's status.
NTSTATUS SubmitThroughDriver(KvxHarness& h, platform::URB* urb) {
  platform::KernelScope scope(h.kernel());
  platform::KEVENT event;
  platform::KeInitializeEvent(&event, platform::NotificationEvent, platform::FALSE);
  platform::IO_STATUS_BLOCK status{};
  platform::IRP* irp = platform::IoBuildDeviceIoControlRequest(platform::IOCTL_INTERNAL_USB_SUBMIT_URB, h.fdo(), nullptr,
                                                               0, nullptr, 0, platform::TRUE, &event, &status);
  if (!irp) return platform::STATUS_INSUFFICIENT_RESOURCES;
  platform::IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
  NTSTATUS result = platform::IoCallDriver(h.fdo(), irp);
  if (result == platform::STATUS_PENDING) {
    platform::KeWaitForSingleObject(&event, platform::Executive, platform::KernelMode, platform::FALSE, nullptr);
    result = status.Status;
  }
  return result;
}

TEST(KvxAdd, ALinkNameTakenFailsTheAddAndLeavesNoDeviceObject) {
  KvxHarness h([](KvxHarness& k) {
    platform::KernelScope scope(k.kernel());
    platform::UNICODE_STRING link, device;
    platform::RtlInitUnicodeString(&link, u"\\DosDevices\\KvxScan0");
    platform::RtlInitUnicodeString(&device, u"\\Device\\Elsewhere");
    ASSERT_EQ(platform::IoCreateSymbolicLink(&link, &device), 0);
  });
  EXPECT_EQ(static_cast<uint32_t>(h.pnp().LastStartStatus(h.pdo())), 0xC0000035u) << "the link's collision";
  EXPECT_EQ(h.fdo(), nullptr);
  EXPECT_EQ(h.kernel().NamedDevice("\\Device\\KvxScan0"), nullptr) << "the device object went with the failure";
  EXPECT_EQ(h.kernel().LinkTarget("KvxScan0"), "\\Device\\Elsewhere") << "the other's link stays";
  EXPECT_EQ(h.WdmPool(), 0u);
}

TEST(KvxAdd, AnAddWithoutAPhysicalDeviceIsNoMoreEntries) {
  KvxHarness h;
  platform::DRIVER_OBJECT* driver = h.fdo()->DriverObject;
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(static_cast<uint32_t>(driver->DriverExtension->AddDevice(driver, nullptr)), 0x8000001Au);
  EXPECT_EQ(h.kernel().NamedDevice("\\Device\\KvxScan1"), nullptr);
}

// Each device publishes its own path in its own driver key, and its removal clears only that.
TEST(KvxRegistry, EachDevicePublishesItsOwnPathAndItsRemovalClearsOnlyThat) {
  KvxHarness h(MachineWith("scanners=2\n"));
  EXPECT_EQ(CreateFileName(h.host(), 0), "\\\\.\\KvxScan0");
  EXPECT_EQ(CreateFileName(h.host(), 1), "\\\\.\\KvxScan1");
  EXPECT_EQ(h.ext(1).InstanceDigit, u'1');
  EXPECT_EQ(h.pnp().Stop(h.pdo(1)), 0);
  EXPECT_EQ(CreateFileName(h.host(), 1), "\\\\.\\KvxScan1") << "a stop leaves the path";
  EXPECT_EQ(h.pnp().Remove(h.pdo(1)), 0);
  EXPECT_EQ(CreateFileName(h.host(), 1), "");
  EXPECT_EQ(CreateFileName(h.host(), 0), "\\\\.\\KvxScan0");
  EXPECT_FALSE(h.paths().Exists("KvxScan1"));
  EXPECT_TRUE(h.pnp().DriverLoaded("KvxScan")) << "the other device keeps the driver";
  auto handle = h.Open();
  std::vector<uint8_t> out(2);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 2, 0}), out), 0u);
  EXPECT_EQ(h.pnp().DriverEntryCalls("KvxScan"), 1);
}

// Internal device-control requests from above go down to the bus while the device is there;
// after a removal they are answered with success and nothing is sent.
TEST(KvxRemoval, InternalRequestsPassDownUntilTheDeviceIsRemoved) {
  KvxHarness h;
  auto handle = h.Open();
  uint8_t descriptor[18] = {};
  platform::URB urb{};
  auto request = [&] {
    std::memset(&urb, 0, sizeof urb);
    urb.UrbHeader.Length = sizeof(platform::_URB_CONTROL_DESCRIPTOR_REQUEST);
    urb.UrbHeader.Function = platform::URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    urb.UrbControlDescriptorRequest.DescriptorType = platform::USB_DEVICE_DESCRIPTOR_TYPE;
    urb.UrbControlDescriptorRequest.TransferBuffer = descriptor;
    urb.UrbControlDescriptorRequest.TransferBufferLength = sizeof descriptor;
  };
  request();
  ASSERT_EQ(SubmitThroughDriver(h, &urb), 0);
  EXPECT_EQ(std::vector<uint8_t>(descriptor, descriptor + 18), emulator::KvxScanner::DefaultDeviceDescriptor());

  h.bus().Unplug(h.pdo());  // surprise removal; the open handle keeps the device object
  ASSERT_NE(h.fdo(), nullptr);
  std::memset(descriptor, 0xEE, sizeof descriptor);
  size_t setups = h.scanner().Setups().size();
  request();
  EXPECT_EQ(SubmitThroughDriver(h, &urb), 0);
  EXPECT_EQ(descriptor[0], 0xEE) << "nothing was sent";
  EXPECT_EQ(h.scanner().Setups().size(), setups);
  h.Close(handle);
}

TEST(KvxRemoval, ADeviceLeavingWithoutHandlesGoesAtOnceWithItsPathAndTheDriver) {
  KvxHarness h;
  h.bus().Unplug(h.pdo());
  EXPECT_EQ(h.fdo(), nullptr);
  EXPECT_EQ(CreateFileName(h.host(), 0), "");
  EXPECT_FALSE(h.paths().Exists("KvxScan0"));
  EXPECT_FALSE(h.pnp().DriverLoaded("KvxScan"));
  EXPECT_EQ(h.WdmPool(), 0u);
  EXPECT_EQ(h.scanner().deconfigurations(), 0) << "a device that is gone is not deconfigured";
}

// A device that leaves under an open handle refuses that handle's new requests, each with its
// own status, until the handle closes; the other device goes on.
TEST(KvxRemoval, AfterASurpriseRemovalTheOpenHandleIsRefusedAndTheOtherDeviceWorks) {
  KvxHarness h(MachineWith("scanners=2\n"));
  auto gone = h.Open("\\\\.\\KvxScan0");
  auto staying = h.Open("\\\\.\\KvxScan1");
  h.bus().Unplug(h.pdo(0));
  std::vector<uint8_t> data(100), out(8), none;
  uint32_t n = 0;
  EXPECT_FALSE(h.paths().Read(gone, data, &n));
  EXPECT_EQ(platform::GetLastError(), 6u) << "STATUS_FILE_CLOSED";
  EXPECT_EQ(h.Control(gone, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out), 995u);
  EXPECT_EQ(h.Control(gone, IOCTL_KVX_VENDOR_REQUEST, Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0}), out), 8u);
  EXPECT_NE(h.Control(gone, IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0}), out), 0u)
      << "not refused by the driver, but the device is gone";
  EXPECT_EQ(h.ext(0).Waiters, 0);
  h.Close(gone);
  h.Settle();
  EXPECT_FALSE(h.paths().Exists("KvxScan0"));
  EXPECT_TRUE(h.pnp().DriverLoaded("KvxScan"));
  EXPECT_EQ(h.Control(staying, IOCTL_KVX_VENDOR_REQUEST, Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0}), out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "KVX-S100");
  h.Close(staying);
  EXPECT_EQ(h.pnp().Remove(h.pdo(1)), 0);
  EXPECT_FALSE(h.pnp().DriverLoaded("KvxScan"));
  EXPECT_EQ(h.WdmPool(), 0u);
}

// Power requests are the I/O manager's: a pending read goes on through them.
TEST(KvxPower, SetPowerLeavesAPendingReadAndTheDeviceWorking) {
  KvxHarness h(MachineWith("width=100\nlines=10\n"));
  auto handle = h.Open();
  std::vector<uint8_t> data(1000);
  platform::Overlapped read;
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ReadOverlapped(handle, data, read, &n));
  for (platform::ULONG state : {4u, 1u}) EXPECT_EQ(h.pnp().SetPower(h.pdo(), state), 0) << state;
  EXPECT_FALSE(read.request->Completed());
  platform::UserBuffer one(1);
  one.data()[0] = 1;
  std::vector<uint8_t> none;
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x20, 1, one.address()}), none), 0u);
  ASSERT_TRUE(h.paths().GetOverlappedResult(handle, read, &n, true)) << platform::GetLastError();
  EXPECT_EQ(n, 1000u);
  EXPECT_EQ(data[0], emulator::KvxScanner::ChartByte(0, 0, 100, 10));
}

// A stop of a stopped device is a success that sends nothing; the interrupt poll ends at the
// stop and starts again with the next start.
TEST(KvxPower, ASecondStopSendsNothingAndARestartPollsTheInterruptPipeAgain) {
  KvxHarness h;
  auto handle = h.Open();
  EXPECT_EQ(h.pnp().Stop(h.pdo()), 0);
  EXPECT_EQ(h.ext().InterruptIrp, nullptr);
  EXPECT_EQ(h.ext().InterruptBuffer, nullptr);
  EXPECT_EQ(h.pnp().Stop(h.pdo()), 0);
  EXPECT_EQ(h.scanner().deconfigurations(), 1);
  ASSERT_EQ(h.pnp().Start(h.pdo()), 0);
  EXPECT_NE(h.ext().InterruptBuffer, nullptr);
  std::vector<uint8_t> out(8);
  platform::Overlapped wait;
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out, wait, &n));
  h.scanner().PressButton();
  ASSERT_TRUE(h.paths().GetOverlappedResult(handle, wait, &n, true)) << platform::GetLastError();
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(out[0], 1) << "a button event";
}

}  // namespace
}  // namespace kvxscan::testing
