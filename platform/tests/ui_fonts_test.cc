// Fonts: the system menu font from the non-client metrics, and fonts kept by controls.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/system/errors.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::RecordingUi;

NONCLIENTMETRICS Metrics(UserInterface& ui) {
  NONCLIENTMETRICS m{};
  m.cbSize = sizeof m;
  EXPECT_TRUE(ui.SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0));
  return m;
}

TEST(FontTest, MetricsNameTheMenuFontAndCanBeChanged) {
  RecordingUi r;
  NONCLIENTMETRICS m = Metrics(r.ui);
  EXPECT_STREQ(m.lfMenuFont.lfFaceName, "MS Sans Serif");
  EXPECT_LT(m.lfMenuFont.lfHeight, 0);
  EXPECT_EQ(m.lfMenuFont.lfWeight, FW_NORMAL);
  std::strcpy(m.lfMenuFont.lfFaceName, "Tahoma");
  ASSERT_TRUE(r.ui.SystemParametersInfo(SPI_SETNONCLIENTMETRICS, sizeof m, &m, 0));
  EXPECT_STREQ(Metrics(r.ui).lfMenuFont.lfFaceName, "Tahoma");
  // A record of another size, or another action, is refused and left alone.
  NONCLIENTMETRICS shorter{};
  shorter.cbSize = sizeof shorter - 4;
  EXPECT_FALSE(r.ui.SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof shorter, &shorter, 0));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_EQ(shorter.lfMenuFont.lfFaceName[0], '\0');
  EXPECT_FALSE(r.ui.SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof m, nullptr, 0));
  EXPECT_FALSE(r.ui.SystemParametersInfo(0x1234, sizeof m, &m, 0));
}

TEST(FontTest, FontsRoundTripAndAreCountedUntilDeleted) {
  RecordingUi r;
  LOGFONT wanted = Metrics(r.ui).lfMenuFont;
  std::memset(wanted.lfFaceName, 'x', LF_FACESIZE);  // no final zero
  Hfont font = r.ui.CreateFontIndirect(wanted);
  ASSERT_NE(font, 0u);
  EXPECT_EQ(r.ui.LiveFontCount(), 1u);
  LOGFONT got{};
  ASSERT_TRUE(r.ui.GetObject(font, &got));
  EXPECT_EQ(got.lfHeight, wanted.lfHeight);
  EXPECT_EQ(std::strlen(got.lfFaceName), LF_FACESIZE - 1);
  EXPECT_TRUE(r.ui.DeleteObject(font));
  EXPECT_FALSE(r.ui.DeleteObject(font));
  EXPECT_FALSE(r.ui.GetObject(font, &got));
  EXPECT_EQ(r.ui.LiveFontCount(), 0u);
}

TEST(FontTest, ControlsKeepTheFontTheyAreGiven) {
  RecordingUi r;
  Hwnd frame = r.ui.CreateWindow("Frame", "", 0, 0, {});
  Hfont font = r.ui.CreateFontIndirect(Metrics(r.ui).lfMenuFont);
  for (const char* cls : {kButtonClass, kStaticClass, kEditClass, kListBoxClass, kComboBoxClass,
                          kProgressClass, kUpDownClass}) {
    Hwnd control = r.ui.CreateControl(frame, cls, "", 0, 7);
    EXPECT_EQ(r.ui.SendMessage(control, WM_GETFONT, 0, 0), 0) << cls;  // the system font
    r.ui.SendMessage(control, WM_SETFONT, font, 1);
    EXPECT_EQ(static_cast<Hfont>(r.ui.SendMessage(control, WM_GETFONT, 0, 0)), font) << cls;
    r.ui.DestroyWindow(control);
  }
  r.ui.DeleteObject(font);
  r.ui.DestroyWindow(frame);
}

}  // namespace
}  // namespace platform
