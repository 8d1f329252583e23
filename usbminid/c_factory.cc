#include "c_factory.h"

#include <new>

#include "platform/host/host.h"
#include "platform/registry/registry.h"
#include "server_state.h"
#include "usd_component.h"

namespace usbminid {

using namespace platform::com;

HRESULT CFactory::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

uint32_t CFactory::Release() {
  uint32_t left = --count_;
  if (left == 0) delete this;
  return left;
}

HRESULT CFactory::CreateInstance(IUnknown* outer, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  CUsdComponent* component = new (std::nothrow) CUsdComponent(outer);
  if (component == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = component->Init();
  if (Failed(hr)) {
    component->Release();
    return hr;
  }
  hr = component->CUnknown::QueryInterface(iid, object);  // the non-delegating one
  component->Release();  // the creation reference
  return hr;
}

HRESULT CFactory::LockServer(bool lock) {
  if (lock) ++ServerState::locks;
  else --ServerState::locks;
  return S_OK;
}

HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  if (clsid != Registration().clsid) return CLASS_E_CLASSNOTAVAILABLE;
  CFactory* factory = new (std::nothrow) CFactory(Registration());
  if (factory == nullptr) return E_OUTOFMEMORY;
  *object = static_cast<IClassFactory*>(factory);
  return S_OK;
}

HRESULT CanUnloadNow() { return ServerState::components == 0 && ServerState::locks == 0 ? S_OK : S_FALSE; }

HRESULT RegisterServer() {
  RegisterInprocServer(platform::Host::Current().registry(), Registration(), ServerState::ModulePath());
  return S_OK;
}

HRESULT UnregisterServer() {
  UnregisterInprocServer(platform::Host::Current().registry(), Registration());
  return S_OK;
}

}  // namespace usbminid
