// The I/O manager: completion routines, double completion, cancel routines, pool per tag,
// waits and delays on the host clock, user-memory copies, work items, symbolic links.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/devices/device_paths.h"
#include "platform/faults/faults.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/user_memory.h"
#include "platform/system/errors.h"
#include "test_host.h"

namespace platform {
namespace {

class KernelIo : public ::testing::Test {
 protected:
  KernelIo() : kernel(Kernel::Of(host.host())) {
    kernel.SetBugCheckHandler([this](const BugCheck& check) { checks.push_back(check.name); });
  }
  testing::TestHost host{[] {
    testing::TestHost::Settings s;
    s.hardware = NoHardware();
    return s;
  }()};
  Kernel& kernel;
  std::vector<std::string> checks;
};

std::vector<std::string> gOrder;

NTSTATUS UpperRoutine(DEVICE_OBJECT*, IRP*, PVOID context) {
  gOrder.push_back(static_cast<const char*>(context));
  return STATUS_SUCCESS;
}
NTSTATUS KeepingRoutine(DEVICE_OBJECT*, IRP*, PVOID) {
  gOrder.push_back("keep");
  return STATUS_MORE_PROCESSING_REQUIRED;
}
NTSTATUS Complete(DEVICE_OBJECT*, IRP* irp) {
  irp->IoStatus.Status = STATUS_CANCELLED;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_CANCELLED;
}
NTSTATUS PassDown(DEVICE_OBJECT* device, IRP* irp) {
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, UpperRoutine, const_cast<char*>("upper"), TRUE, TRUE, TRUE);
  return IoCallDriver(device->lowerDevice, irp);
}

TEST_F(KernelIo, CompletionRoutinesRunFromTheBottomUpAndAKeptRequestWaitsForItsOwner) {
  DRIVER_OBJECT lower, upper;
  lower.MajorFunction[IRP_MJ_READ] = Complete;
  upper.MajorFunction[IRP_MJ_READ] = PassDown;
  DEVICE_OBJECT *bottom = nullptr, *top = nullptr;
  ASSERT_EQ(IoCreateDevice(&lower, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &bottom), 0);
  ASSERT_EQ(IoCreateDevice(&upper, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &top), 0);
  IoAttachDeviceToDeviceStack(top, bottom);
  EXPECT_EQ(top->StackSize, 2);
  gOrder.clear();
  IRP* irp = IoAllocateIrp(top->StackSize + 1, FALSE);
  IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ;
  IoSetCompletionRoutine(irp, KeepingRoutine, nullptr, TRUE, TRUE, TRUE);
  NTSTATUS finished = 1;
  irp->finisher = [&](IRP* done) {
    finished = done->IoStatus.Status;
    IoFreeIrp(done);
  };
  EXPECT_EQ(static_cast<uint32_t>(IoCallDriver(top, irp)), 0xC0000120u);
  EXPECT_EQ(gOrder, (std::vector<std::string>{"upper", "keep"}));
  EXPECT_EQ(finished, 1) << "kept by its routine: not finished";
  IoCompleteRequest(irp, IO_NO_INCREMENT);  // the owner completes it again
  EXPECT_EQ(static_cast<uint32_t>(finished), 0xC0000120u);
  EXPECT_TRUE(checks.empty());
  IoDeleteDevice(top);
  IoDeleteDevice(bottom);
}

TEST_F(KernelIo, CompletingARequestTwiceOrWithItsCancelRoutineSetIsABugCheckByName) {
  IRP* irp = IoAllocateIrp(1, FALSE);
  int finished = 0;
  irp->finisher = [&](IRP*) { ++finished; };
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(checks, (std::vector<std::string>{"MULTIPLE_IRP_COMPLETE_REQUESTS"}));
  IoFreeIrp(irp);
  checks.clear();
  IRP* second = IoAllocateIrp(1, FALSE);
  second->finisher = [](IRP* done) { IoFreeIrp(done); };
  IoSetCancelRoutine(second, [](DEVICE_OBJECT*, IRP* i) { IoReleaseCancelSpinLock(i->CancelIrql); });
  IoCompleteRequest(second, IO_NO_INCREMENT);
  EXPECT_EQ(checks, (std::vector<std::string>{"DRIVER_VERIFIER_DETECTED_VIOLATION"}));
}

std::atomic<int> gCancels{0};
void CountingCancel(DEVICE_OBJECT*, IRP* irp) {
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL) << "a cancel routine runs holding the cancel spin lock";
  ++gCancels;
  IoReleaseCancelSpinLock(irp->CancelIrql);
}

TEST_F(KernelIo, ACancelRoutineRunsOnceAndACancelWithoutOneOnlyMarksTheRequest) {
  IRP* irp = IoAllocateIrp(1, FALSE);
  gCancels = 0;
  EXPECT_FALSE(IoCancelIrp(irp));
  EXPECT_TRUE(irp->Cancel);
  IoSetCancelRoutine(irp, CountingCancel);
  EXPECT_TRUE(IoCancelIrp(irp));
  EXPECT_FALSE(IoCancelIrp(irp));
  EXPECT_EQ(gCancels, 1);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  IoFreeIrp(irp);
}

TEST_F(KernelIo, PoolIsCountedPerTagFailsPerTagAndADoubleFreeIsABugCheck) {
  void* a = ExAllocatePoolWithTag(NonPagedPool, 10, MakePoolTag("Wdm "));
  void* b = ExAllocatePoolWithTag(NonPagedPool, 20, MakePoolTag("Wdm "));
  void* c = ExAllocatePoolWithTag(NonPagedPool, 30, MakePoolTag("Othr"));
  EXPECT_EQ(kernel.PoolBlocks("Wdm "), 2u);
  EXPECT_EQ(kernel.PoolBytes("Wdm "), 30u);
  host.host().faults().FailNth("kernel.pool.Wdm", 1);
  EXPECT_NE(ExAllocatePoolWithTag(NonPagedPool, 1, MakePoolTag("Othr")), nullptr) << "another tag goes on";
  EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 1, MakePoolTag("Wdm ")), nullptr);
  ExFreePool(a);
  ExFreePool(a);
  EXPECT_EQ(checks, (std::vector<std::string>{"BAD_POOL_CALLER"}));
  ExFreePoolWithTag(b, MakePoolTag("Wdm "));
  ExFreePool(c);
  EXPECT_EQ(kernel.PoolBlocks("Wdm "), 0u);
}

TEST_F(KernelIo, TimedWaitsRunOnTheHostClockAndAWaitAtDispatchLevelIsABugCheck) {
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  uint64_t before = host.clock().NowMs();
  LARGE_INTEGER timeout{-5000 * 10000LL};
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout), STATUS_TIMEOUT);
  EXPECT_EQ(host.clock().NowMs() - before, 5000u);
  LARGE_INTEGER delay{-500 * 10000LL};
  KeDelayExecutionThread(KernelMode, FALSE, &delay);
  EXPECT_EQ(host.clock().NowMs() - before, 5500u);
  std::thread setter([&] { KeSetEvent(&event, 0, FALSE); });
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
  setter.join();
  KIRQL old;
  KeRaiseIrql(DISPATCH_LEVEL, &old);
  KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
  KeLowerIrql(old);
  EXPECT_EQ(checks, (std::vector<std::string>{"IRQL_NOT_LESS_OR_EQUAL"}));
}

TEST_F(KernelIo, UserAddressesAreCopiedOnlyWithinOneLiveBlockBelowFourGiB) {
  UserBuffer block(16);
  ASSERT_NE(block.data(), nullptr);
  EXPECT_LT(reinterpret_cast<uintptr_t>(block.data()) + 16, uintptr_t{1} << 32);
  for (int i = 0; i < 16; ++i) block.data()[i] = static_cast<uint8_t>(i);
  uint8_t out[17] = {};
  EXPECT_EQ(CopyFromUserAddress(out, block.address() + 4, 12), STATUS_SUCCESS);
  EXPECT_EQ(out[11], 15);
  EXPECT_EQ(static_cast<uint32_t>(CopyFromUserAddress(out, block.address() + 4, 13)), 0xC0000005u);
  EXPECT_EQ(static_cast<uint32_t>(CopyFromUserAddress(out, block.address() - 1, 2)), 0xC0000005u);
  EXPECT_EQ(static_cast<uint32_t>(CopyFromUserAddress(out, 0, 1)), 0xC0000005u);
  uint32_t gone;
  {
    UserBuffer freed(8);
    gone = freed.address();
  }
  EXPECT_EQ(static_cast<uint32_t>(CopyFromUserAddress(out, gone, 1)), 0xC0000005u);
}

TEST_F(KernelIo, WorkItemsRunInOrderOnTheWorkerThread) {
  std::vector<int> ran;
  std::thread::id worker;
  for (int i = 0; i < 5; ++i) {
    kernel.QueueWork([&, i] {
      ran.push_back(i);
      worker = std::this_thread::get_id();
    });
  }
  kernel.DrainWork();
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_NE(worker, std::this_thread::get_id());
}

std::string gOpenedName;
NTSTATUS RecordCreate(DEVICE_OBJECT*, IRP* irp) {
  const UNICODE_STRING& name = IoGetCurrentIrpStackLocation(irp)->FileObject->FileName;
  gOpenedName.assign(name.Buffer, name.Buffer + name.Length / 2);
  irp->IoStatus.Status = gOpenedName == "\\9" ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
  NTSTATUS status = irp->IoStatus.Status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

TEST_F(KernelIo, ASymbolicLinkOpensFromUserModeWithTheFileNameAfterTheDevice) {
  DRIVER_OBJECT driver;
  driver.MajorFunction[IRP_MJ_CREATE] = RecordCreate;
  UNICODE_STRING name, link;
  RtlInitUnicodeString(&name, u"\\Device\\Probe0");
  RtlInitUnicodeString(&link, u"\\DosDevices\\Probe0");
  DEVICE_OBJECT* device = nullptr;
  ASSERT_EQ(IoCreateDevice(&driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device), 0);
  DEVICE_OBJECT* again = nullptr;
  EXPECT_EQ(static_cast<uint32_t>(IoCreateDevice(&driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &again)), 0xC0000035u);
  ASSERT_EQ(IoCreateSymbolicLink(&link, &name), 0);
  DevicePaths& paths = host.host().devices();
  DeviceHandle h = paths.Open("\\\\.\\PROBE0\\2");
  ASSERT_NE(h, kInvalidDeviceHandle);
  EXPECT_EQ(gOpenedName, "\\2");
  std::vector<uint8_t> buffer(4);
  uint32_t n = 0;
  EXPECT_FALSE(paths.Read(h, buffer, &n));
  EXPECT_EQ(GetLastError(), 1u) << "no read routine: STATUS_INVALID_DEVICE_REQUEST";
  paths.Close(h);
  EXPECT_EQ(paths.Open("\\\\.\\Probe0\\9"), kInvalidDeviceHandle);
  EXPECT_EQ(GetLastError(), 87u) << "the driver refused the open";
  EXPECT_EQ(IoDeleteSymbolicLink(&link), 0);
  EXPECT_EQ(paths.Open("\\\\.\\Probe0"), kInvalidDeviceHandle);
  IoDeleteDevice(device);
}

}  // namespace
}  // namespace platform
