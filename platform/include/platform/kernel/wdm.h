// The kernel-mode interfaces a Windows Driver Model driver is written against: driver and device
// objects, IRPs with their stack locations and completion routines, the cancel spin lock,
// MDLs, tagged pool, kernel events, spin locks, delays, work items, symbolic links and the
// device's registry key. They run on the current host's kernel (kernel.h): device objects are
// reached from user mode through the host's device paths, pool comes from the kernel's
// accounted pool, waits and delays run on the host's clock.
//
// Names and shapes follow the Windows interfaces so that a driver reads as it would on Windows.
// Pointers are native (64-bit); the names, numbers and calling order are Windows'.
//
// Interrupt request levels are modelled per thread: a completion routine that the USB bus calls
// runs at DISPATCH_LEVEL, and so does code holding a spin lock. A wait with a non-zero time-out
// at DISPATCH_LEVEL, a request completed twice or with its cancel routine still set, a pool block
// freed twice and pool left behind by an unloaded driver are bug checks (kernel.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/kernel/ntstatus.h"

namespace platform {

class Clock;

using UCHAR = uint8_t;
using USHORT = uint16_t;
using ULONG = uint32_t;
using LONG = int32_t;
using ULONG_PTR = uintptr_t;
using BOOLEAN = uint8_t;
using CCHAR = int8_t;
using KIRQL = uint8_t;
using WCHAR = char16_t;
using PVOID = void*;
using HANDLE = void*;

inline constexpr BOOLEAN TRUE = 1;
inline constexpr BOOLEAN FALSE = 0;

inline constexpr KIRQL PASSIVE_LEVEL = 0;
inline constexpr KIRQL APC_LEVEL = 1;
inline constexpr KIRQL DISPATCH_LEVEL = 2;

union LARGE_INTEGER {
  int64_t QuadPart;
};

struct UNICODE_STRING {
  USHORT Length = 0;         // bytes, without a terminating null
  USHORT MaximumLength = 0;  // bytes
  WCHAR* Buffer = nullptr;
};
void RtlInitUnicodeString(UNICODE_STRING* destination, const WCHAR* source);

struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct IRP;
struct FILE_OBJECT;

using DRIVER_DISPATCH = NTSTATUS(DEVICE_OBJECT* deviceObject, IRP* irp);
using DRIVER_ADD_DEVICE = NTSTATUS(DRIVER_OBJECT* driverObject, DEVICE_OBJECT* physicalDevice);
using DRIVER_UNLOAD = void(DRIVER_OBJECT* driverObject);
using DRIVER_CANCEL = void(DEVICE_OBJECT* deviceObject, IRP* irp);
using IO_COMPLETION_ROUTINE = NTSTATUS(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context);
using DRIVER_INITIALIZE = NTSTATUS(DRIVER_OBJECT* driverObject, UNICODE_STRING* registryPath);

// Major functions.
inline constexpr UCHAR IRP_MJ_CREATE = 0x00;
inline constexpr UCHAR IRP_MJ_CLOSE = 0x02;
inline constexpr UCHAR IRP_MJ_READ = 0x03;
inline constexpr UCHAR IRP_MJ_WRITE = 0x04;
inline constexpr UCHAR IRP_MJ_DEVICE_CONTROL = 0x0E;
inline constexpr UCHAR IRP_MJ_INTERNAL_DEVICE_CONTROL = 0x0F;
inline constexpr UCHAR IRP_MJ_CLEANUP = 0x12;
inline constexpr UCHAR IRP_MJ_POWER = 0x16;
inline constexpr UCHAR IRP_MJ_SYSTEM_CONTROL = 0x17;
inline constexpr UCHAR IRP_MJ_PNP = 0x1B;
inline constexpr UCHAR IRP_MJ_MAXIMUM_FUNCTION = 0x1B;

// Plug and Play and power minor functions.
inline constexpr UCHAR IRP_MN_START_DEVICE = 0x00;
inline constexpr UCHAR IRP_MN_REMOVE_DEVICE = 0x02;
inline constexpr UCHAR IRP_MN_STOP_DEVICE = 0x04;
inline constexpr UCHAR IRP_MN_SURPRISE_REMOVAL = 0x17;
inline constexpr UCHAR IRP_MN_SET_POWER = 0x02;

// Stack location control bits.
inline constexpr UCHAR SL_PENDING_RETURNED = 0x01;
inline constexpr UCHAR SL_INVOKE_ON_CANCEL = 0x20;
inline constexpr UCHAR SL_INVOKE_ON_SUCCESS = 0x40;
inline constexpr UCHAR SL_INVOKE_ON_ERROR = 0x80;

// Device object flags and types.
inline constexpr ULONG DO_BUFFERED_IO = 0x00000004;
inline constexpr ULONG DO_DIRECT_IO = 0x00000010;
inline constexpr ULONG DO_DEVICE_INITIALIZING = 0x00000080;
inline constexpr ULONG FILE_DEVICE_UNKNOWN = 0x22;
inline constexpr ULONG FILE_DEVICE_BUS_EXTENDER = 0x2A;

inline constexpr CCHAR IO_NO_INCREMENT = 0;

constexpr ULONG CTL_CODE(ULONG deviceType, ULONG function, ULONG method, ULONG access) {
  return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
inline constexpr ULONG METHOD_BUFFERED = 0;
inline constexpr ULONG METHOD_IN_DIRECT = 1;
inline constexpr ULONG METHOD_OUT_DIRECT = 2;
inline constexpr ULONG METHOD_NEITHER = 3;
inline constexpr ULONG FILE_ANY_ACCESS = 0;

struct IO_STATUS_BLOCK {
  NTSTATUS Status = STATUS_SUCCESS;
  ULONG_PTR Information = 0;
};

// A memory descriptor list over one buffer of the requesting process. In one address space the
// system address is the buffer's own address.
struct MDL {
  MDL* Next = nullptr;
  USHORT Size = sizeof(MDL);
  USHORT MdlFlags = 0;
  PVOID MappedSystemVa = nullptr;
  PVOID StartVa = nullptr;
  ULONG ByteCount = 0;
  ULONG ByteOffset = 0;
};
inline constexpr USHORT MDL_MAPPED_TO_SYSTEM_VA = 0x0001;
inline constexpr USHORT MDL_SOURCE_IS_NONPAGED_POOL = 0x0004;

enum MM_PAGE_PRIORITY { LowPagePriority = 0, NormalPagePriority = 16, HighPagePriority = 32 };

MDL* IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN secondaryBuffer,
                   BOOLEAN chargeQuota, IRP* irp);
void IoFreeMdl(MDL* mdl);
PVOID MmGetSystemAddressForMdlSafe(MDL* mdl, MM_PAGE_PRIORITY priority);
inline ULONG MmGetMdlByteCount(const MDL* mdl) { return mdl->ByteCount; }

struct FILE_OBJECT {
  DEVICE_OBJECT* DeviceObject = nullptr;
  UNICODE_STRING FileName;  // what followed the device's name in the path ("\2"), or empty
  PVOID FsContext = nullptr;
  PVOID FsContext2 = nullptr;
};

struct IO_STACK_LOCATION {
  UCHAR MajorFunction = 0;
  UCHAR MinorFunction = 0;
  UCHAR Flags = 0;
  UCHAR Control = 0;
  union {
    struct {
      ULONG Length;
      ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Read;
    struct {
      ULONG Length;
      ULONG Key;
      LARGE_INTEGER ByteOffset;
    } Write;
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
    struct {
      ULONG Type;
      ULONG State;
    } Power;
    struct {
      PVOID Argument1;
      PVOID Argument2;
      PVOID Argument3;
      PVOID Argument4;
    } Others;
  } Parameters{};
  DEVICE_OBJECT* DeviceObject = nullptr;
  FILE_OBJECT* FileObject = nullptr;
  IO_COMPLETION_ROUTINE* CompletionRoutine = nullptr;
  PVOID Context = nullptr;
};

enum KPROCESSOR_MODE : CCHAR { KernelMode = 0, UserMode = 1 };

// The owner of a request the I/O manager built: called once the request has completed past its
// last stack location, with the request still valid; it frees the request.
using IrpFinisher = std::function<void(IRP* irp)>;

struct IRP {
  USHORT Type = 6;
  USHORT Size = 0;
  MDL* MdlAddress = nullptr;
  ULONG Flags = 0;
  union {
    IRP* MasterIrp;
    PVOID SystemBuffer;
  } AssociatedIrp{};
  IO_STATUS_BLOCK IoStatus;
  KPROCESSOR_MODE RequestorMode = KernelMode;
  BOOLEAN PendingReturned = FALSE;
  CCHAR StackCount = 0;
  CCHAR CurrentLocation = 0;
  std::atomic<BOOLEAN> Cancel{FALSE};
  KIRQL CancelIrql = PASSIVE_LEVEL;
  std::atomic<DRIVER_CANCEL*> CancelRoutine{nullptr};
  PVOID UserBuffer = nullptr;
  IO_STACK_LOCATION* Stack = nullptr;  // StackCount locations; CurrentLocation counts from 1

  // The I/O manager's part.
  std::atomic<int> completing{0};  // inside IoCompleteRequest, until a routine keeps the request
  IrpFinisher finisher;
  DEVICE_OBJECT* target = nullptr;  // where a request built by IoBuildDeviceIoControlRequest goes
};

struct DEVICE_OBJECT {
  USHORT Type = 3;
  USHORT Size = sizeof(DEVICE_OBJECT);
  DRIVER_OBJECT* DriverObject = nullptr;
  DEVICE_OBJECT* NextDevice = nullptr;
  DEVICE_OBJECT* AttachedDevice = nullptr;  // the device attached above this one
  ULONG Flags = 0;
  ULONG Characteristics = 0;
  PVOID DeviceExtension = nullptr;
  ULONG DeviceType = 0;
  CCHAR StackSize = 1;

  // The I/O manager's part.
  DEVICE_OBJECT* lowerDevice = nullptr;  // what this one is attached to
  UNICODE_STRING* name = nullptr;
  BOOLEAN exclusive = FALSE;
};

struct DRIVER_EXTENSION {
  DRIVER_OBJECT* DriverObject = nullptr;
  DRIVER_ADD_DEVICE* AddDevice = nullptr;
};

struct DRIVER_OBJECT {
  USHORT Type = 4;
  USHORT Size = sizeof(DRIVER_OBJECT);
  DEVICE_OBJECT* DeviceObject = nullptr;  // the driver's devices, linked by NextDevice
  ULONG Flags = 0;
  DRIVER_EXTENSION* DriverExtension = nullptr;
  DRIVER_UNLOAD* DriverUnload = nullptr;
  DRIVER_DISPATCH* MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1] = {};

  // The I/O manager's part.
  DRIVER_EXTENSION extension;
};

// --- Objects ---
NTSTATUS IoCreateDevice(DRIVER_OBJECT* driverObject, ULONG deviceExtensionSize,
                        UNICODE_STRING* deviceName, ULONG deviceType, ULONG characteristics,
                        BOOLEAN exclusive, DEVICE_OBJECT** deviceObject);
void IoDeleteDevice(DEVICE_OBJECT* deviceObject);
DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target);
void IoDetachDevice(DEVICE_OBJECT* targetDevice);
// Links "\DosDevices\NAME" to a named device: user mode then opens it as "\\.\NAME", with
// anything after a further backslash handed to the driver as the file object's name.
NTSTATUS IoCreateSymbolicLink(UNICODE_STRING* symbolicLinkName, UNICODE_STRING* deviceName);
NTSTATUS IoDeleteSymbolicLink(UNICODE_STRING* symbolicLinkName);

// --- Requests ---
IRP* IoAllocateIrp(CCHAR stackSize, BOOLEAN chargeQuota);
void IoFreeIrp(IRP* irp);
void IoReuseIrp(IRP* irp, NTSTATUS status);
// A synchronous device-control request for `deviceObject`: when it completes, the I/O manager
// stores its status in `ioStatus`, sets `event` and frees it.
struct KEVENT;
IRP* IoBuildDeviceIoControlRequest(ULONG ioControlCode, DEVICE_OBJECT* deviceObject,
                                   PVOID inputBuffer, ULONG inputBufferLength,
                                   PVOID outputBuffer, ULONG outputBufferLength,
                                   BOOLEAN internalDeviceIoControl, KEVENT* event,
                                   IO_STATUS_BLOCK* ioStatus);
NTSTATUS IoCallDriver(DEVICE_OBJECT* deviceObject, IRP* irp);
void IoCompleteRequest(IRP* irp, CCHAR priorityBoost);
BOOLEAN IoCancelIrp(IRP* irp);

inline IO_STACK_LOCATION* IoGetCurrentIrpStackLocation(IRP* irp) {
  return &irp->Stack[irp->CurrentLocation - 1];
}
inline IO_STACK_LOCATION* IoGetNextIrpStackLocation(IRP* irp) {
  return &irp->Stack[irp->CurrentLocation - 2];
}
void IoCopyCurrentIrpStackLocationToNext(IRP* irp);
void IoSkipCurrentIrpStackLocation(IRP* irp);
void IoSetCompletionRoutine(IRP* irp, IO_COMPLETION_ROUTINE* routine, PVOID context,
                            BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError,
                            BOOLEAN invokeOnCancel);
inline void IoMarkIrpPending(IRP* irp) { IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED; }
// Exchanges the request's cancel routine atomically and returns the old one.
DRIVER_CANCEL* IoSetCancelRoutine(IRP* irp, DRIVER_CANCEL* routine);

// --- The cancel spin lock ---
void IoAcquireCancelSpinLock(KIRQL* irql);
void IoReleaseCancelSpinLock(KIRQL irql);

// --- Interrupt request levels and spin locks ---
KIRQL KeGetCurrentIrql();
void KeRaiseIrql(KIRQL newIrql, KIRQL* oldIrql);
void KeLowerIrql(KIRQL newIrql);

struct KSPIN_LOCK {
  std::mutex mutex;
};
void KeInitializeSpinLock(KSPIN_LOCK* lock);
void KeAcquireSpinLock(KSPIN_LOCK* lock, KIRQL* oldIrql);
void KeReleaseSpinLock(KSPIN_LOCK* lock, KIRQL newIrql);

// --- Events, waits and delays on the host's clock ---
enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
enum KWAIT_REASON { Executive = 0 };

struct KEVENT {
  std::mutex mutex;
  std::condition_variable cv;
  bool signaled = false;
  EVENT_TYPE type = NotificationEvent;
  Clock* clock = nullptr;
};
void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, BOOLEAN state);
LONG KeSetEvent(KEVENT* event, LONG increment, BOOLEAN wait);
void KeClearEvent(KEVENT* event);
LONG KeReadStateEvent(KEVENT* event);
inline constexpr NTSTATUS STATUS_TIMEOUT = 0x102;
// `timeout`: null waits for ever; negative is relative, in 100-nanosecond units. Waiting with a
// non-zero time-out above APC_LEVEL is a bug check.
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                               BOOLEAN alertable, LARGE_INTEGER* timeout);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE mode, BOOLEAN alertable, LARGE_INTEGER* interval);

// --- Pool ---
enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1 };
// Four characters as a little-endian 32-bit tag: 'Wdm ' is MakePoolTag("Wdm ").
constexpr ULONG MakePoolTag(const char (&text)[5]) {
  return static_cast<ULONG>(static_cast<uint8_t>(text[0])) |
         static_cast<ULONG>(static_cast<uint8_t>(text[1])) << 8 |
         static_cast<ULONG>(static_cast<uint8_t>(text[2])) << 16 |
         static_cast<ULONG>(static_cast<uint8_t>(text[3])) << 24;
}
// Null when the pool is exhausted (the fault point "kernel.pool", subject the tag's text).
PVOID ExAllocatePoolWithTag(POOL_TYPE type, size_t numberOfBytes, ULONG tag);
void ExFreePool(PVOID block);
void ExFreePoolWithTag(PVOID block, ULONG tag);

inline LONG InterlockedIncrement(volatile LONG* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedRead(volatile LONG* value) { return __atomic_load_n(value, __ATOMIC_SEQ_CST); }
template <class T>
T* InterlockedExchangePointer(T* volatile* target, T* value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

// --- Work items, run one at a time on the kernel's system worker thread ---
struct IO_WORKITEM;
enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1 };
using IO_WORKITEM_ROUTINE = void(DEVICE_OBJECT* deviceObject, PVOID context);
IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* deviceObject);
void IoFreeWorkItem(IO_WORKITEM* item);
void IoQueueWorkItem(IO_WORKITEM* item, IO_WORKITEM_ROUTINE* routine, WORK_QUEUE_TYPE queueType,
                     PVOID context);

// --- The device's registry keys ---
inline constexpr ULONG PLUGPLAY_REGKEY_DEVICE = 1;
inline constexpr ULONG PLUGPLAY_REGKEY_DRIVER = 2;
inline constexpr ULONG KEY_READ = 0x20019;
inline constexpr ULONG KEY_WRITE = 0x20006;
inline constexpr ULONG KEY_ALL_ACCESS = 0xF003F;
inline constexpr ULONG REG_SZ = 1;
inline constexpr ULONG REG_DWORD = 4;
NTSTATUS IoOpenDeviceRegistryKey(DEVICE_OBJECT* deviceObject, ULONG devInstKeyType,
                                 ULONG desiredAccess, HANDLE* devInstRegKey);
// REG_SZ data are 16-bit characters; the registry stores them as text.
NTSTATUS ZwSetValueKey(HANDLE keyHandle, UNICODE_STRING* valueName, ULONG titleIndex, ULONG type,
                       PVOID data, ULONG dataSize);
NTSTATUS ZwClose(HANDLE handle);

// --- User buffers ---
// Copies `length` bytes from an address in the requesting process's address space without
// trusting it: an address outside the process's user memory (user_memory.h) gives
// STATUS_ACCESS_VIOLATION and copies nothing.
NTSTATUS CopyFromUserAddress(void* destination, ULONG userAddress, ULONG length);

// --- Bug checks ---
inline constexpr ULONG IRQL_NOT_LESS_OR_EQUAL = 0x0A;
inline constexpr ULONG MULTIPLE_IRP_COMPLETE_REQUESTS = 0x44;
inline constexpr ULONG NO_MORE_IRP_STACK_LOCATIONS = 0x35;
inline constexpr ULONG BAD_POOL_CALLER = 0xC2;
inline constexpr ULONG DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS = 0xCE;
inline constexpr ULONG DRIVER_VERIFIER_DETECTED_VIOLATION = 0xC4;
// Reports the bug check to the kernel (kernel.h). It returns only when the host's bug-check
// handler returns (a test records the failure); the kernel then refuses the faulty operation.
void KeBugCheckEx(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4);

}  // namespace platform
