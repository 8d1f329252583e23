// Pool, user-address copies and bug checks as drivers call them.
#include "platform/kernel/kernel.h"
#include "platform/kernel/user_memory.h"

namespace platform {

PVOID ExAllocatePoolWithTag(POOL_TYPE, size_t numberOfBytes, ULONG tag) {
  return Kernel::Current().Allocate(numberOfBytes, tag);
}

void ExFreePool(PVOID block) { Kernel::Current().Free(block); }

void ExFreePoolWithTag(PVOID block, ULONG tag) { Kernel::Current().Free(block, true, tag); }

NTSTATUS CopyFromUserAddress(void* destination, ULONG userAddress, ULONG length) {
  if (length == 0) return STATUS_SUCCESS;
  return CopyFromUserMemory(destination, userAddress, length) ? STATUS_SUCCESS : STATUS_ACCESS_VIOLATION;
}

void KeBugCheckEx(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4) {
  Kernel::Current().RaiseBugCheck(code, "raised by a driver (" + std::to_string(p1) + ", " +
                                            std::to_string(p2) + ", " + std::to_string(p3) + ", " +
                                            std::to_string(p4) + ")");
}

}  // namespace platform
