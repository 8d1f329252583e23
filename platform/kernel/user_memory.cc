#include "platform/kernel/user_memory.h"

#include <sys/mman.h>

#include <cstring>
#include <map>
#include <mutex>

namespace platform {

namespace {
std::mutex gMutex;
std::map<uintptr_t, size_t> gBlocks;  // start -> length

constexpr uintptr_t kLimit = uintptr_t{1} << 32;

void* MapLow(size_t bytes) {
#ifdef MAP_32BIT
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (p != MAP_FAILED) return p;
#endif
  // Without MAP_32BIT: ask for places below 4 GiB until one is free.
  for (uintptr_t hint = 0x10000000; hint + bytes < kLimit; hint += 0x10000000) {
    void* p = mmap(reinterpret_cast<void*>(hint), bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p != MAP_FAILED) return p;
  }
  return nullptr;
}
}  // namespace

void* AllocateUserMemory(size_t bytes) {
  if (bytes == 0) bytes = 1;
  void* p = MapLow(bytes);
  if (!p) return nullptr;
  if (reinterpret_cast<uintptr_t>(p) + bytes > kLimit) {
    munmap(p, bytes);
    return nullptr;
  }
  std::lock_guard lock(gMutex);
  gBlocks[reinterpret_cast<uintptr_t>(p)] = bytes;
  return p;
}

void FreeUserMemory(void* block) {
  if (!block) return;
  std::lock_guard lock(gMutex);
  auto it = gBlocks.find(reinterpret_cast<uintptr_t>(block));
  if (it == gBlocks.end()) return;
  munmap(block, it->second);
  gBlocks.erase(it);
}

uint32_t UserAddress(const void* pointer) {
  auto address = reinterpret_cast<uintptr_t>(pointer);
  std::lock_guard lock(gMutex);
  auto it = gBlocks.upper_bound(address);
  if (it == gBlocks.begin()) return 0;
  --it;
  return address < it->first + it->second ? static_cast<uint32_t>(address) : 0;
}

bool CopyFromUserMemory(void* destination, uint32_t address, size_t length) {
  std::lock_guard lock(gMutex);  // a block is never unmapped while it is read
  auto it = gBlocks.upper_bound(address);
  if (it == gBlocks.begin()) return false;
  --it;
  uintptr_t end = uintptr_t{address} + length;
  if (address < it->first || end > it->first + it->second) return false;
  if (length) std::memcpy(destination, reinterpret_cast<const void*>(uintptr_t{address}), length);
  return true;
}

}  // namespace platform
