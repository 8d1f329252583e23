// Fonts: logical font records behind handles, and the desktop's non-client metrics that name the
// system's fonts.
#include <cstring>

#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {
namespace {

LOGFONT SystemFont(int32_t weight) {
  LOGFONT font{};
  font.lfHeight = -11;  // 8 points at 96 dots per inch
  font.lfWeight = weight;
  std::strncpy(font.lfFaceName, "MS Sans Serif", LF_FACESIZE - 1);
  return font;
}

}  // namespace

NONCLIENTMETRICS DefaultNonClientMetrics() {
  NONCLIENTMETRICS m{};
  m.cbSize = sizeof m;
  m.iBorderWidth = 1;
  m.iScrollWidth = m.iScrollHeight = 16;
  m.iCaptionWidth = m.iCaptionHeight = 18;
  m.lfCaptionFont = SystemFont(FW_BOLD);
  m.iSmCaptionWidth = m.iSmCaptionHeight = 12;
  m.lfSmCaptionFont = SystemFont(FW_BOLD);
  m.iMenuWidth = m.iMenuHeight = 18;
  m.lfMenuFont = m.lfStatusFont = m.lfMessageFont = SystemFont(FW_NORMAL);
  return m;
}

bool UserInterface::SystemParametersInfo(uint32_t action, uint32_t param, void* data,
                                         uint32_t winIni) {
  (void)winIni;
  const bool get = action == SPI_GETNONCLIENTMETRICS;
  const bool set = action == SPI_SETNONCLIENTMETRICS;
  // The size is checked twice over, as Win32 does, so a caller built against another layout
  // of the record is refused rather than written past.
  NONCLIENTMETRICS* metrics = static_cast<NONCLIENTMETRICS*>(data);
  if ((!get && !set) || !metrics || param != sizeof(NONCLIENTMETRICS) ||
      metrics->cbSize != sizeof(NONCLIENTMETRICS)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  if (get) *metrics = impl_->metrics; else impl_->metrics = *metrics;
  return true;
}

Hfont UserInterface::CreateFontIndirect(const LOGFONT& font) {
  Hfont handle = impl_->nextFont;
  impl_->nextFont += 4;
  LOGFONT& kept = impl_->fonts[handle] = font;
  kept.lfFaceName[LF_FACESIZE - 1] = '\0';  // a face name without its zero stays in bounds
  return handle;
}

bool UserInterface::DeleteObject(Hfont font) {
  if (impl_->fonts.erase(font) != 0) return true;
  SetLastError(kErrorInvalidHandle);
  return false;
}

bool UserInterface::GetObject(Hfont font, LOGFONT* out) const {
  auto it = impl_->fonts.find(font);
  if (it == impl_->fonts.end() || !out) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  *out = it->second;
  return true;
}

size_t UserInterface::LiveFontCount() const { return impl_->fonts.size(); }

}  // namespace platform
