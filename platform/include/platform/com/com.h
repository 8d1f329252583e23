// The essentials of COM that an in-process server and its client share: GUIDs, HRESULTs, the
// IUnknown and IClassFactory interfaces, and the export signatures of a server module.
//
// Interfaces are abstract classes whose virtual functions are the interface's slots in
// declaration order, as the C++ layout of a COM interface has them. Reference counts follow
// the COM rules: whoever receives an interface pointer owns one reference and Releases it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::com {

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }
// HRESULT_FROM_WIN32: 0 stays S_OK, other codes become 0x8007xxxx.
constexpr HRESULT HresultFromWin32(uint32_t code) {
  return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
  bool operator==(const GUID& other) const;
  bool operator!=(const GUID& other) const { return !(*this == other); }
};
using IID = GUID;
using CLSID = GUID;

// The registry form: braced, upper-case hexadecimal, 38 characters.
std::string GuidToString(const GUID& guid);
// Reads the registry form (either case); empty for anything else.
std::optional<GUID> ParseGuid(std::string_view text);

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;  // objects go with their last Release, never by delete through here
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The exports of an in-process server, looked up by these names.
using DllGetClassObjectFn = HRESULT(const CLSID& clsid, const IID& iid, void** object);
using DllCanUnloadNowFn = HRESULT();
using DllRegisterServerFn = HRESULT();
using DllUnregisterServerFn = HRESULT();

}  // namespace platform::com
