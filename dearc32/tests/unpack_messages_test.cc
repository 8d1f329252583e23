// What the caller's copy dialog and progress bar are told, and the short display paths.
#include <string>

#include "src/display_path.h"
#include "testing/sample_data.h"
#include "unpack_fixture.h"

namespace dearc32 {
namespace {

TEST(DisplayPath, KeepsDriveMarkerTrailingFoldersAndWholeName) {
  const std::string p31 = "C:\\WINDOWS\\TWAIN_32\\KVT\\ABC.DLL";
  const std::string p32 = "C:\\WINDOWS\\TWAIN_32\\KVT\\ABCD.DLL";
  ASSERT_EQ(p31.size(), 31u);
  ASSERT_EQ(p32.size(), 32u);
  EXPECT_EQ(ShortenForDisplay(p31), p31);
  EXPECT_EQ(ShortenForDisplay(p32), "C:\\...\\TWAIN_32\\KVT\\ABCD.DLL");
  EXPECT_EQ(ShortenForDisplay("D:\\SETUP\\DISK1\\DRIVERS\\SCANNER\\KVT32.DL_"),
            "D:\\...\\DRIVERS\\SCANNER\\KVT32.DL_");
  // A name longer than the limit keeps all of itself and loses every folder.
  const std::string name(40, 'N');
  EXPECT_EQ(ShortenForDisplay("C:\\WINDOWS\\" + name + ".TXT"), "C:\\...\\" + name + ".TXT");
}

TEST_F(UnpackTest, NotificationsCarryShortenedPathsBeforeAnyProgress) {
  Pack(testing::SampleText(300000), "C:\\INSTALL\\DISK1\\DRIVERS\\KVT32.DL_");
  std::vector<SentMessage> dialog, bar;
  const platform::Hwnd dialogWindow = RecordingWindow(dialog);
  const platform::Hwnd barWindow = RecordingWindow(bar);
  EXPECT_EQ(Unpack("C:\\INSTALL\\DISK1\\DRIVERS\\KVT32.DL_", "C:\\WINDOWS\\TWAIN_32\\KVT32.DLL",
                   dialogWindow, barWindow),
            kUnpackDone);
  ASSERT_EQ(dialog.size(), 2u);
  EXPECT_EQ(dialog[0].message, kNotifySource);
  EXPECT_EQ(dialog[0].text, "C:\\...\\DISK1\\DRIVERS\\KVT32.DL_");
  EXPECT_EQ(dialog[1].message, kNotifyDestination);
  EXPECT_EQ(dialog[1].text, "C:\\WINDOWS\\TWAIN_32\\KVT32.DLL");

  // Range 0..100, position 0, step 1, then rising positions up to the end.
  ASSERT_GE(bar.size(), 5u);
  EXPECT_EQ(bar[0].message, platform::PBM_SETRANGE);
  EXPECT_EQ(bar[0].lParam, platform::MakeLParam(0, 100));
  EXPECT_EQ(bar[1].message, platform::PBM_SETPOS);
  EXPECT_EQ(bar[1].wParam, 0u);
  EXPECT_EQ(bar[2].message, platform::PBM_SETSTEP);
  EXPECT_EQ(bar[2].wParam, 1u);
  platform::WParam last = 0;
  for (size_t i = 3; i < bar.size(); ++i) {
    EXPECT_EQ(bar[i].message, platform::PBM_SETPOS);
    EXPECT_GE(bar[i].wParam, last);
    last = bar[i].wParam;
  }
  EXPECT_GE(last, 99u);  // the last update comes within a kilobyte of the end
  // About one update per kilobyte.
  EXPECT_NEAR(static_cast<double>(bar.size()), 300000.0 / 1024, 10);
}

TEST_F(UnpackTest, ProgressOfLargeFilesDoesNotWrapAround) {
  // Past 42 MB, count * 100 no longer fits 32 bits; the bar must still only move forward.
  Pack(std::vector<uint8_t>(48 << 20, 'x'), "C:\\BIG.BI_");
  std::vector<SentMessage> bar;
  ASSERT_EQ(Unpack("C:\\BIG.BI_", "C:\\BIG.BIN", 0, RecordingWindow(bar)), kUnpackDone);
  platform::WParam last = 0;
  for (size_t i = 3; i < bar.size(); ++i) {
    ASSERT_GE(bar[i].wParam, last) << "message " << i;
    last = bar[i].wParam;
  }
  EXPECT_GE(last, 99u);  // the last update comes within a kilobyte of the end
}

TEST_F(UnpackTest, ClosedWindowsAreNotAnError) {
  Pack(testing::SampleText(1000), "C:\\A.BI_");
  EXPECT_EQ(Unpack("C:\\A.BI_", "C:\\A.BIN", 0, 0), kUnpackDone);
}

}  // namespace
}  // namespace dearc32
