// Menus: items by position, submenus owned by the item that holds them, and a window's menu bar.
#include <gtest/gtest.h>

#include <string>

#include "platform/system/errors.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::RecordingUi;

std::string ItemText(const UserInterface& ui, Hmenu menu, uint32_t position, int maxCount = 64) {
  char buffer[64] = {};
  int n = ui.GetMenuString(menu, position, buffer, maxCount, MF_BYPOSITION);
  return std::string(buffer, static_cast<size_t>(n));
}

// A menu bar "File" (Open 101, separator, Recent > Last 201) and "Help" (About 301).
struct MenuBar {
  explicit MenuBar(UserInterface& ui) {
    bar = ui.CreateMenu();
    file = ui.CreatePopupMenu();
    recent = ui.CreatePopupMenu();
    help = ui.CreatePopupMenu();
    EXPECT_TRUE(ui.AppendMenu(recent, MF_STRING, 201, "Last"));
    EXPECT_TRUE(ui.AppendMenu(file, MF_STRING, 101, "&Open"));
    EXPECT_TRUE(ui.AppendMenu(file, MF_SEPARATOR, 0, ""));
    EXPECT_TRUE(ui.AppendMenu(file, MF_POPUP, recent, "Recent"));
    EXPECT_TRUE(ui.AppendMenu(help, MF_STRING, 301, "About"));
    EXPECT_TRUE(ui.AppendMenu(bar, MF_POPUP, file, "&File"));
    EXPECT_TRUE(ui.AppendMenu(bar, MF_POPUP, help, "&Help"));
  }
  Hmenu bar, file, recent, help;
};

TEST(MenuTest, ItemsAnswerByPosition) {
  RecordingUi r;
  MenuBar m(r.ui);
  EXPECT_EQ(r.ui.GetMenuItemCount(m.bar), 2);
  EXPECT_EQ(r.ui.GetMenuItemCount(m.file), 3);
  EXPECT_EQ(ItemText(r.ui, m.bar, 0), "&File");
  EXPECT_EQ(r.ui.GetSubMenu(m.bar, 0), m.file);
  EXPECT_EQ(r.ui.GetMenuItemID(m.bar, 0), kMenuNoItemId);  // a popup has no command
  EXPECT_EQ(r.ui.GetMenuItemID(m.file, 0), 101u);
  EXPECT_EQ(r.ui.GetMenuItemID(m.file, 1), 0u);  // the separator
  EXPECT_EQ(ItemText(r.ui, m.file, 1), "");
  EXPECT_EQ(r.ui.GetSubMenu(m.file, 0), 0u);
  EXPECT_EQ(r.ui.GetSubMenu(m.file, 2), m.recent);
  // Texts are cut to the buffer, and a null buffer asks for the length.
  EXPECT_EQ(ItemText(r.ui, m.file, 2, 4), "Rec");
  EXPECT_EQ(r.ui.GetMenuString(m.file, 2, nullptr, 0, MF_BYPOSITION), 6);
  // By command, the search goes down into submenus.
  char buffer[16] = {};
  EXPECT_EQ(r.ui.GetMenuString(m.bar, 201, buffer, sizeof buffer, MF_BYCOMMAND), 4);
  EXPECT_STREQ(buffer, "Last");
}

TEST(MenuTest, BadMenusAndPositionsFailWithoutHarm) {
  RecordingUi r;
  MenuBar m(r.ui);
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(r.ui.GetMenuItemCount(0x12345), -1);
  EXPECT_EQ(GetLastError(), kErrorInvalidMenuHandle);
  EXPECT_EQ(r.ui.GetMenuString(m.bar, 2, buffer, sizeof buffer, MF_BYPOSITION), 0);
  EXPECT_STREQ(buffer, "xxxxxxx");
  EXPECT_EQ(r.ui.GetMenuString(m.bar, 0, buffer, 0, MF_BYPOSITION), 0);
  EXPECT_EQ(r.ui.GetMenuItemID(m.bar, -1), kMenuNoItemId);
  EXPECT_EQ(r.ui.GetSubMenu(m.bar, 7), 0u);
  EXPECT_FALSE(r.ui.ModifyMenu(m.bar, 5, MF_BYPOSITION | MF_STRING, 1, "x"));
  EXPECT_FALSE(r.ui.AppendMenu(m.bar, MF_POPUP, 0x999, "nothing"));
  EXPECT_EQ(r.ui.GetMenuItemCount(m.bar), 2);
  // A window handle is no menu.
  Hwnd w = r.ui.CreateWindow("Frame", "", 0, 0, {});
  EXPECT_FALSE(r.ui.IsMenu(w));
  EXPECT_FALSE(r.ui.AppendMenu(w, MF_STRING, 1, "x"));
}

TEST(MenuTest, ASubmenuBelongsToOneItemAndNeverToItself) {
  RecordingUi r;
  MenuBar m(r.ui);
  EXPECT_FALSE(r.ui.AppendMenu(m.help, MF_POPUP, m.recent, "again"));  // already held
  EXPECT_FALSE(r.ui.AppendMenu(m.recent, MF_POPUP, m.recent, "self"));
  Hmenu loose = r.ui.CreatePopupMenu();
  ASSERT_TRUE(r.ui.AppendMenu(loose, MF_POPUP, m.bar, "bar below"));
  // The bar now sits below `loose`; `loose` cannot go below something inside the bar.
  EXPECT_FALSE(r.ui.AppendMenu(m.recent, MF_POPUP, loose, "cycle"));
  Hwnd w = r.ui.CreateWindow("Frame", "", 0, 0, {});
  EXPECT_FALSE(r.ui.SetMenu(w, m.bar));  // held by an item
  EXPECT_TRUE(r.ui.DestroyMenu(loose));
  for (Hmenu h : {loose, m.bar, m.file, m.recent, m.help}) EXPECT_FALSE(r.ui.IsMenu(h));
}

TEST(MenuTest, ModifyKeepsOrDropsTheSubmenu) {
  RecordingUi r;
  MenuBar m(r.ui);
  // Text only, keeping the command and, for a popup, its submenu.
  ASSERT_TRUE(r.ui.ModifyMenu(m.file, 0, MF_BYPOSITION | MF_STRING, 101, "&Oeffnen"));
  EXPECT_EQ(ItemText(r.ui, m.file, 0), "&Oeffnen");
  EXPECT_EQ(r.ui.GetMenuItemID(m.file, 0), 101u);
  ASSERT_TRUE(r.ui.ModifyMenu(m.bar, 0, MF_BYPOSITION | MF_POPUP, m.file, "&Datei"));
  EXPECT_EQ(r.ui.GetSubMenu(m.bar, 0), m.file);
  EXPECT_EQ(ItemText(r.ui, m.bar, 0), "&Datei");
  // By command.
  ASSERT_TRUE(r.ui.ModifyMenu(m.bar, 201, MF_BYCOMMAND | MF_STRING, 202, "Previous"));
  EXPECT_EQ(r.ui.GetMenuItemID(m.recent, 0), 202u);
  // A popup turned into a separator takes its submenu with it.
  ASSERT_TRUE(r.ui.ModifyMenu(m.file, 2, MF_BYPOSITION | MF_SEPARATOR, 0, ""));
  EXPECT_FALSE(r.ui.IsMenu(m.recent));
  EXPECT_EQ(r.ui.GetMenuItemID(m.file, 2), 0u);
  EXPECT_EQ(r.ui.GetMenuItemCount(m.file), 3);
}

TEST(MenuTest, DestroyingASubmenuTakesItsItemAway) {
  RecordingUi r;
  MenuBar m(r.ui);
  ASSERT_TRUE(r.ui.DestroyMenu(m.file));
  EXPECT_FALSE(r.ui.IsMenu(m.recent));
  EXPECT_EQ(r.ui.GetMenuItemCount(m.bar), 1);
  EXPECT_EQ(r.ui.GetSubMenu(m.bar, 0), m.help);
  EXPECT_FALSE(r.ui.DestroyMenu(m.file));
}

TEST(MenuTest, AWindowsMenuBarLivesAndDiesWithIt) {
  RecordingUi r;
  MenuBar m(r.ui);
  Hwnd w = r.ui.CreateWindow("Frame", "", 0, 0, {});
  Hwnd child = r.ui.CreateControl(w, kButtonClass, "OK", 0, IDOK);
  EXPECT_FALSE(r.ui.SetMenu(child, m.bar));  // only top-level windows have menu bars
  ASSERT_TRUE(r.ui.SetMenu(w, m.bar));
  EXPECT_EQ(r.ui.GetMenu(w), m.bar);
  EXPECT_TRUE(r.ui.DrawMenuBar(w));
  EXPECT_TRUE(r.ui.DrawMenuBar(w));
  EXPECT_EQ(r.ui.MenuBarDrawCount(w), 2u);
  // A menu taken off the window is the caller's again, and is not destroyed with it.
  Hmenu other = r.ui.CreateMenu();
  ASSERT_TRUE(r.ui.SetMenu(w, other));
  Hwnd second = r.ui.CreateWindow("Frame", "", 0, 0, {});
  EXPECT_FALSE(r.ui.SetMenu(second, other));  // one window's menu at a time
  ASSERT_TRUE(r.ui.DestroyWindow(w));
  EXPECT_FALSE(r.ui.IsMenu(other));
  EXPECT_TRUE(r.ui.IsMenu(m.bar));
  EXPECT_TRUE(r.ui.IsMenu(m.recent));
  // Destroying a window's menu leaves the window without one.
  ASSERT_TRUE(r.ui.SetMenu(second, m.bar));
  ASSERT_TRUE(r.ui.DestroyMenu(m.bar));
  EXPECT_EQ(r.ui.GetMenu(second), 0u);
  EXPECT_TRUE(r.ui.DestroyWindow(second));
}

}  // namespace
}  // namespace platform
