// The still-image interfaces between the still-image service and a user-mode minidriver: the
// driver implements IStiUSD, the service hands it an IStiDeviceControl that names the device's
// port and how it was opened. Records and flags keep their Windows layouts and values.
#pragma once

#include <cstdint>

#include "platform/com/com.h"
#include "platform/registry/registry.h"

namespace platform::sti {

using com::HRESULT;

// {0C9BB460-51AC-11D0-90EA-00AA0060F86C}
inline constexpr com::IID IID_IStiUSD = {0x0C9BB460, 0x51AC, 0x11D0, {0x90, 0xEA, 0x00, 0xAA, 0x00, 0x60, 0xF8, 0x6C}};
// {128A9860-52DC-11D0-9EDF-444553540000}
inline constexpr com::IID IID_IStiDeviceControl = {0x128A9860, 0x52DC, 0x11D0, {0x9E, 0xDF, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline constexpr uint32_t STI_VERSION_REAL = 0x00000002;
inline constexpr uint32_t STI_DEVICE_CREATE_STATUS = 0x00000001;  // open modes
inline constexpr uint32_t STI_DEVICE_CREATE_DATA = 0x00000002;
inline constexpr uint32_t STI_DEVICE_CREATE_BOTH = 0x00000003;

inline constexpr uint32_t STI_DEVSTATUS_ONLINE_STATE = 0x0001;  // status masks
inline constexpr uint32_t STI_DEVSTATUS_EVENTS_STATE = 0x0002;
inline constexpr uint32_t STI_ONLINESTATE_OPERATIONAL = 0x00000001;
inline constexpr uint32_t STI_EVENTHANDLING_POLLING = 0x00000004;

inline constexpr uint32_t STI_MAX_INTERNAL_NAME_LENGTH = 128;
inline constexpr HRESULT STIERR_NOEVENTS = static_cast<HRESULT>(0x80070103u);  // no more items

// A Win32 handle as the service passes one (an event for notifications).
using Handle = uintptr_t;
inline constexpr Handle kInvalidHandleValue = ~Handle{0};

struct STI_USD_CAPS {
  uint32_t dwVersion = 0;
  uint32_t dwGenericCaps = 0;
};

struct STI_DEVICE_STATUS {
  uint32_t dwSize = sizeof(STI_DEVICE_STATUS);
  uint32_t StatusMask = 0;
  uint32_t dwOnlineState = 0;
  uint32_t dwHardwareStatusCode = 0;
  uint32_t dwEventHandlingState = 0;
  uint32_t dwPollingInterval = 0;
};

struct STI_ERROR_INFO {
  uint32_t dwSize = sizeof(STI_ERROR_INFO);
  HRESULT dwGenericError = 0;
  uint32_t dwVendorError = 0;
  char16_t szExtendedErrorText[255] = {};
};

struct STI_DIAG {
  uint32_t dwSize = sizeof(STI_DIAG);
  uint32_t dwBasicDiagCode = 0;
  uint32_t dwVendorDiagCode = 0;
  uint32_t dwStatusMask = 0;
  STI_ERROR_INFO sErrorInfo;
};

struct STINOTIFY {
  uint32_t dwSize = 0;
  com::GUID guidNotificationCode;
  uint8_t abNotificationData[64] = {};
};

class IStiDeviceControl : public com::IUnknown {
 public:
  virtual HRESULT Initialize(uint32_t deviceType, uint32_t openMode, const char16_t* portName, uint32_t flags) = 0;
  virtual HRESULT RawReadData(void* buffer, uint32_t* count, void* overlapped) = 0;
  virtual HRESULT RawWriteData(const void* buffer, uint32_t count, void* overlapped) = 0;
  virtual HRESULT RawReadCommand(void* buffer, uint32_t* count, void* overlapped) = 0;
  virtual HRESULT RawWriteCommand(const void* buffer, uint32_t count, void* overlapped) = 0;
  virtual HRESULT RawDeviceControl(uint32_t code, const void* in, uint32_t inSize, void* out,
                                   uint32_t outSize, uint32_t* returned) = 0;
  virtual HRESULT GetLastError(uint32_t* error) = 0;
  // The port name as wide characters in a buffer of `chars` characters, with its terminator.
  virtual HRESULT GetMyDevicePortName(char16_t* buffer, uint32_t chars) = 0;
  virtual HRESULT GetMyDeviceHandle(Handle* handle) = 0;
  virtual HRESULT GetMyDeviceOpenMode(uint32_t* openMode) = 0;
  virtual HRESULT WriteToErrorLog(uint32_t messageType, const char16_t* message, uint32_t error) = 0;

 protected:
  ~IStiDeviceControl() = default;
};

class IStiUSD : public com::IUnknown {
 public:
  virtual HRESULT Initialize(IStiDeviceControl* control, uint32_t stiVersion, RegKey parametersKey) = 0;
  virtual HRESULT GetCapabilities(STI_USD_CAPS* caps) = 0;
  virtual HRESULT GetStatus(STI_DEVICE_STATUS* status) = 0;
  virtual HRESULT DeviceReset() = 0;
  virtual HRESULT Diagnostic(STI_DIAG* diag) = 0;
  virtual HRESULT Escape(uint32_t function, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* returned) = 0;
  virtual HRESULT GetLastError(uint32_t* error) = 0;
  virtual HRESULT LockDevice() = 0;
  virtual HRESULT UnLockDevice() = 0;
  virtual HRESULT RawReadData(void* buffer, uint32_t* count, void* overlapped) = 0;
  virtual HRESULT RawWriteData(const void* buffer, uint32_t count, void* overlapped) = 0;
  virtual HRESULT RawReadCommand(void* buffer, uint32_t* count, void* overlapped) = 0;
  virtual HRESULT RawWriteCommand(const void* buffer, uint32_t count, void* overlapped) = 0;
  virtual HRESULT SetNotificationHandle(Handle event) = 0;
  virtual HRESULT GetNotificationData(STINOTIFY* notify) = 0;
  virtual HRESULT GetLastErrorInfo(STI_ERROR_INFO* info) = 0;

 protected:
  ~IStiUSD() = default;
};

}  // namespace platform::sti
