// The setup window's background, painted once into a bitmap the size of the window: the window
// colour, three vertical bands (a third of the width each) graded in 64 steps of 6 pixels from
// black at the top to red, green and blue, and the title in a sans face, blue with a cyan copy
// above and to the left of it.
#pragma once

#include <memory>
#include <string>

#include "platform/gdi/gdi.h"

namespace dssetup {

inline constexpr int kWindowWidth = 600;
inline constexpr int kWindowHeight = 440;

std::unique_ptr<platform::GdiBitmap> PaintBackground(int width, int height,
                                                     const std::string& title, int fontSize);

}  // namespace dssetup
