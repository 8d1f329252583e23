// The closing question of both programs: string 2 with caption string 3; on Yes the machine is
// restarted, on Windows NT after the shutdown privilege is enabled.
#pragma once

namespace portcard {

struct Context;

// True when a restart was requested.
bool OfferRestart(const Context& context);

}  // namespace portcard
