// portuninst: removes the card's settings that portinst stored.
#pragma once

namespace portcard {

struct Context;

int RunPortUninst(const Context& context);

}  // namespace portcard
