// Millisecond clock and sleep. Everything in the suite that waits goes through a Clock, so that
// tests can run long device waits on a virtual clock in no real time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the clock was made (GetTickCount-like, but 64 bits wide).
  virtual uint64_t NowMs() const = 0;
  // Suspends the caller for `ms` of this clock's time.
  virtual void SleepMs(uint32_t ms) = 0;
  virtual bool IsVirtual() const = 0;
  // Moves virtual time forward to `ms` if it is behind; the real clock ignores this. Timed waits
  // that run out on a virtual clock call it, so that time passes for every observer.
  virtual void AdvanceTo(uint64_t ms) { (void)ms; }
};

class RealClock final : public Clock {
 public:
  RealClock();
  uint64_t NowMs() const override;
  void SleepMs(uint32_t ms) override;
  bool IsVirtual() const override { return false; }

 private:
  std::chrono::steady_clock::time_point start_;
};

// Time that moves only when somebody sleeps or a timed wait runs out: a sleep returns at once
// after advancing the clock. Thread-safe; devices and callers share one instance.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint64_t startMs = 0) : now_(startMs) {}
  uint64_t NowMs() const override { return now_.load(); }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  bool IsVirtual() const override { return true; }
  void AdvanceTo(uint64_t ms) override;
  void Advance(uint64_t ms) { now_.fetch_add(ms); }

  // How long a timed wait on this clock waits in real time for another thread before it
  // declares the timeout and moves the clock on. Generous, so that a completion from a worker
  // thread on a loaded machine is never mistaken for a time-out; only waits that really run
  // out pay it.
  static constexpr std::chrono::milliseconds kRealGrace{200};

 private:
  std::atomic<uint64_t> now_;
};

}  // namespace platform
