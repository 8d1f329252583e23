// The setup program's own resources: the language dialog and the library-load error dialog,
// registered as the built-in module "DSSETUP.EXE".
#pragma once

#include <string_view>

namespace dssetup {

inline constexpr std::string_view kOwnModule = "DSSETUP.EXE";
std::string_view OwnResourceScript();

}  // namespace dssetup
