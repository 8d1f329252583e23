// The minidriver component: IStiUSD over the shared layers. The raw methods go straight to the
// device file; the component drives the ASIC and the scan engine only in its self test
// (Diagnostic), through the command channel, which sends through these same raw methods.
//
// The still-image service may call from several threads; the component has no locks of its own,
// and the channel's single attachment makes a second concurrent Diagnostic fail with E_FAIL.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "c_unknown.h"
#include "platform/clock/event.h"
#include "platform/still_image/sti.h"
#include "server_state.h"

namespace usbminid {

class CUsdComponent : public CUnknown {
 public:
  explicit CUsdComponent(platform::com::IUnknown* outer);
  ~CUsdComponent() override;

  platform::sti::IStiUSD* usd() { return &usd_; }
  // The text of the last failed self test's exception (the highest layer's); empty when none.
  const std::string& lastTestFailure() const { return lastTestFailure_; }
  bool workerRunning() const { return worker_ != nullptr; }
  static constexpr uint32_t kEscapeSelfTestPage = usbminid::kEscapeSelfTestPage;

 protected:
  platform::com::HRESULT NondelegatingQueryInterface(const platform::com::IID& iid, void** object) override;

 private:
  using HRESULT = platform::com::HRESULT;
  // The IStiUSD interface: its IUnknown slots delegate to the outer unknown.
  class Usd final : public platform::sti::IStiUSD {
   public:
    explicit Usd(CUsdComponent& owner) : c_(owner) {}
    HRESULT QueryInterface(const platform::com::IID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT Initialize(platform::sti::IStiDeviceControl* control, uint32_t version, platform::RegKey key) override;
    HRESULT GetCapabilities(platform::sti::STI_USD_CAPS* caps) override;
    HRESULT GetStatus(platform::sti::STI_DEVICE_STATUS* status) override;
    HRESULT DeviceReset() override { return platform::com::S_OK; }
    HRESULT Diagnostic(platform::sti::STI_DIAG* diag) override;
    HRESULT Escape(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override;
    HRESULT GetLastError(uint32_t* error) override;
    HRESULT LockDevice() override;
    HRESULT UnLockDevice() override;
    HRESULT RawReadData(void* buffer, uint32_t* count, void* overlapped) override;
    HRESULT RawWriteData(const void* buffer, uint32_t count, void* overlapped) override;
    HRESULT RawReadCommand(void* buffer, uint32_t* count, void* overlapped) override;
    HRESULT RawWriteCommand(const void* buffer, uint32_t count, void* overlapped) override;
    HRESULT SetNotificationHandle(platform::sti::Handle event) override;
    HRESULT GetNotificationData(platform::sti::STINOTIFY* notify) override;
    HRESULT GetLastErrorInfo(platform::sti::STI_ERROR_INFO* info) override;

   private:
    CUsdComponent& c_;
  };

  struct Worker;
  uint32_t OpenMode() const;
  HRESULT OpenForCaller();
  bool RunScannerTest();
  void StopWorker();

  Usd usd_;
  Layers& layers_;
  platform::sti::IStiDeviceControl* control_ = nullptr;
  std::string portName_;
  bool hasPortName_ = false;
  uint32_t lastSystemError_ = 0;
  platform::sti::Handle notification_ = 0;
  std::shared_ptr<platform::Event> stopEvent_;
  platform::com::GUID notificationCode_{};
  std::unique_ptr<Worker> worker_;
  std::string lastTestFailure_;
  std::vector<uint8_t> lastPage_;
};

// Exports of the server (the shared module's entry points forward here).
platform::com::HRESULT GetClassObject(const platform::com::CLSID& clsid, const platform::com::IID& iid, void** object);
platform::com::HRESULT CanUnloadNow();
platform::com::HRESULT RegisterServer();
platform::com::HRESULT UnregisterServer();

}  // namespace usbminid
