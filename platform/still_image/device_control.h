// The service's IStiDeviceControl: the device's port name and open mode, reference-counted.
#pragma once

#include <atomic>
#include <string>

#include "platform/still_image/sti.h"

namespace platform::sti {

class DeviceControl final : public IStiDeviceControl {
 public:
  DeviceControl(std::u16string portName, uint32_t openMode) : portName_(std::move(portName)), openMode_(openMode) {}

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
  uint32_t AddRef() override { return ++count_; }
  uint32_t Release() override;
  com::HRESULT Initialize(uint32_t, uint32_t openMode, const char16_t* portName, uint32_t) override;
  com::HRESULT RawReadData(void*, uint32_t*, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawWriteData(const void*, uint32_t, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawReadCommand(void*, uint32_t*, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawWriteCommand(const void*, uint32_t, void*) override { return com::E_NOTIMPL; }
  com::HRESULT RawDeviceControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT GetLastError(uint32_t* error) override;
  // Fails with the Win32 "insufficient buffer" error when the name and its terminator do not fit.
  com::HRESULT GetMyDevicePortName(char16_t* buffer, uint32_t chars) override;
  com::HRESULT GetMyDeviceHandle(Handle* handle) override;
  com::HRESULT GetMyDeviceOpenMode(uint32_t* openMode) override;
  com::HRESULT WriteToErrorLog(uint32_t, const char16_t*, uint32_t) override { return com::S_OK; }

 private:
  ~DeviceControl() = default;
  std::atomic<uint32_t> count_{1};
  std::u16string portName_;
  uint32_t openMode_;
};

}  // namespace platform::sti
