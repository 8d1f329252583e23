#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/faults/faults.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui_constants.h"
#include "test_host.h"
#include "usb_asics.h"
#include "usd_component.h"

namespace usbminid {
namespace {

using namespace platform::com;
namespace sti = platform::sti;

constexpr HRESULT Hr(uint32_t v) { return static_cast<HRESULT>(v); }

// The still-image service's side: a port name and an open mode.
class Control final : public sti::IStiDeviceControl {
 public:
  Control(std::u16string port, uint32_t mode) : port_(std::move(port)), mode_(mode) {}
  std::atomic<int> refs{1};
  HRESULT QueryInterface(const IID&, void**) override { return E_NOINTERFACE; }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  HRESULT Initialize(uint32_t, uint32_t, const char16_t*, uint32_t) override { return S_OK; }
  HRESULT RawReadData(void*, uint32_t*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteData(const void*, uint32_t, void*) override { return E_NOTIMPL; }
  HRESULT RawReadCommand(void*, uint32_t*, void*) override { return E_NOTIMPL; }
  HRESULT RawWriteCommand(const void*, uint32_t, void*) override { return E_NOTIMPL; }
  HRESULT RawDeviceControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetLastError(uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetMyDevicePortName(char16_t* buffer, uint32_t chars) override {
    if (port_.size() + 1 > chars) return Hr(0x8007007A);
    port_.copy(buffer, port_.size());
    buffer[port_.size()] = 0;
    return S_OK;
  }
  HRESULT GetMyDeviceHandle(sti::Handle*) override { return E_NOTIMPL; }
  HRESULT GetMyDeviceOpenMode(uint32_t* mode) override {
    *mode = mode_;
    return S_OK;
  }
  HRESULT WriteToErrorLog(uint32_t, const char16_t*, uint32_t) override { return S_OK; }

 private:
  std::u16string port_;
  uint32_t mode_;
};

// A component made through the exports, initialised with `control`.
struct Component {
  explicit Component(Control* control) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(GetClassObject(CLSID_UsbMiniDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, sti::IID_IStiUSD, reinterpret_cast<void**>(&usd)), S_OK);
    factory->Release();
    if (control) initialized = usd->Initialize(control, 2, 0);
  }
  ~Component() {
    if (usd) usd->Release();
  }
  sti::IStiUSD* usd = nullptr;
  HRESULT initialized = E_FAIL;
};

std::string ExtendedText(const sti::STI_DIAG& d) {
  std::string s;
  for (const char16_t* p = d.sErrorInfo.szExtendedErrorText; *p; ++p) s.push_back(static_cast<char>(*p));
  return s;
}

TEST(ComServerTest, ClassObjectHresults) {
  platform::testing::TestHost t;
  void* object = nullptr;
  const CLSID other = {1, 2, 3, {4}};
  EXPECT_EQ(GetClassObject(other, IID_IClassFactory, &object), Hr(0x80040111));
  EXPECT_EQ(GetClassObject(other, {9}, &object), Hr(0x80004002));
  EXPECT_EQ(GetClassObject(CLSID_UsbMiniDriver, sti::IID_IStiUSD, &object), Hr(0x80004002));
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(GetClassObject(CLSID_UsbMiniDriver, IID_IUnknown, &object), S_OK);
  auto* factory = static_cast<IClassFactory*>(object);
  void* again = nullptr;
  EXPECT_EQ(factory->QueryInterface(sti::IID_IStiUSD, &again), Hr(0x80004002));
  EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, &again), S_OK);
  EXPECT_EQ(static_cast<IClassFactory*>(again)->Release(), 1u);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(GuidToString(CLSID_UsbMiniDriver), "{597561AA-4AC6-11D1-B87D-0000E82D3234}");
  EXPECT_EQ(ParseGuid("{597561aa-4ac6-11d1-b87d-0000e82d3234}"), CLSID_UsbMiniDriver);
  EXPECT_FALSE(ParseGuid("{597561AA-4AC6-11D1-B87D-0000E82D323}"));
  EXPECT_FALSE(ParseGuid("{597561AA-4AC6-11D1-B87D-0000E82D323G}"));
}

// An outer object that counts what its inner component delegates to it.
class Outer final : public IUnknown {
 public:
  int addRefs = 0, releases = 0;
  HRESULT QueryInterface(const IID&, void**) override { return E_NOINTERFACE; }
  uint32_t AddRef() override { return ++addRefs; }
  uint32_t Release() override { return ++releases; }
};

TEST(ComServerTest, AggregationAndUnloading) {
  platform::testing::TestHost t;
  EXPECT_EQ(CanUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(GetClassObject(CLSID_UsbMiniDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  Outer outer;
  void* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, sti::IID_IStiUSD, &object), Hr(0x80040110));
  EXPECT_EQ(CanUnloadNow(), S_OK);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), S_OK);
  auto* inner = static_cast<IUnknown*>(object);  // the non-delegating unknown
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  void* usd = nullptr;
  ASSERT_EQ(inner->QueryInterface(sti::IID_IStiUSD, &usd), S_OK);
  EXPECT_EQ(outer.addRefs, 1);  // the interface's reference goes to the outer object
  static_cast<sti::IStiUSD*>(usd)->Release();
  EXPECT_EQ(outer.releases, 1);
  EXPECT_EQ(inner->QueryInterface({7}, &usd), Hr(0x80004002));
  EXPECT_EQ(factory->LockServer(true), S_OK);
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the lock still holds it
  factory->LockServer(false);
  EXPECT_EQ(CanUnloadNow(), S_OK);
  factory->Release();
}

TEST(ComServerTest, InitializeAndTheRawMethods) {
  platform::testing::TestHost t;
  {
    Component c(nullptr);
    EXPECT_EQ(c.usd->Initialize(nullptr, 2, 0), Hr(0x80070057));
  }
  Control empty(u"", sti::STI_DEVICE_CREATE_DATA);
  {
    Component c(&empty);
    EXPECT_EQ(c.initialized, S_OK);  // the service's success, and no port name kept
    EXPECT_EQ(empty.refs, 2);
    EXPECT_EQ(c.usd->LockDevice(), Hr(0x80070002));
  }
  EXPECT_EQ(empty.refs, 1);  // released with the component
  Control data(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_DATA);
  Component c(&data);
  const uint8_t packet[8] = {0x21, 0};
  EXPECT_EQ(c.usd->RawWriteCommand(packet, 8, nullptr), Hr(0x80004005));  // nothing open yet
  ASSERT_EQ(c.usd->LockDevice(), S_OK);
  EXPECT_EQ(c.usd->RawWriteCommand(packet, 8, nullptr), S_OK);
  uint8_t id = 0;
  uint32_t count = 1;
  EXPECT_EQ(c.usd->RawReadData(&id, &count, nullptr), S_OK);
  EXPECT_EQ(id, 0xA5);
  count = 1;
  EXPECT_EQ(c.usd->RawReadData(&id, &count, nullptr), Hr(0x80004005));  // nothing more to read
  EXPECT_EQ(c.usd->RawWriteData(packet, 8, nullptr), Hr(0x80004001));
  EXPECT_EQ(c.usd->Escape(1, nullptr, 0, nullptr, 0, nullptr), Hr(0x80004001));
  EXPECT_EQ(c.usd->UnLockDevice(), S_OK);
  EXPECT_EQ(c.usd->RawWriteCommand(packet, 8, nullptr), Hr(0x80004005));
  sti::STI_USD_CAPS caps;
  EXPECT_EQ(c.usd->GetCapabilities(&caps), S_OK);
  EXPECT_EQ(caps.dwVersion, 2u);
}

TEST(ComServerTest, PortNamesThatCannotBeOpened) {
  platform::testing::TestHost t;
  std::u16string longest(139, u'x'), tooLong(140, u'x');
  longest.replace(0, 4, u"\\\\.\\");
  tooLong.replace(0, 4, u"\\\\.\\");
  Control fits(longest, sti::STI_DEVICE_CREATE_DATA), over(tooLong, sti::STI_DEVICE_CREATE_DATA);
  Component a(&fits), b(&over);
  EXPECT_EQ(a.usd->LockDevice(), Hr(0x80070002));  // within the buffer, but no such device
  EXPECT_EQ(b.usd->LockDevice(), Hr(0x800700CE));  // refused, never cut
  Control port(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_DATA);
  Component c(&port);
  t.host().faults().FailEvery("usb.open", 31);
  EXPECT_EQ(c.usd->LockDevice(), Hr(0x8007001F));
}

TEST(ComServerTest, DiagnosticPassesOnAHealthyScanner) {
  platform::testing::TestHost t;
  t.ui().ExpectMessageBox("Scanner is fine.", platform::IDOK);
  Control control(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS);
  Component c(&control);
  sti::STI_DIAG diag;
  diag.sErrorInfo.dwVendorError = 77;
  ASSERT_EQ(c.usd->Diagnostic(&diag), S_OK);
  EXPECT_EQ(diag.sErrorInfo.dwVendorError, 0u);
  EXPECT_EQ(ExtendedText(diag), "");
  std::vector<uint8_t> page(850 * 1150);
  uint32_t returned = 0;
  ASSERT_EQ(c.usd->Escape(CUsdComponent::kEscapeSelfTestPage, nullptr, 0, page.data(),
                          static_cast<uint32_t>(page.size()), &returned),
            S_OK);
  EXPECT_EQ(returned, 850u * 1150u);
  // The test opened the port itself and closed it again.
  EXPECT_EQ(t.host().devices().OpenHandles(), 0u);
}

TEST(ComServerTest, DiagnosticRecordsAFailedTest) {
  struct Case {
    const char* machine;
    const char* failure;
  };
  for (Case c : {Case{"[usbasic]\nidentity=0x5A\n", "Init Failed"},
                 Case{"[usbasic]\ncarriagereply=2\n", "StepForward Fail"},
                 Case{"[usbasic]\nbankstuck=1\n", "AdjustRB Failed"}}) {
    platform::testing::TestHost t({.machine = c.machine});
    Control control(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS);
    IClassFactory* factory = nullptr;
    GetClassObject(CLSID_UsbMiniDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    IUnknown* unknown = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    factory->Release();
    auto* component = static_cast<CUsdComponent*>(unknown);
    ASSERT_EQ(component->usd()->Initialize(&control, 2, 0), S_OK);
    sti::STI_DIAG diag;
    EXPECT_EQ(component->usd()->Diagnostic(&diag), S_OK);
    EXPECT_EQ(diag.sErrorInfo.dwGenericError, 0);
    EXPECT_EQ(diag.sErrorInfo.dwVendorError, 1u);
    EXPECT_EQ(ExtendedText(diag), "Scanner Test Failed");
    EXPECT_EQ(component->lastTestFailure(), c.failure);
    unknown->Release();
  }
}

TEST(ComServerTest, DiagnosticCannotOpenThePort) {
  platform::testing::TestHost t;
  t.host().faults().FailEvery("usb.open");
  Control control(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS);
  Component c(&control);
  sti::STI_DIAG diag;
  EXPECT_EQ(c.usd->Diagnostic(&diag), Hr(0x80070002));
  t.host().faults().ClearAll();
  t.ui().ExpectMessageBox("Scanner is fine.", platform::IDOK);
  EXPECT_EQ(c.usd->Diagnostic(&diag), S_OK);  // the channel was let go
}

TEST(ComServerTest, TwoConcurrentDiagnosticsOneIsRefused) {
  platform::testing::TestHost t;
  t.ui().ExpectMessageBox("Scanner is fine.", platform::IDOK);
  Control control(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_DATA);
  Component c(&control);
  ASSERT_EQ(c.usd->LockDevice(), S_OK);
  Layers& layers = ServerState::Acquire();
  std::atomic<bool> done{false};
  HRESULT first = E_NOTIMPL;
  std::thread runner([&] {
    sti::STI_DIAG diag;
    first = c.usd->Diagnostic(&diag);
    done = true;
  });
  while (!layers.channel.attached() && !done) std::this_thread::yield();
  ASSERT_FALSE(done) << "the first test ended before the second could start";
  sti::STI_DIAG diag;
  EXPECT_EQ(c.usd->Diagnostic(&diag), Hr(0x80004005));
  runner.join();
  EXPECT_EQ(first, S_OK);  // the refused test left the running one alone
  ServerState::Release();
}

TEST(ComServerTest, NotificationWorkerStartsAndStops) {
  platform::testing::TestHost t;
  Control control(u"\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS);
  IClassFactory* factory = nullptr;
  GetClassObject(CLSID_UsbMiniDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  IUnknown* unknown = nullptr;
  factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown));
  factory->Release();
  auto* component = static_cast<CUsdComponent*>(unknown);
  sti::IStiUSD* usd = component->usd();
  usd->Initialize(&control, 2, 0);

  EXPECT_EQ(usd->SetNotificationHandle(sti::kInvalidHandleValue), S_OK);
  EXPECT_FALSE(component->workerRunning());
  sti::STI_DEVICE_STATUS status;
  status.StatusMask = sti::STI_DEVSTATUS_ONLINE_STATE | sti::STI_DEVSTATUS_EVENTS_STATE;
  status.dwEventHandlingState = 0x04 | 0x01;
  usd->GetStatus(&status);
  EXPECT_EQ(status.dwOnlineState, 1u);
  EXPECT_EQ(status.dwEventHandlingState, 0x01u);  // bit 2 cleared: no handle

  platform::Event event(t.host().clock(), platform::Event::Reset::kManual);
  EXPECT_EQ(usd->SetNotificationHandle(reinterpret_cast<sti::Handle>(&event)), S_OK);
  EXPECT_TRUE(component->workerRunning());
  usd->GetStatus(&status);
  EXPECT_EQ(status.dwEventHandlingState, 0x05u);
  status.StatusMask = 0;
  usd->GetStatus(&status);
  EXPECT_EQ(status.dwOnlineState, 0u);
  EXPECT_EQ(status.dwEventHandlingState, 0x01u);
  // A second handle replaces the worker; a null one stops it.
  EXPECT_EQ(usd->SetNotificationHandle(reinterpret_cast<sti::Handle>(&event)), S_OK);
  EXPECT_TRUE(component->workerRunning());
  sti::STINOTIFY notify;
  EXPECT_EQ(usd->GetNotificationData(&notify), Hr(0x80070103));
  EXPECT_EQ(usd->SetNotificationHandle(0), S_OK);
  EXPECT_FALSE(component->workerRunning());
  status.StatusMask = sti::STI_DEVSTATUS_EVENTS_STATE;
  usd->GetStatus(&status);
  EXPECT_EQ(status.dwEventHandlingState, 0x01u);
  // Released with a worker running: the worker goes with the component.
  usd->SetNotificationHandle(reinterpret_cast<sti::Handle>(&event));
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace usbminid
