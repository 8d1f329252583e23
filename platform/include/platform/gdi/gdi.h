// Drawing into memory, as the GDI of the time let a program paint its windows: bitmaps of 32-bit
// pixels, solid fills, text in a font chosen by face and point size (drawn with FreeType from an
// installed font file; a face the machine lacks is replaced by a metric-compatible one), and
// BitBlt between bitmaps. A bitmap can be saved as PNG, which is how a window is looked at here.
//
// Coordinates are pixels, x to the right and y down from the top-left corner; rectangles hold
// their left and top edge and exclude their right and bottom one. Everything clips to the
// bitmaps involved: a fill or a copy partly or wholly outside draws only what lies inside.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using ColorRef = uint32_t;  // 0x00BBGGRR, as COLORREF
constexpr ColorRef Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<ColorRef>(r) | static_cast<ColorRef>(g) << 8 | static_cast<ColorRef>(b) << 16;
}
constexpr uint8_t RedOf(ColorRef c) { return static_cast<uint8_t>(c); }
constexpr uint8_t GreenOf(ColorRef c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t BlueOf(ColorRef c) { return static_cast<uint8_t>(c >> 16); }

struct GdiRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

class GdiBitmap {
 public:
  // A bitmap of at most 16384 x 16384 pixels (sizes are clamped to 0..16384), filled with black.
  GdiBitmap(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  ColorRef Pixel(int x, int y) const;  // 0 outside
  void SetPixel(int x, int y, ColorRef color);
  void FillRect(const GdiRect& rect, ColorRef color);
  // Mixes `color` into a pixel with coverage 0..255 (anti-aliased text).
  void Blend(int x, int y, ColorRef color, uint8_t coverage);
  // Writes an 8-bit RGB PNG; false when the file cannot be written.
  bool SavePng(const std::filesystem::path& path) const;

 private:
  int width_;
  int height_;
  std::vector<ColorRef> pixels_;
};

// Copies a w x h block from (sx, sy) of `source` to (x, y) of `target` (SRCCOPY).
void BitBlt(GdiBitmap& target, int x, int y, int w, int h, const GdiBitmap& source, int sx, int sy);

class GdiFont {
 public:
  // The font file standing for a face ("Arial", "Helvetica", "MS Sans Serif" and any other sans
  // face: Liberation Sans, else DejaVu Sans); empty when none is installed.
  static std::optional<std::filesystem::path> FileFor(std::string_view face);
  // A font of `face` at `points` for a 96-dpi screen; null when no font file can be used.
  static std::unique_ptr<GdiFont> Create(std::string_view face, int points);
  ~GdiFont();

  // The text's width in pixels and the line's ascent, as the text is drawn.
  int TextWidth(std::string_view text) const;
  int Ascent() const;
  // TextOut with a transparent background: the text's cell starts at (x, y).
  void TextOut(GdiBitmap& bitmap, int x, int y, std::string_view text, ColorRef color) const;

 private:
  struct Impl;
  explicit GdiFont(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
