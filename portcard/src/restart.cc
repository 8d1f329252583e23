#include "restart.h"

#include "context.h"
#include "platform/shell/shell.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"
#include "platform/system/token.h"
#include "platform/ui/ui.h"

namespace portcard {

bool OfferRestart(const Context& context) {
  const int answer = context.ui.MessageBox(0, context.String(2), context.String(3),
                                           platform::MB_YESNO | platform::MB_ICONQUESTION);
  if (answer != platform::IDYES) return false;
  if (context.system.IsNt()) {
    platform::ProcessToken token(context.system, context.faults);
    // Without the token there is no privilege to shut down with: nothing happens.
    if (token.Open() != platform::kErrorSuccess) return false;
    token.Adjust(platform::kShutdownPrivilege, true);
  }
  if (!context.system.RequestRestart("EWX_REBOOT")) return false;
  if (context.shell) context.shell->RecordRestart(context.programName);
  return true;
}

}  // namespace portcard
