#include "portuninst.h"

#include <optional>

#include "context.h"
#include "platform/ui/ui.h"
#include "port_locations.h"
#include "restart.h"

namespace portcard {

int RunPortUninst(const Context& context) {
  const int answer = context.ui.MessageBox(0, context.String(1), context.String(3),
                                           platform::MB_YESNO | platform::MB_ICONQUESTION);
  if (answer != platform::IDYES) return kExitCancelled;
  {
    std::optional<Location> location = OpenLocation(context);
    if (!location) return kExitNoLocation;
    RemoveSettings(context, *location);
  }
  OfferRestart(context);
  return kExitDone;
}

}  // namespace portcard
