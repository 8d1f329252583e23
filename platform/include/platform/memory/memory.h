// Work memory: the committed virtual memory and movable global blocks a Win32 program asks for,
// counted so that a block never freed is visible to tests. Every allocation first asks the host's
// fault service at "memory.allocate" (the subject is the size asked for), so that tests can make
// the Nth allocation, or every one, fail as an exhausted machine would.
//
// Contract. VirtualAlloc commits zeroed memory at an address of its choosing (MEM_COMMIT, with or
// without MEM_RESERVE; a caller-chosen address is refused); VirtualFree releases a whole block
// (MEM_RELEASE with size 0). GlobalAlloc makes a GMEM_MOVEABLE block reached through
// GlobalLock/GlobalUnlock, or a GMEM_FIXED one whose handle is its address; GlobalFree frees
// either, locked or not, as Win32 does. Every block is zeroed. A size of 0 or one past what a
// 32-bit process could hold fails. Failures return null/0/false and set the last error:
// kErrorNotEnoughMemory for an allocation that fails, kErrorInvalidParameter or
// kErrorInvalidHandle for what was never allocated (or already freed); GlobalFree returns the
// handle it could not free. Safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>


namespace platform {

using Hglobal = uintptr_t;

inline constexpr uint32_t MEM_COMMIT = 0x1000;
inline constexpr uint32_t MEM_RESERVE = 0x2000;
inline constexpr uint32_t MEM_DECOMMIT = 0x4000;
inline constexpr uint32_t MEM_RELEASE = 0x8000;
inline constexpr uint32_t PAGE_READWRITE = 0x04;
inline constexpr uint32_t GMEM_FIXED = 0x0000;
inline constexpr uint32_t GMEM_MOVEABLE = 0x0002;
inline constexpr uint32_t GMEM_ZEROINIT = 0x0040;
inline constexpr uint32_t kErrorNotLocked = 158;

class Faults;

class WorkMemory {
 public:
  // The largest block: what a 32-bit process's 2 GiB of address space could hold.
  static constexpr size_t kMaxBlock = 0x7FFF0000;

  // `faults` (may be null: none) must outlive the memory.
  explicit WorkMemory(Faults* faults = nullptr);
  ~WorkMemory();
  WorkMemory(const WorkMemory&) = delete;
  WorkMemory& operator=(const WorkMemory&) = delete;

  void* VirtualAlloc(void* address, size_t size, uint32_t type, uint32_t protect);
  bool VirtualFree(void* address, size_t size, uint32_t type);

  Hglobal GlobalAlloc(uint32_t flags, size_t size);
  // The block's address; each lock must be matched by an unlock.
  void* GlobalLock(Hglobal block);
  // True while the block stays locked; false once unlocked (last error kErrorSuccess) or when it
  // was not locked (kErrorNotLocked).
  bool GlobalUnlock(Hglobal block);
  Hglobal GlobalFree(Hglobal block);  // 0 once freed
  size_t GlobalSize(Hglobal block) const;

  // Blocks allocated and not freed, and their bytes.
  size_t LiveBlocks() const;
  size_t LiveBytes() const;

  uint64_t allocations() const;  // allocations asked for so far, failed ones included

 private:
  struct Block {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    uint32_t locks = 0;
  };
  // Null when the switches, the size or the machine refuse the block.
  std::unique_ptr<uint8_t[]> Allocate(size_t size);
  Block* FindGlobal(Hglobal block);

  mutable std::mutex mutex_;
  std::map<const void*, Block> virtual_;  // by address
  std::map<Hglobal, Block> global_;       // by handle (a fixed block's handle is its address)
  Hglobal nextHandle_ = 0x1004;
  Faults* faults_;
  uint64_t allocations_ = 0;
};

}  // namespace platform
