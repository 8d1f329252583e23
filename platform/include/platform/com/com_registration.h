// Registration of in-process COM classes under HKEY_CLASSES_ROOT, as servers write it in their
// DllRegisterServer and clients read it to find the server of a class:
//
//   CLSID\{clsid}                       (default) friendly name
//   CLSID\{clsid}\InprocServer32        (default) the server module's full path
//   CLSID\{clsid}\ProgID                (default) versioned program identifier
//   CLSID\{clsid}\VersionIndependentProgID  (default) version-independent identifier
//   <version-independent id>            (default) friendly name; subkeys CLSID and CurVer
//   <versioned id>                      (default) friendly name; subkey CLSID
#pragma once

#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace platform {
class Registry;
}

namespace platform::com {

struct ClassRegistration {
  CLSID clsid;
  std::string friendlyName;
  std::string progId;                     // versioned, "Maker.Thing.1"
  std::string versionIndependentProgId;   // "Maker.Thing"
};

// Writes every key of the class; the registry's error code of the first write that failed, else 0.
long RegisterInprocServer(Registry& registry, const ClassRegistration& entry, std::string_view modulePath);
// Deletes the three keys with all their subkeys, depth first; missing keys are no error.
void UnregisterInprocServer(Registry& registry, const ClassRegistration& entry);
// Deletes `subKey` of `parent` and everything under it, taking subkey 0 until none is left.
long DeleteKeyDepthFirst(Registry& registry, uintptr_t parent, std::string_view subKey);
// The InprocServer32 path of a class; empty when the class is not registered.
std::string InprocServerPath(Registry& registry, const CLSID& clsid);

}  // namespace platform::com
