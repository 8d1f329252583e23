#include "usd_component.h"

#include <cstring>
#include <new>

#include "platform/host/host.h"
#include "platform/system/errors.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_constants.h"

namespace usbminid {

using namespace platform::com;
namespace sti = platform::sti;

struct CUsdComponent::Worker {
  std::thread thread;
  std::shared_ptr<platform::Event> finished;
};

CUsdComponent::CUsdComponent(IUnknown* outer) : CUnknown(outer), usd_(*this), layers_(ServerState::Acquire()) {}

CUsdComponent::~CUsdComponent() {
  StopWorker();
  layers_.file.CloseDevice();
  if (control_) control_->Release();
  ServerState::Release();
}

HRESULT CUsdComponent::NondelegatingQueryInterface(const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == sti::IID_IStiUSD) {
    *object = static_cast<sti::IStiUSD*>(&usd_);
    usd_.AddRef();
    return S_OK;
  }
  return CUnknown::NondelegatingQueryInterface(iid, object);
}

uint32_t CUsdComponent::OpenMode() const {
  uint32_t mode = 0;
  if (control_ == nullptr || Failed(control_->GetMyDeviceOpenMode(&mode))) return 0;
  return mode;
}

HRESULT CUsdComponent::OpenForCaller() {
  if (layers_.file.OpenDevice(hasPortName_ ? portName_.c_str() : "")) return S_OK;
  lastSystemError_ = platform::GetLastError();
  return HresultFromWin32(lastSystemError_ ? lastSystemError_ : platform::kErrorFileNotFound);
}

// --- IUnknown of the interface: the outer unknown's.
HRESULT CUsdComponent::Usd::QueryInterface(const IID& iid, void** object) { return c_.outer()->QueryInterface(iid, object); }
uint32_t CUsdComponent::Usd::AddRef() { return c_.outer()->AddRef(); }
uint32_t CUsdComponent::Usd::Release() { return c_.outer()->Release(); }

HRESULT CUsdComponent::Usd::Initialize(sti::IStiDeviceControl* control, uint32_t version, platform::RegKey key) {
  if (control == nullptr) return E_INVALIDARG;
  control->AddRef();
  if (c_.control_) c_.control_->Release();
  c_.control_ = control;
  char16_t wide[280] = {};
  HRESULT hr = control->GetMyDevicePortName(wide, 280);
  wide[279] = 0;  // whatever the service wrote, the name ends inside the buffer
  if (Failed(hr) || wide[0] == 0) return hr;
  std::string narrow;
  for (const char16_t* p = wide; *p; ++p) narrow.push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
  if (narrow.empty()) return E_INVALIDARG;
  c_.portName_ = narrow;
  c_.hasPortName_ = true;
  return hr;
}

HRESULT CUsdComponent::Usd::GetCapabilities(sti::STI_USD_CAPS* caps) {
  if (caps == nullptr) return E_INVALIDARG;
  caps->dwVersion = sti::STI_VERSION_REAL;
  caps->dwGenericCaps = 0;
  return S_OK;
}

HRESULT CUsdComponent::Usd::GetStatus(sti::STI_DEVICE_STATUS* status) {
  if (status == nullptr) return E_INVALIDARG;
  status->dwOnlineState = (status->StatusMask & sti::STI_DEVSTATUS_ONLINE_STATE) ? sti::STI_ONLINESTATE_OPERATIONAL : 0;
  status->dwEventHandlingState &= ~sti::STI_EVENTHANDLING_POLLING;
  if ((status->StatusMask & sti::STI_DEVSTATUS_EVENTS_STATE) && c_.notification_ != 0) {
    status->dwEventHandlingState |= sti::STI_EVENTHANDLING_POLLING;
  }
  return S_OK;
}

HRESULT CUsdComponent::Usd::Escape(uint32_t function, const void*, uint32_t, void* out, uint32_t outSize,
                                   uint32_t* returned) {
  if (function != kEscapeSelfTestPage) return E_NOTIMPL;
  if (c_.lastPage_.empty()) return E_FAIL;
  if (out == nullptr || outSize < c_.lastPage_.size()) return E_INVALIDARG;
  std::memcpy(out, c_.lastPage_.data(), c_.lastPage_.size());
  if (returned) *returned = static_cast<uint32_t>(c_.lastPage_.size());
  return S_OK;
}

HRESULT CUsdComponent::Usd::GetLastError(uint32_t*) { return E_NOTIMPL; }
HRESULT CUsdComponent::Usd::GetLastErrorInfo(sti::STI_ERROR_INFO*) { return E_NOTIMPL; }
HRESULT CUsdComponent::Usd::RawWriteData(const void*, uint32_t, void*) { return E_NOTIMPL; }
HRESULT CUsdComponent::Usd::RawReadCommand(void*, uint32_t*, void*) { return E_NOTIMPL; }

HRESULT CUsdComponent::Usd::LockDevice() {
  if (!(c_.OpenMode() & sti::STI_DEVICE_CREATE_DATA)) return S_OK;
  return c_.OpenForCaller();
}

HRESULT CUsdComponent::Usd::UnLockDevice() {
  if (c_.OpenMode() & sti::STI_DEVICE_CREATE_DATA) c_.layers_.file.CloseDevice();
  return S_OK;
}

HRESULT CUsdComponent::Usd::RawReadData(void* buffer, uint32_t* count, void*) {
  return c_.layers_.file.ReadRaw(buffer, count) ? S_OK : E_FAIL;
}

HRESULT CUsdComponent::Usd::RawWriteCommand(const void* buffer, uint32_t count, void*) {
  return c_.layers_.file.WriteRaw(buffer, count) ? S_OK : E_FAIL;
}

// The self test. The channel is attached before the device is touched, so that a second
// concurrent test, refused by the channel, leaves the running one's device and engine alone.
HRESULT CUsdComponent::Usd::Diagnostic(sti::STI_DIAG* diag) {
  if (diag == nullptr) return E_INVALIDARG;
  diag->dwStatusMask = 0;
  diag->sErrorInfo = sti::STI_ERROR_INFO{};
  if (!c_.layers_.channel.Attach(this)) return E_FAIL;
  bool opened = false;
  if (!(c_.OpenMode() & sti::STI_DEVICE_CREATE_DATA)) {
    HRESULT hr = c_.OpenForCaller();
    if (Failed(hr)) {
      c_.layers_.channel.Detach();
      return hr;
    }
    opened = true;
  }
  if (!c_.RunScannerTest()) {
    diag->sErrorInfo.dwGenericError = 0;
    diag->sErrorInfo.dwVendorError = 1;
    const char* text = "Scanner Test Failed";
    for (size_t i = 0; text[i]; ++i) diag->sErrorInfo.szExtendedErrorText[i] = static_cast<char16_t>(text[i]);
  }
  c_.layers_.scanner.Cleanup();
  c_.layers_.channel.Detach();
  if (opened) c_.layers_.file.CloseDevice();
  return S_OK;
}

bool CUsdComponent::RunScannerTest() {
  Scanner& scanner = layers_.scanner;
  lastTestFailure_.clear();
  try {
    if (!scanner.Init(ServerState::ModuleFolder())) {
      lastTestFailure_ = "Init Failed";
      return false;
    }
    scanner.TurnLamp(true);
    scanner.Reset();
    scanner.SetupScan(Scanner::kGray, 1, false, 0, 0, kTestWidth);
    std::vector<uint8_t> page(size_t{kTestWidth} * kTestLines);
    for (int i = 0; i < kTestLines; ++i) scanner.GetScannerLines(page.data() + size_t(i) * kTestWidth, 1);
    scanner.Reset();
    scanner.TurnLamp(false);
    lastPage_ = std::move(page);
    layers_.host.ui().MessageBox(0, "Scanner is fine.", "Diagnostic", platform::MB_OK);
    return true;
  } catch (const XMsger& e) {
    // XScanner by design; a lower layer's exception here would be a gap in a layer's handling,
    // reported all the same rather than let out of the component.
    lastTestFailure_ = e.text();
  } catch (const std::bad_alloc&) {
    lastTestFailure_ = "Out Of Memory";
  }
  return false;
}

HRESULT CUsdComponent::Usd::SetNotificationHandle(sti::Handle event) {
  c_.StopWorker();
  if (event == 0 || event == sti::kInvalidHandleValue) return S_OK;
  auto stop = std::make_shared<platform::Event>(c_.layers_.host.clock(), platform::Event::Reset::kManual);
  auto worker = std::make_unique<Worker>();
  worker->finished = std::make_shared<platform::Event>(c_.layers_.host.clock(), platform::Event::Reset::kManual);
  c_.stopEvent_ = stop;
  c_.notification_ = event;
  c_.notificationCode_ = GUID{};
  auto finished = worker->finished;
  try {
    worker->thread = std::thread([stop, finished] {
      stop->Wait();
      finished->Set();
    });
  } catch (const std::system_error&) {
    c_.stopEvent_.reset();
    c_.notification_ = 0;
    return E_OUTOFMEMORY;
  }
  c_.worker_ = std::move(worker);
  return S_OK;
}

// Signals the stop event and gives the worker 4000 ms to end. A worker that does not end is
// left to finish alone: it holds its own references to the events it uses.
void CUsdComponent::StopWorker() {
  if (worker_) {
    stopEvent_->Set();
    if (worker_->finished->Wait(4000) == platform::WaitResult::kSignaled) worker_->thread.join();
    else worker_->thread.detach();
    worker_.reset();
  }
  stopEvent_.reset();
  notification_ = 0;
  notificationCode_ = GUID{};
}

HRESULT CUsdComponent::Usd::GetNotificationData(sti::STINOTIFY* notify) {
  if (c_.notificationCode_ == GUID{}) return sti::STIERR_NOEVENTS;
  if (notify == nullptr) return E_INVALIDARG;
  notify->dwSize = 84;
  notify->guidNotificationCode = c_.notificationCode_;
  c_.notificationCode_ = GUID{};
  return S_OK;
}

}  // namespace usbminid
