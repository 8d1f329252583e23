#include "c_unknown.h"

#include "server_state.h"

namespace usbminid {

using namespace platform::com;

CUnknown::CUnknown(IUnknown* outer) : outer_(outer ? outer : this) { ++ServerState::components; }

CUnknown::~CUnknown() { --ServerState::components; }

HRESULT CUnknown::QueryInterface(const IID& iid, void** object) { return NondelegatingQueryInterface(iid, object); }

HRESULT CUnknown::NondelegatingQueryInterface(const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown) {
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

uint32_t CUnknown::AddRef() { return ++count_; }

uint32_t CUnknown::Release() {
  uint32_t left = --count_;
  if (left == 0) {
    FinalRelease();
    delete this;
  }
  return left;
}

}  // namespace usbminid
