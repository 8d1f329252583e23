#include "platform/clock/clock.h"

#include <thread>

namespace platform {

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

uint64_t RealClock::NowMs() const {
  auto elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void RealClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void VirtualClock::AdvanceTo(uint64_t ms) {
  uint64_t now = now_.load();
  // Another thread may move the clock at the same time; only ever move it forward.
  while (now < ms && !now_.compare_exchange_weak(now, ms)) {
  }
}

}  // namespace platform
