#include "platform/system/errors.h"
#include "platform/registry/registry.h"

namespace platform {

std::string RegistryErrorText(long code) {
  switch (code) {
    case kErrorSuccess:
      return "success";
    case kErrorFileNotFound:
      return "not found";
    case kErrorAccessDenied:
      return "access denied";
    case kErrorInvalidHandle:
      return "not an open key";
    case kErrorNotEnoughMemory:
      return "out of memory";
    case kErrorBadFormat:
      return "the data are not of the expected type";
    case kErrorWriteFault:
      return "the registry store could not be written";
    case kErrorReadFault:
      return "the registry store could not be read";
    case kErrorInvalidParameter:
      return "invalid parameter";
    case kErrorInvalidName:
      return "the name holds control characters";
    case kErrorBadPathname:
      return "bad key path";
    case kErrorMoreData:
      return "the buffer is too small";
    case kErrorNoMoreItems:
      return "no more items";
    case kErrorBadDatabase:
      return "the registry store is damaged or unusable";
    case kErrorKeyDeleted:
      return "the key has been deleted";
    case kErrorCancelled:
      return "the transaction was rolled back";
    default:
      return "error " + std::to_string(code);
  }
}

}  // namespace platform
