// The base of the server's components: the non-delegating unknown, whose reference count starts
// at 1, and the outer unknown that the component's interfaces delegate to (the aggregating
// object, else the component itself). Constructing one counts a live component, destroying it
// uncounts it.
#pragma once

#include <atomic>

#include "platform/com/com.h"

namespace usbminid {

class CUnknown : public platform::com::IUnknown {
 public:
  explicit CUnknown(platform::com::IUnknown* outer);
  // The non-delegating unknown (this object's own IUnknown slots).
  platform::com::HRESULT QueryInterface(const platform::com::IID& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  virtual ~CUnknown();
  virtual platform::com::HRESULT Init() { return platform::com::S_OK; }
  // Before destruction: the count goes back to 1 so that a Release during it cannot re-enter.
  virtual void FinalRelease() { count_.store(1); }

 protected:
  platform::com::IUnknown* outer() const { return outer_; }
  virtual platform::com::HRESULT NondelegatingQueryInterface(const platform::com::IID& iid, void** object);

 private:
  std::atomic<uint32_t> count_{1};
  platform::com::IUnknown* outer_;
};

}  // namespace usbminid
