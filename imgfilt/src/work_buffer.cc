#include "work_buffer.h"

#include <atomic>

namespace imgfilt {
namespace {
// Allocations left before the armed failure; 0 when disarmed. Atomic because the filters may run
// on several threads at once.
std::atomic<int> gAllocationsUntilFailure{0};
std::atomic<bool> gFailEvery{false};
}  // namespace

namespace faults {
void FailNth(int n) { gAllocationsUntilFailure.store(n > 0 ? n : 0); }
void FailEvery() { gFailEvery.store(true); }
void Clear() {
  gAllocationsUntilFailure.store(0);
  gFailEvery.store(false);
}
}  // namespace faults

bool AllocationFaultDue() {
  if (gFailEvery.load(std::memory_order_relaxed)) return true;
  int left = gAllocationsUntilFailure.load(std::memory_order_relaxed);
  while (left > 0) {
    if (gAllocationsUntilFailure.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}

}  // namespace imgfilt
