// Interrupt request levels, spin locks, kernel events, delays and work items.
#include <chrono>

#include "platform/kernel/hand_off.h"
#include "platform/clock/clock.h"
#include "platform/kernel/kernel.h"

namespace platform {

namespace {
thread_local KIRQL tIrql = PASSIVE_LEVEL;

// Relative 100-nanosecond units, as the kernel's waits take them, to milliseconds (rounded up,
// so a wait never ends early). Positive (absolute) times count from the clock's start.
uint64_t TimeoutMs(const LARGE_INTEGER& t, Clock& clock) {
  if (t.QuadPart < 0) return static_cast<uint64_t>((-t.QuadPart + 9999) / 10000);
  uint64_t at = static_cast<uint64_t>(t.QuadPart / 10000);
  uint64_t now = clock.NowMs();
  return at > now ? at - now : 0;
}
}  // namespace

KIRQL KeGetCurrentIrql() { return tIrql; }

void KeRaiseIrql(KIRQL newIrql, KIRQL* oldIrql) {
  *oldIrql = tIrql;
  tIrql = newIrql;
}

void KeLowerIrql(KIRQL newIrql) { tIrql = newIrql; }

void KeInitializeSpinLock(KSPIN_LOCK*) {}

void KeAcquireSpinLock(KSPIN_LOCK* lock, KIRQL* oldIrql) {
  lock->mutex.lock();
  KeRaiseIrql(DISPATCH_LEVEL, oldIrql);
}

void KeReleaseSpinLock(KSPIN_LOCK* lock, KIRQL newIrql) {
  KeLowerIrql(newIrql);
  lock->mutex.unlock();
}

void IoAcquireCancelSpinLock(KIRQL* irql) {
  Kernel::Current().AcquireCancelLock();
  KeRaiseIrql(DISPATCH_LEVEL, irql);
}

void IoReleaseCancelSpinLock(KIRQL irql) {
  KeLowerIrql(irql);
  Kernel::Current().ReleaseCancelLock();
}

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, BOOLEAN state) {
  std::lock_guard lock(event->mutex);
  event->type = type;
  event->signaled = state != FALSE;
  event->clock = &Kernel::Current().clock();
}

LONG KeSetEvent(KEVENT* event, LONG, BOOLEAN) {
  std::lock_guard lock(event->mutex);
  LONG previous = event->signaled;
  event->signaled = true;
  // Notify under the lock: a waiter may free the event as soon as it sees it set.
  event->cv.notify_all();
  return previous;
}

void KeClearEvent(KEVENT* event) {
  std::lock_guard lock(event->mutex);
  event->signaled = false;
}

LONG KeReadStateEvent(KEVENT* event) {
  std::lock_guard lock(event->mutex);
  return event->signaled;
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                               LARGE_INTEGER* timeout) {
  auto* event = static_cast<KEVENT*>(object);
  if (tIrql > APC_LEVEL && (!timeout || timeout->QuadPart != 0)) {
    Kernel::Current().RaiseBugCheck(IRQL_NOT_LESS_OR_EQUAL, "a wait at DISPATCH_LEVEL");
    return STATUS_TIMEOUT;
  }
  std::unique_lock lock(event->mutex);
  auto take = [&] {
    if (!event->signaled) return false;
    if (event->type == SynchronizationEvent) event->signaled = false;
    return true;
  };
  if (!timeout) {
    WaitForHandOff(event->cv, lock, take);
    return STATUS_SUCCESS;
  }
  Clock& clock = *event->clock;
  uint64_t ms = TimeoutMs(*timeout, clock);
  uint64_t deadline = clock.NowMs() + ms;
  if (take()) return STATUS_SUCCESS;
  if (ms == 0) return STATUS_TIMEOUT;
  // On a virtual clock another thread gets a real grace period to set the event; then the wait
  // runs out and moves the clock to its deadline.
  auto real = clock.IsVirtual() ? VirtualClock::kRealGrace : std::chrono::milliseconds(ms);
  if (event->cv.wait_for(lock, real, take)) return STATUS_SUCCESS;
  clock.AdvanceTo(deadline);
  return STATUS_TIMEOUT;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, LARGE_INTEGER* interval) {
  Kernel& kernel = Kernel::Current();
  if (tIrql > APC_LEVEL) {
    kernel.RaiseBugCheck(IRQL_NOT_LESS_OR_EQUAL, "a delay at DISPATCH_LEVEL");
    return STATUS_SUCCESS;
  }
  kernel.clock().SleepMs(static_cast<uint32_t>(TimeoutMs(*interval, kernel.clock())));
  return STATUS_SUCCESS;
}

struct IO_WORKITEM {
  DEVICE_OBJECT* device = nullptr;
};

IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* deviceObject) {
  void* block = Kernel::Current().Allocate(sizeof(IO_WORKITEM), MakePoolTag("IoWk"));
  if (!block) return nullptr;
  return new (block) IO_WORKITEM{deviceObject};
}

void IoFreeWorkItem(IO_WORKITEM* item) { Kernel::Current().Free(item); }

void IoQueueWorkItem(IO_WORKITEM* item, IO_WORKITEM_ROUTINE* routine, WORK_QUEUE_TYPE,
                     PVOID context) {
  DEVICE_OBJECT* device = item->device;
  Kernel::Current().QueueWork([routine, device, context] { routine(device, context); });
}

}  // namespace platform
