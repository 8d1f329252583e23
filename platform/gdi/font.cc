#include <ft2build.h>
#include FT_FREETYPE_H


#include <array>
#include <system_error>

#include "platform/gdi/gdi.h"

namespace platform {

namespace {
constexpr int kScreenDpi = 96;

constexpr std::array<const char*, 4> kSansFiles = {
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
};
}  // namespace

struct GdiFont::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

GdiFont::GdiFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
GdiFont::~GdiFont() = default;

std::optional<std::filesystem::path> GdiFont::FileFor(std::string_view) {
  // Every face the suite names is a sans face; one metric-compatible family stands for them.
  std::error_code ec;
  for (const char* file : kSansFiles) {
    if (std::filesystem::exists(file, ec)) return std::filesystem::path(file);
  }
  return std::nullopt;
}

std::unique_ptr<GdiFont> GdiFont::Create(std::string_view face, int points) {
  auto file = FileFor(face);
  if (!file || points <= 0 || points > 1000) return nullptr;
  auto impl = std::make_unique<Impl>();
  if (FT_Init_FreeType(&impl->library) != 0) return nullptr;
  if (FT_New_Face(impl->library, file->c_str(), 0, &impl->face) != 0) return nullptr;
  if (FT_Set_Char_Size(impl->face, 0, points * 64, kScreenDpi, kScreenDpi) != 0) return nullptr;
  return std::unique_ptr<GdiFont>(new GdiFont(std::move(impl)));
}

int GdiFont::Ascent() const {
  return static_cast<int>((impl_->face->size->metrics.ascender + 63) >> 6);
}

int GdiFont::TextWidth(std::string_view text) const {
  long width = 0;
  for (unsigned char c : text) {
    if (FT_Load_Char(impl_->face, c, FT_LOAD_DEFAULT) == 0) width += impl_->face->glyph->advance.x;
  }
  return static_cast<int>((width + 32) >> 6);
}

void GdiFont::TextOut(GdiBitmap& bitmap, int x, int y, std::string_view text,
                      ColorRef color) const {
  long pen = static_cast<long>(x) << 6;
  const int baseline = y + Ascent();
  for (unsigned char c : text) {
    if (FT_Load_Char(impl_->face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = impl_->face->glyph;
    const int left = static_cast<int>((pen + 32) >> 6) + g->bitmap_left;
    const int top = baseline - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row) {
      const unsigned char* line = g->bitmap.buffer + static_cast<ptrdiff_t>(row) * g->bitmap.pitch;
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        bitmap.Blend(left + static_cast<int>(col), top + static_cast<int>(row), color, line[col]);
      }
    }
    pen += g->advance.x;
  }
}

}  // namespace platform
