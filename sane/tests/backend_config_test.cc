// Where the backend looks for scansuite.conf, and what it reads there; the statuses of the
// library's errors.
#include <gtest/gtest.h>

#include <fstream>

#include "backend_config.h"
#include "status_mapping.h"
#include "temp_dir.h"

namespace {

using sanebackend::ConfigFolders;
using sanebackend::LoadConfig;
using sanebackend::ParseConfig;
using sanebackend::StatusForError;

TEST(BackendConfig, FoldersFollowSaneConfigDirAndATrailingColonAddsTheDefault) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ConfigFolders(nullptr, "/etc/sane.d"), V{"/etc/sane.d"});
  EXPECT_EQ(ConfigFolders("", "/etc/sane.d"), V{"/etc/sane.d"});
  EXPECT_EQ(ConfigFolders("/a", "/etc/sane.d"), V{"/a"});
  EXPECT_EQ(ConfigFolders("/a:/b", "/etc/sane.d"), (V{"/a", "/b"}));
  EXPECT_EQ(ConfigFolders("/a::/b:", "/etc/sane.d"), (V{"/a", "/b", "/etc/sane.d"}));
}

TEST(BackendConfig, ReadsRootAndBaseAndIgnoresTheRest) {
  const auto c = ParseConfig("# comment\n  root   /srv/scan root  # where\nbase D:\\APP\r\nfoo bar\nroot\n");
  ASSERT_TRUE(c.root.has_value());
  EXPECT_EQ(*c.root, "/srv/scan root");
  EXPECT_EQ(c.base, "D:\\APP");
  const auto none = ParseConfig("rooted /x\n#root /y\n");
  EXPECT_FALSE(none.root.has_value());
  EXPECT_EQ(none.base, "C:\\TOVELINK");
}

TEST(BackendConfig, TheFirstFolderHoldingTheFileWins) {
  platform::testing::TempDir a, b;
  std::ofstream(b.path() / "scansuite.conf") << "root /from/b\n";
  EXPECT_EQ(*LoadConfig({a.path().string(), b.path().string()}).root, "/from/b");
  EXPECT_FALSE(LoadConfig({a.path().string()}).root.has_value());
}

TEST(StatusMapping, CancelsWarmUpsMemoryAndTheRest) {
  EXPECT_EQ(StatusForError(0xFFFF0065u, true), SANE_STATUS_CANCELLED);
  EXPECT_EQ(StatusForError(0xFFFF0065u, false), SANE_STATUS_IO_ERROR);  // a refused prompt
  EXPECT_EQ(StatusForError(0xFFFF0510u, false), SANE_STATUS_DEVICE_BUSY);  // warming up, 5 s
  EXPECT_EQ(StatusForError(0xFFFF0064u, false), SANE_STATUS_DEVICE_BUSY);
  EXPECT_EQ(StatusForError(0xFFFF0062u, false), SANE_STATUS_NO_MEM);
  EXPECT_EQ(StatusForError(0x28040008u, false), SANE_STATUS_DEVICE_BUSY);  // target busy
  EXPECT_EQ(StatusForError(0x28040002u, false), SANE_STATUS_IO_ERROR);
  EXPECT_EQ(StatusForError(0xFFFF0020u, false), SANE_STATUS_IO_ERROR);
}

}  // namespace
