// Work memory of the operations. Every allocation goes through here so that a failure becomes a
// result code rather than an exception crossing the C interface, and so that tests can make the
// n-th allocation fail.
#ifndef IMGFILT_SRC_WORK_BUFFER_H_
#define IMGFILT_SRC_WORK_BUFFER_H_

#include <cstddef>
#include <new>
#include <stdexcept>
#include <vector>

namespace imgfilt {

// The library's fault switches, named as the platform's fault service names its own (imgfilt
// uses no platform service, so it keeps them here): FailNth(n) makes the n-th allocation from
// now fail, once; FailEvery() makes every allocation fail; Clear() disarms both.
namespace faults {
void FailNth(int n);
void FailEvery();
void Clear();
}  // namespace faults

// Consumes one tick of the fault switches; true when this allocation is to fail.
bool AllocationFaultDue();

// Resizes `v` to `n` elements; false (and `v` untouched) when the memory cannot be had.
template <typename T>
[[nodiscard]] bool TryResize(std::vector<T>& v, size_t n) {
  if (AllocationFaultDue()) return false;
  try {
    v.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// Reserves room for `n` elements in `v`; false when the memory cannot be had.
template <typename T>
[[nodiscard]] bool TryReserve(std::vector<T>& v, size_t n) {
  if (AllocationFaultDue()) return false;
  try {
    v.reserve(n);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace imgfilt

#endif  // IMGFILT_SRC_WORK_BUFFER_H_
