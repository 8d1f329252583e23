// NTSTATUS values the kernel-mode layer, the USB bus and the drivers on it report, and how a
// request's status reaches user mode as a Win32 error.
#pragma once

#include <cstdint>

namespace platform {

using NTSTATUS = int32_t;

constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }
constexpr NTSTATUS MakeStatus(uint32_t value) { return static_cast<NTSTATUS>(value); }

inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_PENDING = 0x103;  // 259
inline constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = MakeStatus(0xC0000016);
inline constexpr NTSTATUS STATUS_NO_MORE_ENTRIES = MakeStatus(0x8000001A);
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeStatus(0xC0000001);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeStatus(0xC0000002);
inline constexpr NTSTATUS STATUS_ACCESS_VIOLATION = MakeStatus(0xC0000005);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeStatus(0xC000000D);
inline constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = MakeStatus(0xC000000E);
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = MakeStatus(0xC0000010);
inline constexpr NTSTATUS STATUS_NO_MEMORY = MakeStatus(0xC0000017);
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = MakeStatus(0xC0000023);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID = MakeStatus(0xC0000033);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = MakeStatus(0xC0000034);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = MakeStatus(0xC0000035);
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = MakeStatus(0xC000009A);
inline constexpr NTSTATUS STATUS_DEVICE_DATA_ERROR = MakeStatus(0xC000009C);
inline constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = MakeStatus(0xC000009D);
inline constexpr NTSTATUS STATUS_IO_TIMEOUT = MakeStatus(0xC00000B5);
inline constexpr NTSTATUS STATUS_CANCELLED = MakeStatus(0xC0000120);
inline constexpr NTSTATUS STATUS_FILE_CLOSED = MakeStatus(0xC0000128);
inline constexpr NTSTATUS STATUS_DELETE_PENDING = MakeStatus(0xC0000056);

// The Win32 error a request with this status reports to its caller (RtlNtStatusToDosError for
// the statuses above; anything else is ERROR_GEN_FAILURE, 31).
uint32_t Win32ErrorFromStatus(NTSTATUS status);

}  // namespace platform
