// The fault service's switches: what each one fails, how checks are counted, and that a switch
// on a point covers the points under it and nothing else.
#include <gtest/gtest.h>

#include "platform/faults/faults.h"

namespace platform {
namespace {

TEST(FaultsTest, NthFailsOnceCountingFromWhenItIsSet) {
  Faults faults;
  EXPECT_FALSE(faults.Check("files.write"));
  faults.FailNth("files.write", 3, 28);
  EXPECT_FALSE(faults.Check("files.write"));
  EXPECT_FALSE(faults.Check("files.write"));
  std::optional<int> third = faults.Check("files.write");
  ASSERT_TRUE(third);
  EXPECT_EQ(*third, 28);
  EXPECT_FALSE(faults.Check("files.write"));  // spent
  EXPECT_EQ(faults.Checks("files.write"), 5u);
  EXPECT_EQ(faults.Failures("files.write"), 1u);
  faults.FailNth("files.write", 0);  // no 0th check: nothing armed
  EXPECT_FALSE(faults.Check("files.write"));
}

TEST(FaultsTest, ASwitchCoversThePointsUnderItOnly) {
  Faults faults;
  faults.FailNth("files", 2);
  EXPECT_FALSE(faults.Check("files.open"));
  EXPECT_FALSE(faults.Check("filesystem.open"));  // not under "files"
  EXPECT_FALSE(faults.Check("registry.store"));
  std::optional<int> second = faults.Check("files.rename");
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, 0);  // no error given: the service reports its own
  EXPECT_EQ(faults.Checks("files"), 2u);
  EXPECT_EQ(faults.Checks("files.open"), 1u);
}

TEST(FaultsTest, EveryAndMatchingHoldUntilCleared) {
  Faults faults;
  faults.FailMatching("files", "KVT32.INI", 112);
  EXPECT_FALSE(faults.Check("files.open", "/root/drives/c/WINDOWS/win.ini"));
  EXPECT_EQ(faults.Check("files.open", "/root/drives/c/WINDOWS/KVT32.INI"), 112);
  EXPECT_EQ(faults.Check("files.write", "/root/drives/c/WINDOWS/KVT32.INI"), 112);
  faults.FailEvery("memory.allocate");
  EXPECT_TRUE(faults.Check("memory.allocate"));
  EXPECT_TRUE(faults.Check("memory.allocate"));
  faults.Clear("memory.allocate");
  EXPECT_FALSE(faults.Check("memory.allocate"));
  EXPECT_TRUE(faults.Check("files.open", "KVT32.INI"));
  faults.ClearAll();
  EXPECT_FALSE(faults.Check("files.open", "KVT32.INI"));
}

TEST(FaultsTest, DeviceFaultsAreKeptPerBusTargetAndClearedWithTheRest) {
  Faults faults;
  faults.Device("hba0", 2).Add({.kind = DeviceFault::Kind::kTargetStatus, .count = 1, .status = 8});
  EXPECT_TRUE(faults.Device("hba1", 2).Empty());
  EXPECT_TRUE(faults.Device("hba0", 3).Empty());
  EXPECT_FALSE(faults.Device("hba0", 2).Empty());
  std::optional<DeviceFault> taken = faults.Device("hba0", 2).Take(0x00);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->status, 8);
  EXPECT_TRUE(faults.Device("hba0", 2).Empty());  // count 1: used up
  faults.Device("hba0", 2).Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0x28});
  EXPECT_FALSE(faults.Device("hba0", 2).Take(0x12));  // another opcode
  faults.ClearAll();
  EXPECT_TRUE(faults.Device("hba0", 2).Empty());
}

}  // namespace
}  // namespace platform
