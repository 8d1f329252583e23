// Work memory: committed and global blocks, their counts, misuse refused, and the fault switches.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/system/errors.h"
#include "platform/faults/faults.h"
#include "platform/memory/memory.h"

namespace platform {
namespace {

TEST(WorkMemoryTest, CommittedBlocksAreZeroedCountedAndReleasedWhole) {
  WorkMemory memory;
  auto* a = static_cast<uint8_t*>(memory.VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  void* b = memory.VirtualAlloc(nullptr, 10, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a[0] | a[4095], 0);
  std::memset(a, 0xAB, 4096);
  EXPECT_EQ(memory.LiveBlocks(), 2u);
  EXPECT_EQ(memory.LiveBytes(), 4106u);
  // Part of a block, a decommit, or an address never given out: refused, block kept.
  EXPECT_FALSE(memory.VirtualFree(a, 4096, MEM_RELEASE));
  EXPECT_FALSE(memory.VirtualFree(a, 0, MEM_DECOMMIT));
  EXPECT_FALSE(memory.VirtualFree(a + 1, 0, MEM_RELEASE));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_TRUE(memory.VirtualFree(a, 0, MEM_RELEASE));
  EXPECT_FALSE(memory.VirtualFree(a, 0, MEM_RELEASE));  // twice
  EXPECT_TRUE(memory.VirtualFree(b, 0, MEM_RELEASE));
  EXPECT_EQ(memory.LiveBlocks(), 0u);
  // Sizes and kinds no caller can be given.
  int here = 0;
  EXPECT_EQ(memory.VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(memory.VirtualAlloc(&here, 16, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(memory.VirtualAlloc(nullptr, 16, MEM_RESERVE, PAGE_READWRITE), nullptr);
  EXPECT_EQ(memory.VirtualAlloc(nullptr, WorkMemory::kMaxBlock + 1, MEM_COMMIT, PAGE_READWRITE),
            nullptr);
  EXPECT_EQ(GetLastError(), kErrorNotEnoughMemory);
  EXPECT_EQ(memory.LiveBlocks(), 0u);
}

TEST(WorkMemoryTest, MovableBlocksLockUnlockAndFree) {
  WorkMemory memory;
  Hglobal block = memory.GlobalAlloc(GMEM_MOVEABLE, 100);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(memory.GlobalSize(block), 100u);
  auto* p = static_cast<uint8_t*>(memory.GlobalLock(block));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(memory.GlobalLock(block), p);
  EXPECT_TRUE(memory.GlobalUnlock(block));   // still locked once
  EXPECT_FALSE(memory.GlobalUnlock(block));  // now unlocked
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  EXPECT_FALSE(memory.GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), kErrorNotLocked);
  // A fixed block's handle is its address.
  Hglobal fixed = memory.GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 8);
  EXPECT_EQ(memory.GlobalLock(fixed), reinterpret_cast<void*>(fixed));
  EXPECT_EQ(memory.LiveBlocks(), 2u);
  EXPECT_EQ(memory.GlobalFree(block), 0u);
  EXPECT_EQ(memory.GlobalFree(block), block);  // twice
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(memory.GlobalLock(block), nullptr);
  EXPECT_EQ(memory.GlobalFree(fixed), 0u);  // locked blocks are freed too
  EXPECT_EQ(memory.LiveBlocks(), 0u);
  EXPECT_EQ(memory.GlobalAlloc(0x8000, 8), 0u);  // an unknown flag
}

TEST(WorkMemoryTest, FaultSwitchesFailTheNthOrEveryAllocation) {
  Faults faults;
  WorkMemory memory(&faults);
  faults.FailNth(fault_point::kMemoryAllocate, 3);
  void* first = memory.VirtualAlloc(nullptr, 8, MEM_COMMIT, PAGE_READWRITE);
  Hglobal second = memory.GlobalAlloc(GMEM_MOVEABLE, 8);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, 0u);
  EXPECT_EQ(memory.VirtualAlloc(nullptr, 8, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), kErrorNotEnoughMemory);
  void* fourth = memory.VirtualAlloc(nullptr, 8, MEM_COMMIT, PAGE_READWRITE);
  EXPECT_NE(fourth, nullptr);  // once only
  faults.FailEvery(fault_point::kMemoryAllocate);
  EXPECT_EQ(memory.GlobalAlloc(GMEM_MOVEABLE, 8), 0u);
  EXPECT_EQ(memory.VirtualAlloc(nullptr, 8, MEM_COMMIT, PAGE_READWRITE), nullptr);
  faults.Clear(fault_point::kMemoryAllocate);
  EXPECT_EQ(memory.allocations(), 6u);
  EXPECT_EQ(memory.LiveBlocks(), 3u);  // failed allocations leave nothing behind
  memory.VirtualFree(first, 0, MEM_RELEASE);
  memory.VirtualFree(fourth, 0, MEM_RELEASE);
  memory.GlobalFree(second);
}

}  // namespace
}  // namespace platform
