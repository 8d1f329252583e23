// The selection dialog's controls show the desktop's menu font, and the font goes with the dialog.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/dialog_driver.h"
#include "platform/ui/ui.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::kBase;
using testing::ScannerHost;

TEST(SelectScannerFontTest, EveryControlGetsTheMenuFontForTheDialogsLifetime) {
  ScannerHost t("nt4");
  platform::UserInterface& ui = t.host().ui();
  platform::NONCLIENTMETRICS metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(ui.SystemParametersInfo(platform::SPI_GETNONCLIENTMETRICS, sizeof metrics,
                                      &metrics, 0));
  // A menu font unlike the other system fonts, so that only it can match.
  std::strcpy(metrics.lfMenuFont.lfFaceName, "Tahoma");
  metrics.lfMenuFont.lfHeight = -13;
  ASSERT_TRUE(ui.SystemParametersInfo(platform::SPI_SETNONCLIENTMETRICS, sizeof metrics,
                                      &metrics, 0));
  size_t controls = 0;
  t.ui().ExpectDialog(100, [&](platform::DialogDriver& d) {
    for (platform::Hwnd control : d.Controls()) {
      ++controls;
      const auto font = static_cast<platform::Hfont>(
          ui.SendMessage(control, platform::WM_GETFONT, 0, 0));
      platform::LOGFONT used{};
      ASSERT_TRUE(ui.GetObject(font, &used)) << ui.GetClassName(control);
      EXPECT_STREQ(used.lfFaceName, "Tahoma");
      EXPECT_EQ(used.lfHeight, -13);
    }
    d.Click(platform::IDOK);
  });
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_GE(controls, 3u);  // the text, the list and OK
  EXPECT_EQ(ui.LiveFontCount(), 0u);
}

}  // namespace
}  // namespace scancore
