// The fault loop: fail the 1st, 2nd, ... check under a fault point until the operation gets
// through, checking after each failure what it left. The same loop serves every writer of
// stored state, whatever service it writes through.
#pragma once

#include <functional>
#include <string_view>

#include "platform/faults/faults.h"

namespace platform::testing {

struct FaultLoopResult {
  int completedAt = 0;     // the N whose failure was never reached: the operation went through
  int failures = 0;        // rounds that failed because of the injected fault
  int unreported = 0;      // rounds where the fault fired and the operation still said success
  int spurious = 0;        // rounds that failed with no fault fired
};

// `operation` returns true on success; `afterFailure(n)` runs after each failed round (it checks
// the error and that nothing partial is left). Gives up after `limit` rounds (completedAt 0).
inline FaultLoopResult FailEachInTurn(Faults& faults, std::string_view point,
                                      const std::function<bool()>& operation,
                                      const std::function<void(int n)>& afterFailure,
                                      int limit = 1000) {
  FaultLoopResult result;
  for (int n = 1; n <= limit; ++n) {
    faults.FailNth(point, static_cast<uint64_t>(n));
    const uint64_t before = faults.Failures(point);
    const bool ok = operation();
    const bool fired = faults.Failures(point) > before;
    faults.Clear(point);
    if (ok) {
      if (fired) ++result.unreported;
      result.completedAt = n;
      return result;
    }
    if (fired) ++result.failures;
    else ++result.spurious;
    afterFailure(n);
  }
  return result;
}

}  // namespace platform::testing
