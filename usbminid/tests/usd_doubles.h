// IStiUSD stand-ins for the layers' tests: one that records packets and answers from a script,
// one that sends to a real device path (the emulated scanner) and can fail its Nth raw call.
#pragma once

#include <array>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/still_image/sti.h"
#include "usb_device_file.h"

namespace usbminid::testing {

using platform::com::E_FAIL;
using platform::com::E_NOTIMPL;
using platform::com::HRESULT;
using platform::com::S_OK;

class UsdBase : public platform::sti::IStiUSD {
 public:
  HRESULT QueryInterface(const platform::com::IID&, void**) override { return E_NOTIMPL; }
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  HRESULT Initialize(platform::sti::IStiDeviceControl*, uint32_t, platform::RegKey) override { return S_OK; }
  HRESULT GetCapabilities(platform::sti::STI_USD_CAPS*) override { return S_OK; }
  HRESULT GetStatus(platform::sti::STI_DEVICE_STATUS*) override { return S_OK; }
  HRESULT DeviceReset() override { return S_OK; }
  HRESULT Diagnostic(platform::sti::STI_DIAG*) override { return S_OK; }
  HRESULT Escape(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetLastError(uint32_t*) override { return E_NOTIMPL; }
  HRESULT LockDevice() override { return S_OK; }
  HRESULT UnLockDevice() override { return S_OK; }
  HRESULT RawWriteData(const void*, uint32_t, void*) override { return E_NOTIMPL; }
  HRESULT RawReadCommand(void*, uint32_t*, void*) override { return E_NOTIMPL; }
  HRESULT SetNotificationHandle(platform::sti::Handle) override { return S_OK; }
  HRESULT GetNotificationData(platform::sti::STINOTIFY*) override { return E_NOTIMPL; }
  HRESULT GetLastErrorInfo(platform::sti::STI_ERROR_INFO*) override { return E_NOTIMPL; }
};

// Records every packet; each read takes the next scripted reply (cut to the wanted count, or a
// failure when the script is empty).
class ScriptedUsd : public UsdBase {
 public:
  std::vector<std::array<uint8_t, 8>> packets;
  std::deque<std::vector<uint8_t>> replies;
  bool failWrites = false;

  HRESULT RawWriteCommand(const void* buffer, uint32_t count, void*) override {
    if (failWrites || count != 8) return E_FAIL;
    std::array<uint8_t, 8> p;
    std::memcpy(p.data(), buffer, 8);
    packets.push_back(p);
    return S_OK;
  }
  HRESULT RawReadData(void* buffer, uint32_t* count, void*) override {
    if (replies.empty()) return E_FAIL;
    std::vector<uint8_t> r = replies.front();
    replies.pop_front();
    *count = static_cast<uint32_t>(std::min<size_t>(*count, r.size()));
    std::memcpy(buffer, r.data(), *count);
    return S_OK;
  }
  // The (register, value) pairs of the 0x20 packets, in order.
  std::vector<std::pair<int, int>> Writes() const {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : packets) {
      if (p[0] == 0x20) out.emplace_back(p[1], p[2]);
    }
    return out;
  }
};

// Sends through a device file; the Nth raw call (1-based, writes and reads together) fails.
class PortUsd : public UsdBase {
 public:
  explicit PortUsd(UsbDeviceFile& file) : file_(file) {}
  long failAt = 0;
  long calls = 0;
  HRESULT RawWriteCommand(const void* buffer, uint32_t count, void*) override {
    if (++calls == failAt) return E_FAIL;
    return file_.WriteRaw(buffer, count) ? S_OK : E_FAIL;
  }
  HRESULT RawReadData(void* buffer, uint32_t* count, void*) override {
    if (++calls == failAt) return E_FAIL;
    return file_.ReadRaw(buffer, count) ? S_OK : E_FAIL;
  }

 private:
  UsbDeviceFile& file_;
};

}  // namespace usbminid::testing
