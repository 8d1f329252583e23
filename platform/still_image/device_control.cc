#include "device_control.h"

namespace platform::sti {

namespace {
constexpr uint32_t kErrorInsufficientBuffer = 122;
}

com::HRESULT DeviceControl::QueryInterface(const com::IID& iid, void** object) {
  if (object == nullptr) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == IID_IStiDeviceControl) {
    *object = static_cast<IStiDeviceControl*>(this);
    AddRef();
    return com::S_OK;
  }
  *object = nullptr;
  return com::E_NOINTERFACE;
}

uint32_t DeviceControl::Release() {
  uint32_t left = --count_;
  if (left == 0) delete this;
  return left;
}

com::HRESULT DeviceControl::Initialize(uint32_t, uint32_t openMode, const char16_t* portName, uint32_t) {
  openMode_ = openMode;
  portName_ = portName ? std::u16string(portName) : std::u16string();
  return com::S_OK;
}

com::HRESULT DeviceControl::GetLastError(uint32_t* error) {
  if (error == nullptr) return com::E_INVALIDARG;
  *error = 0;
  return com::S_OK;
}

com::HRESULT DeviceControl::GetMyDevicePortName(char16_t* buffer, uint32_t chars) {
  if (buffer == nullptr || chars == 0) return com::E_INVALIDARG;
  if (portName_.size() + 1 > chars) return com::HresultFromWin32(kErrorInsufficientBuffer);
  portName_.copy(buffer, portName_.size());
  buffer[portName_.size()] = 0;
  return com::S_OK;
}

com::HRESULT DeviceControl::GetMyDeviceHandle(Handle* handle) {
  if (handle == nullptr) return com::E_INVALIDARG;
  *handle = kInvalidHandleValue;  // the minidriver opens the port itself
  return com::S_OK;
}

com::HRESULT DeviceControl::GetMyDeviceOpenMode(uint32_t* openMode) {
  if (openMode == nullptr) return com::E_INVALIDARG;
  *openMode = openMode_;
  return com::S_OK;
}

}  // namespace platform::sti
