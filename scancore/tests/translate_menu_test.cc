// A window's menu passing through the message file: items in order, submenus depth first, the
// menu bar redrawn after each item.
#include <gtest/gtest.h>

#include <string>

#include "platform/ui/ui.h"
#include "scancore/message_file.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::ScannerHost;

std::string Entry(const std::string& source, const std::string& translation) {
  return "\"" + source + "\" = \"" + translation + "\"\n";
}

std::string ItemText(platform::UserInterface& ui, platform::Hmenu menu, uint32_t position) {
  char buffer[80] = {};
  ui.GetMenuString(menu, position, buffer, sizeof buffer, platform::MF_BYPOSITION);
  return buffer;
}

// "&File" > (Open 101, "" 102, "Recent" > (Last 201)), then "&Help" > (About 301).
struct FrameWithMenu {
  explicit FrameWithMenu(platform::UserInterface& ui) : ui(ui) {
    frame = ui.CreateWindow("Frame", "Scan", 0, 0, {});
    bar = ui.CreateMenu();
    file = ui.CreatePopupMenu();
    recent = ui.CreatePopupMenu();
    help = ui.CreatePopupMenu();
    ui.AppendMenu(recent, platform::MF_STRING, 201, "Last");
    ui.AppendMenu(file, platform::MF_STRING, 101, "Open");
    ui.AppendMenu(file, platform::MF_STRING, 102, "");
    ui.AppendMenu(file, platform::MF_POPUP, recent, "Recent");
    ui.AppendMenu(help, platform::MF_STRING, 301, "About");
    ui.AppendMenu(bar, platform::MF_POPUP, file, "&File");
    ui.AppendMenu(bar, platform::MF_POPUP, help, "&Help");
    ui.SetMenu(frame, bar);
  }
  ~FrameWithMenu() { ui.DestroyWindow(frame); }
  platform::UserInterface& ui;
  platform::Hwnd frame;
  platform::Hmenu bar, file, recent, help;
};

TEST(TranslateMenuTest, ItemsAndSubmenusAreTranslatedKeepingTheirCommands) {
  ScannerHost t;
  CMessageFile messages;
  messages.LoadText(Entry("&File", "&Datei") + Entry("Open", "Oeffnen") +
                    Entry("Recent", "Zuletzt") + Entry("Last", "Letzte") +
                    Entry("About", "Info"));
  platform::UserInterface& ui = t.host().ui();
  FrameWithMenu m(ui);
  messages.TranslateWindow(ui, m.frame);
  EXPECT_EQ(ui.GetMenu(m.frame), m.bar);
  EXPECT_EQ(ItemText(ui, m.bar, 0), "&Datei");
  EXPECT_EQ(ui.GetSubMenu(m.bar, 0), m.file);
  EXPECT_EQ(ItemText(ui, m.bar, 1), "&Help");  // no entry: unchanged
  EXPECT_EQ(ItemText(ui, m.file, 0), "Oeffnen");
  EXPECT_EQ(ui.GetMenuItemID(m.file, 0), 101u);
  EXPECT_EQ(ui.GetMenuItemID(m.file, 1), 0u);  // the empty item became a separator
  EXPECT_EQ(ItemText(ui, m.file, 2), "Zuletzt");
  EXPECT_EQ(ui.GetSubMenu(m.file, 2), m.recent);
  EXPECT_EQ(ItemText(ui, m.recent, 0), "Letzte");
  EXPECT_EQ(ui.GetMenuItemID(m.recent, 0), 201u);
  EXPECT_EQ(ItemText(ui, m.help, 0), "Info");
  // One redraw per item of every menu: 2 + 3 + 1 + 1.
  EXPECT_EQ(ui.MenuBarDrawCount(m.frame), 7u);
}

TEST(TranslateMenuTest, ADisabledFileLeavesTheMenuAlone) {
  ScannerHost t;
  CMessageFile messages;  // no entries
  platform::UserInterface& ui = t.host().ui();
  FrameWithMenu m(ui);
  messages.TranslateWindow(ui, m.frame);
  EXPECT_EQ(ui.GetMenuItemID(m.file, 1), 102u);  // not made a separator
  EXPECT_EQ(ui.MenuBarDrawCount(m.frame), 0u);
}

TEST(TranslateMenuTest, LongTextsAndUntitledPopupsSurvive) {
  ScannerHost t;
  CMessageFile messages;
  const std::string thirtyNine(39, 'a');
  messages.LoadText(Entry(thirtyNine, "short") + Entry(thirtyNine + "b", "never"));
  platform::UserInterface& ui = t.host().ui();
  FrameWithMenu m(ui);
  const std::string forty = thirtyNine + "b";
  ui.ModifyMenu(m.file, 0, platform::MF_BYPOSITION | platform::MF_STRING, 101, forty);
  ui.AppendMenu(m.help, platform::MF_STRING, 302, thirtyNine);
  ui.ModifyMenu(m.bar, 0, platform::MF_BYPOSITION | platform::MF_POPUP, m.file, "");
  messages.TranslateWindow(ui, m.frame);
  EXPECT_EQ(ItemText(ui, m.file, 0), forty);  // not cut to 39 characters
  EXPECT_EQ(ItemText(ui, m.help, 1), "short");
  EXPECT_EQ(ui.GetMenuItemID(m.help, 1), 302u);
  EXPECT_EQ(ui.GetSubMenu(m.bar, 0), m.file);  // an untitled popup keeps its submenu
  EXPECT_TRUE(ui.IsMenu(m.recent));
}

}  // namespace
}  // namespace scancore
