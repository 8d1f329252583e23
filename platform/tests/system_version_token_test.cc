// GetVersion's packed word for each preset, and the process token with its two fault points.
#include <gtest/gtest.h>

#include "platform/faults/faults.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"
#include "platform/system/token.h"
#include "platform/system/version_word.h"

namespace platform {
namespace {

TEST(VersionWord, PackedAsTheWin32CallReturnedIt) {
  // Low byte major, next byte minor; NT's build in the high word, 9x's top bit set.
  EXPECT_EQ(PackedVersionWord(VersionRecordFor(WindowsVersion::kWin95)), 0x80000004u);
  EXPECT_EQ(PackedVersionWord(VersionRecordFor(WindowsVersion::kWin98)), 0x80000A04u);
  EXPECT_EQ(PackedVersionWord(VersionRecordFor(WindowsVersion::kNt4)), 0x05650004u);   // 1381
  EXPECT_EQ(PackedVersionWord(VersionRecordFor(WindowsVersion::kWin2000)), 0x08930005u);  // 2195
  SystemInfo nt(WindowsVersion::kNt4, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  EXPECT_EQ(GetVersion(nt) & 0x80000000u, 0u);
}

TEST(ProcessToken, AdjustingNeedsAnOpenTokenAndIsRemembered) {
  SystemInfo system(WindowsVersion::kNt4, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  ProcessToken token(system, nullptr);
  EXPECT_EQ(token.Adjust(kShutdownPrivilege, true), kErrorInvalidHandle);
  EXPECT_EQ(token.Open(), kErrorSuccess);
  EXPECT_EQ(token.Adjust(kShutdownPrivilege, true), kErrorSuccess);
  ASSERT_EQ(system.Requests().size(), 1u);
  EXPECT_EQ(system.Requests()[0].detail, "enable SeShutdownPrivilege");
}

TEST(ProcessToken, FaultPointsFailOpeningAndAdjusting) {
  SystemInfo system(WindowsVersion::kWin2000, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  Faults faults;
  ProcessToken token(system, &faults);
  faults.FailNth("system.token", 1);
  EXPECT_EQ(token.Open(), kErrorAccessDenied);
  EXPECT_FALSE(token.IsOpen());
  EXPECT_EQ(token.Open(), kErrorSuccess);
  faults.FailMatching("system.privilege", "Shutdown");
  EXPECT_EQ(token.Adjust(kShutdownPrivilege, true), 1300u);
  EXPECT_EQ(token.Adjust("SeBackupPrivilege", true), kErrorSuccess);
  faults.FailEvery("system", 5);
  EXPECT_EQ(token.Open(), 5u);
  EXPECT_EQ(system.Requests().size(), 1u);
}

}  // namespace
}  // namespace platform
