// The class factory of the server's one class.
#pragma once

#include <atomic>

#include "platform/com/com.h"
#include "platform/com/com_registration.h"

namespace usbminid {

class CFactory final : public platform::com::IClassFactory {
 public:
  explicit CFactory(const platform::com::ClassRegistration& entry) : entry_(entry) {}
  platform::com::HRESULT QueryInterface(const platform::com::IID& iid, void** object) override;
  uint32_t AddRef() override { return ++count_; }
  uint32_t Release() override;
  platform::com::HRESULT CreateInstance(platform::com::IUnknown* outer, const platform::com::IID& iid,
                                        void** object) override;
  platform::com::HRESULT LockServer(bool lock) override;

 private:
  ~CFactory() = default;
  std::atomic<uint32_t> count_{1};
  const platform::com::ClassRegistration& entry_;
};

}  // namespace usbminid
