// The four entry points of the server module, looked up by name by whoever loads it.
#include "usd_component.h"

using platform::com::CLSID;
using platform::com::HRESULT;
using platform::com::IID;

extern "C" {
__attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  return usbminid::GetClassObject(clsid, iid, object);
}
__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return usbminid::CanUnloadNow(); }
__attribute__((visibility("default"))) HRESULT DllRegisterServer() { return usbminid::RegisterServer(); }
__attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return usbminid::UnregisterServer(); }
}
