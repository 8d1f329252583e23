// User-mode buffers whose addresses fit the 32-bit address fields of a driver's request blocks,
// as every address of a 32-bit process does. A program that puts a data address into a block
// (a register write, a vendor request's OUT data) allocates that data here; the kernel reads it
// with CopyFromUserAddress (wdm.h), which checks that the whole range lies in one live block
// and otherwise reports STATUS_ACCESS_VIOLATION instead of touching the memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Zero-filled, in the low 4 GiB of the address space; null when none is left.
void* AllocateUserMemory(size_t bytes);
void FreeUserMemory(void* block);
// The block's 32-bit address; 0 for memory that is not user memory.
uint32_t UserAddress(const void* pointer);
// Copies `length` bytes at `address` to `destination` when they lie in one live block.
bool CopyFromUserMemory(void* destination, uint32_t address, size_t length);

// Owns one block of user memory.
class UserBuffer {
 public:
  explicit UserBuffer(size_t bytes) : data_(static_cast<uint8_t*>(AllocateUserMemory(bytes))), size_(data_ ? bytes : 0) {}
  ~UserBuffer() { FreeUserMemory(data_); }
  UserBuffer(const UserBuffer&) = delete;
  UserBuffer& operator=(const UserBuffer&) = delete;
  uint8_t* data() { return data_; }
  size_t size() const { return size_; }
  uint32_t address() const { return UserAddress(data_); }

 private:
  uint8_t* data_;
  size_t size_;
};

}  // namespace platform
