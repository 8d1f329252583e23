// Auto- and manual-reset events with timed waits, as the Win32 event functions behave. A waiter
// and a setter may be on different threads. Waits are measured on the event's clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock/clock.h"

namespace platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { kSignaled, kTimeout };

class Event {
 public:
  enum class Reset { kAuto, kManual };
  Event(Clock& clock, Reset reset, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void ResetEvent();
  // An auto-reset event releases one waiter and clears itself; a manual one stays set.
  WaitResult Wait(uint32_t timeoutMs = kInfinite);
  bool IsSet() const;

 private:
  bool TakeLocked();
  Clock& clock_;
  const Reset reset_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace platform
