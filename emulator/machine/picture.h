// Pictures for the glass: a PNG file read into a Page.
#pragma once

#include <memory>
#include <string>

#include "chart.h"

namespace emulator {

// The picture at `hostPath` placed at the glass's top-left corner at `dpi`; null when the file
// cannot be read as a PNG (`error` says why).
std::shared_ptr<const Page> LoadPicture(const std::string& hostPath, int dpi, std::string* error);

}  // namespace emulator
