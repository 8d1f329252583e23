// Waiting for another thread's answer. A hand-off between two threads (a request to the bus
// thread, its completion back to the caller) is mostly answered within microseconds, while waking
// a thread that went to sleep costs tens of microseconds on a virtual machine whose processors
// idle: a register read made of two hand-offs took about 60 us that way, 4 us with both threads
// awake. So a waiter looks again for a short while before it sleeps.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

inline constexpr std::chrono::microseconds kHandOffSpin{50};

// Waits until `ready()` (called with `lock` held, as a condition variable's predicate is).
template <class Ready>
void WaitForHandOff(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Ready ready) {
  const auto until = std::chrono::steady_clock::now() + kHandOffSpin;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= until) {
      cv.wait(lock, ready);
      return;
    }
    lock.unlock();
    std::this_thread::yield();
    lock.lock();
  }
}

}  // namespace platform
