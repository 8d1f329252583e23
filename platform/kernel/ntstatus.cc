#include "platform/kernel/ntstatus.h"

#include "platform/system/errors.h"

namespace platform {

uint32_t Win32ErrorFromStatus(NTSTATUS status) {
  switch (status) {
    case STATUS_SUCCESS: return kErrorSuccess;
    case STATUS_PENDING: return 997;                  // ERROR_IO_PENDING
    case STATUS_CANCELLED: return 995;                // ERROR_OPERATION_ABORTED
    case STATUS_INVALID_PARAMETER: return kErrorInvalidParameter;
    case STATUS_INVALID_DEVICE_REQUEST: return 1;     // ERROR_INVALID_FUNCTION
    case STATUS_NOT_IMPLEMENTED: return 1;
    case STATUS_NO_MEMORY: return kErrorNotEnoughMemory;
    case STATUS_INSUFFICIENT_RESOURCES: return 1450;  // ERROR_NO_SYSTEM_RESOURCES
    case STATUS_BUFFER_TOO_SMALL: return kErrorInsufficientBuffer;
    case STATUS_ACCESS_VIOLATION: return 998;         // ERROR_NOACCESS
    case STATUS_FILE_CLOSED: return kErrorInvalidHandle;
    case STATUS_NO_SUCH_DEVICE: return 433;           // ERROR_NO_SUCH_DEVICE
    case STATUS_DEVICE_NOT_CONNECTED: return 1167;    // ERROR_DEVICE_NOT_CONNECTED
    case STATUS_DELETE_PENDING: return kErrorAccessDenied;
    case STATUS_DEVICE_DATA_ERROR: return 1117;       // ERROR_IO_DEVICE
    case STATUS_IO_TIMEOUT: return 1460;              // ERROR_TIMEOUT
    case STATUS_NO_MORE_ENTRIES: return kErrorNoMoreItems;
    case STATUS_OBJECT_NAME_NOT_FOUND: return kErrorFileNotFound;
    case STATUS_OBJECT_NAME_COLLISION: return kErrorAlreadyExists;
    default: return 31;                               // ERROR_GEN_FAILURE
  }
}

}  // namespace platform
