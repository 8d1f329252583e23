#include "platform/aspi/aspi.h"
#include "platform/system/system.h"
#include "scancore/error_codes.h"
#include "scancore/interface.h"
#include "windows_version.h"

int CStiAspiInterface::Open() {
  const platform::VersionRecord v = services().system.GetVersionEx();
  std::string_view module;
  if (scancore::IsWin95Osr2(v)) {
    module = platform::kOsr2AspiModule;
  } else if (scancore::IsWin98(v) || scancore::IsWin2000(v)) {
    module = platform::kStiAspiModule;
  }
  if (module.empty()) return FailWith(scancore::kErrNoStiAspi);
  return OpenLibrary(module, scancore::kErrNoStiAspi, true);
}
