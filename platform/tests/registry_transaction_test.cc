#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

TEST_F(RegistryTest, CommittedWorkStaysAndRolledBackWorkGoes) {
  RegKey key = Create("Software\\Tx");
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "kept", 1), kErrorSuccess);
  ASSERT_EQ(reg().CommitTransaction(), kErrorSuccess);

  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "kept", 2), kErrorSuccess);
  RegKey made = 0;
  ASSERT_EQ(reg().CreateKey(key, "Made", &made), kErrorSuccess);
  uint32_t number = 0;
  EXPECT_EQ(reg().GetDword(key, "kept", &number), kErrorSuccess);
  EXPECT_EQ(number, 2u);  // visible inside the transaction
  ASSERT_EQ(reg().RollbackTransaction(), kErrorSuccess);

  EXPECT_EQ(reg().GetDword(key, "kept", &number), kErrorSuccess);
  EXPECT_EQ(number, 1u);
  EXPECT_EQ(reg().SetDword(made, "x", 1), kErrorKeyDeleted);  // its key was never committed
  EXPECT_EQ(reg().CommitTransaction(), kErrorInvalidParameter);
  EXPECT_EQ(reg().RollbackTransaction(), kErrorInvalidParameter);
}

TEST_F(RegistryTest, NestedScopesJoinTheOuterTransaction) {
  RegKey key = Create("Software\\Nest");
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "inner", 1), kErrorSuccess);
  ASSERT_EQ(reg().CommitTransaction(), kErrorSuccess);
  // The inner commit alone does not publish anything.
  Registry other(file());
  uint32_t number = 0;
  RegKey otherKey = 0;
  ASSERT_EQ(other.OpenKey(kHkeyLocalMachine, "Software\\Nest", &otherKey), kErrorSuccess);
  EXPECT_EQ(other.GetDword(otherKey, "inner", &number), kErrorFileNotFound);
  ASSERT_EQ(reg().CommitTransaction(), kErrorSuccess);
  EXPECT_EQ(other.GetDword(otherKey, "inner", &number), kErrorSuccess);
}

TEST_F(RegistryTest, AnInnerRollbackDoomsTheWholeTransaction) {
  RegKey key = Create("Software\\Doom");
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "outer", 1), kErrorSuccess);
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "inner", 1), kErrorSuccess);
  ASSERT_EQ(reg().RollbackTransaction(), kErrorSuccess);
  EXPECT_EQ(reg().SetDword(key, "late", 1), kErrorCancelled);
  EXPECT_EQ(reg().CommitTransaction(), kErrorCancelled);  // not reported as a success

  uint32_t number = 0;
  for (const char* name : {"outer", "inner", "late"}) {
    EXPECT_EQ(reg().GetDword(key, name, &number), kErrorFileNotFound) << name;
  }
  // The next transaction starts clean.
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "after", 1), kErrorSuccess);
  ASSERT_EQ(reg().CommitTransaction(), kErrorSuccess);
  EXPECT_EQ(reg().GetDword(key, "after", &number), kErrorSuccess);
}

TEST_F(RegistryTest, DestroyingTheRegistryDropsAnOpenTransaction) {
  RegKey key = Create("Software\\Dropped");
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "lost", 1), kErrorSuccess);
  Reopen();
  uint32_t number = 0;
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Dropped", &key), kErrorSuccess);
  EXPECT_EQ(reg().GetDword(key, "lost", &number), kErrorFileNotFound);
}

}  // namespace
}  // namespace platform
