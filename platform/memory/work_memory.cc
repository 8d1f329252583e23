#include <new>

#include <string>

#include "platform/faults/faults.h"
#include "platform/system/errors.h"
#include "platform/memory/memory.h"

namespace platform {

WorkMemory::WorkMemory(Faults* faults) : faults_(faults) {}
WorkMemory::~WorkMemory() = default;

std::unique_ptr<uint8_t[]> WorkMemory::Allocate(size_t size) {
  ++allocations_;
  const bool fail =
      faults_ != nullptr && faults_->Check(fault_point::kMemoryAllocate, std::to_string(size));
  std::unique_ptr<uint8_t[]> bytes;
  if (!fail && size <= kMaxBlock) bytes.reset(new (std::nothrow) uint8_t[size]());
  if (!bytes) SetLastError(kErrorNotEnoughMemory);
  return bytes;
}

void* WorkMemory::VirtualAlloc(void* address, size_t size, uint32_t type, uint32_t protect) {
  (void)protect;
  if (address || size == 0 || !(type & MEM_COMMIT) || (type & ~(MEM_COMMIT | MEM_RESERVE))) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  auto bytes = Allocate(size);
  if (!bytes) return nullptr;
  void* at = bytes.get();
  virtual_[at] = Block{std::move(bytes), size, 0};
  return at;
}

bool WorkMemory::VirtualFree(void* address, size_t size, uint32_t type) {
  std::lock_guard lock(mutex_);
  // Only a whole block is given back; a part of one, or a decommit, would leave it half used.
  if (type != MEM_RELEASE || size != 0 || virtual_.erase(address) == 0) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  return true;
}

Hglobal WorkMemory::GlobalAlloc(uint32_t flags, size_t size) {
  if (size == 0 || (flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT))) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  std::lock_guard lock(mutex_);
  auto bytes = Allocate(size);
  if (!bytes) return 0;
  Hglobal handle = reinterpret_cast<Hglobal>(bytes.get());
  if (flags & GMEM_MOVEABLE) {
    handle = nextHandle_;
    nextHandle_ += 8;
  }
  global_[handle] = Block{std::move(bytes), size, 0};
  return handle;
}

WorkMemory::Block* WorkMemory::FindGlobal(Hglobal block) {
  auto it = global_.find(block);
  if (it != global_.end()) return &it->second;
  SetLastError(kErrorInvalidHandle);
  return nullptr;
}

void* WorkMemory::GlobalLock(Hglobal block) {
  std::lock_guard lock(mutex_);
  Block* b = FindGlobal(block);
  if (!b) return nullptr;
  ++b->locks;
  return b->bytes.get();
}

bool WorkMemory::GlobalUnlock(Hglobal block) {
  std::lock_guard lock(mutex_);
  Block* b = FindGlobal(block);
  if (!b) return false;
  if (b->locks == 0) {
    SetLastError(kErrorNotLocked);
    return false;
  }
  if (--b->locks != 0) return true;
  SetLastError(kErrorSuccess);
  return false;
}

Hglobal WorkMemory::GlobalFree(Hglobal block) {
  std::lock_guard lock(mutex_);
  if (global_.erase(block) != 0) return 0;
  SetLastError(kErrorInvalidHandle);
  return block;
}

size_t WorkMemory::GlobalSize(Hglobal block) const {
  std::lock_guard lock(mutex_);
  auto it = global_.find(block);
  return it == global_.end() ? 0 : it->second.size;
}

size_t WorkMemory::LiveBlocks() const {
  std::lock_guard lock(mutex_);
  return virtual_.size() + global_.size();
}

size_t WorkMemory::LiveBytes() const {
  std::lock_guard lock(mutex_);
  size_t bytes = 0;
  for (const auto& [at, b] : virtual_) bytes += b.size;
  for (const auto& [h, b] : global_) bytes += b.size;
  return bytes;
}

uint64_t WorkMemory::allocations() const {
  std::lock_guard lock(mutex_);
  return allocations_;
}

}  // namespace platform
