// Database failures injected at the store's one choke point (the N-th statement fails): each
// call stays all or nothing, a busy store is retried, and damage found late is reported.
#include <sqlite3.h>

#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

class RegistryFaultTest : public RegistryTest {
 protected:
  void SetUp() override { ASSERT_EQ(reg().OpenError(), ""); }
  // The N-th statement of the store from now fails with `code`, once; 0 turns the switch off.
  void InjectFault(int after, int code) {
    faults_.Clear(fault_point::kRegistryStore);
    if (after > 0) faults_.FailNth(fault_point::kRegistryStore, after, code);
  }
};

TEST_F(RegistryFaultTest, ACallFailingAtAnyStatementChangesNothing) {
  long result = kErrorWriteFault;
  int n = 1;
  for (; result != kErrorSuccess && n < 100; ++n) {
    InjectFault(n, SQLITE_IOERR);
    RegKey key = 0;
    result = reg().CreateKey(kHkeyLocalMachine, "A\\B\\C\\D", &key);
    InjectFault(0, SQLITE_OK);
    if (result != kErrorSuccess) {
      EXPECT_EQ(result, kErrorWriteFault) << n;
      EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "A", &key), kErrorFileNotFound) << n;
    }
  }
  EXPECT_EQ(result, kErrorSuccess);
  EXPECT_GT(n, 5);  // the path took several statements, each of which was made to fail
}

TEST_F(RegistryFaultTest, AFailureInsideATransactionDoomsIt) {
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(kHkeyCurrentUser, "before", 1), kErrorSuccess);
  InjectFault(1, SQLITE_IOERR);
  EXPECT_EQ(reg().SetDword(kHkeyCurrentUser, "failing", 1), kErrorWriteFault);
  EXPECT_EQ(reg().SetDword(kHkeyCurrentUser, "after", 1), kErrorCancelled);
  EXPECT_EQ(reg().CommitTransaction(), kErrorCancelled);
  uint32_t n = 0;
  EXPECT_EQ(reg().GetDword(kHkeyCurrentUser, "before", &n), kErrorFileNotFound);
}

TEST_F(RegistryFaultTest, AFailedCommitIsReportedAndRolledBack) {
  ASSERT_EQ(reg().BeginTransaction(), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(kHkeyCurrentUser, "v", 1), kErrorSuccess);
  InjectFault(1, SQLITE_FULL);
  EXPECT_EQ(reg().CommitTransaction(), kErrorWriteFault);
  uint32_t n = 0;
  EXPECT_EQ(reg().GetDword(kHkeyCurrentUser, "v", &n), kErrorFileNotFound);
  EXPECT_EQ(reg().SetDword(kHkeyCurrentUser, "v", 2), kErrorSuccess);  // usable again
}

TEST_F(RegistryFaultTest, ABusyStoreIsRetried) {
  InjectFault(1, SQLITE_BUSY);  // the first BEGIN finds the store locked
  EXPECT_EQ(reg().SetDword(kHkeyCurrentUser, "v", 1), kErrorSuccess);
  InjectFault(1, SQLITE_BUSY);
  EXPECT_EQ(reg().BeginTransaction(), kErrorSuccess);
  EXPECT_EQ(reg().CommitTransaction(), kErrorSuccess);
}

TEST_F(RegistryFaultTest, DamageFoundLaterIsReportedFromThenOn) {
  ASSERT_EQ(reg().SetDword(kHkeyCurrentUser, "v", 1), kErrorSuccess);
  InjectFault(2, SQLITE_CORRUPT);
  uint32_t n = 0;
  EXPECT_EQ(reg().GetDword(kHkeyCurrentUser, "v", &n), kErrorBadDatabase);
  EXPECT_NE(reg().OpenError().find(file().string()), std::string::npos) << reg().OpenError();
  EXPECT_EQ(reg().SetDword(kHkeyCurrentUser, "w", 1), kErrorBadDatabase);
  EXPECT_EQ(reg().GetDword(kHkeyCurrentUser, "v", &n), kErrorBadDatabase);
}

}  // namespace
}  // namespace platform
