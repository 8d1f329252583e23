// portinst: asks for the card's I/O address and stores it where the scanner drivers read it.
#pragma once

namespace portcard {

struct Context;

inline constexpr int kDlgPortAddress = 101;
inline constexpr int kCtlAddressList = 1001;

int RunPortInst(const Context& context);

}  // namespace portcard
