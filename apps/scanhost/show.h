// What `scanhost show` prints: the host root, its system and its drives.
#pragma once

#include <ostream>

namespace platform {
class Host;
}

void ShowHost(platform::Host& host, std::ostream& out);
