#include "background.h"

namespace dssetup {

namespace {
constexpr int kSteps = 64;
constexpr int kStepHeight = 6;
constexpr int kIntensityStep = 4;
}  // namespace

std::unique_ptr<platform::GdiBitmap> PaintBackground(int width, int height,
                                                     const std::string& title, int fontSize) {
  using platform::Rgb;
  auto bitmap = std::make_unique<platform::GdiBitmap>(width, height);
  bitmap->FillRect({0, 0, width, height}, Rgb(255, 255, 255));
  const int band = width / 3;
  for (int step = 0; step < kSteps; ++step) {
    const auto v = static_cast<uint8_t>(step * kIntensityStep);
    const int top = step * kStepHeight;
    bitmap->FillRect({0, top, band, top + kStepHeight}, Rgb(v, 0, 0));
    bitmap->FillRect({band, top, 2 * band, top + kStepHeight}, Rgb(0, v, 0));
    bitmap->FillRect({2 * band, top, 3 * band, top + kStepHeight}, Rgb(0, 0, v));
  }
  if (auto font = platform::GdiFont::Create("Arial", fontSize)) {
    font->TextOut(*bitmap, 11, 6, title, Rgb(0, 0, 255));
    font->TextOut(*bitmap, 8, 3, title, Rgb(0, 255, 255));
  }
  return bitmap;
}

}  // namespace dssetup
