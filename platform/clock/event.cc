#include "platform/clock/event.h"

namespace platform {

Event::Event(Clock& clock, Reset reset, bool initiallySet)
    : clock_(clock), reset_(reset), set_(initiallySet) {}

void Event::Set() {
  // Notified under the lock: a waiter that wakes may destroy the event at once, so nothing of
  // it may be touched after the lock is released.
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = true;
  if (reset_ == Reset::kManual) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool Event::TakeLocked() {
  if (!set_) return false;
  if (reset_ == Reset::kAuto) set_ = false;
  return true;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (TakeLocked()) return WaitResult::kSignaled;
  if (timeoutMs == 0) return WaitResult::kTimeout;
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, [this] { return set_; });
    TakeLocked();
    return WaitResult::kSignaled;
  }
  const uint64_t deadline = clock_.NowMs() + timeoutMs;
  if (!clock_.IsVirtual()) {
    bool got = cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
    return got && TakeLocked() ? WaitResult::kSignaled : WaitResult::kTimeout;
  }
  // On a virtual clock, give a setter on another thread a short real grace period (it is
  // normally an emulated device completing at once); if nothing comes, or another thread has
  // moved the clock past the deadline, the wait runs out and time jumps to its end.
  const auto realEnd = std::chrono::steady_clock::now() + VirtualClock::kRealGrace;
  while (!set_ && clock_.NowMs() < deadline && std::chrono::steady_clock::now() < realEnd) {
    cv_.wait_for(lock, std::chrono::milliseconds(1));
  }
  if (TakeLocked()) return WaitResult::kSignaled;
  clock_.AdvanceTo(deadline);
  return WaitResult::kTimeout;
}

}  // namespace platform
