// The registry as Windows programs rely on it: handles cleared on failure, sizes of missing
// values, sign-extended predefined keys, values in creation order (and a store made before that
// order was kept).
#include <sqlite3.h>

#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

std::vector<std::string> Names(Registry& reg, RegKey key) {
  std::vector<RegValue> values;
  EXPECT_EQ(reg.ListValues(key, &values), kErrorSuccess);
  std::vector<std::string> names;
  for (const RegValue& v : values) names.push_back(v.name);
  return names;
}

TEST_F(RegistryTest, FailedOpenOrCreateSetsTheHandleToZero) {
  RegKey key = 0x1234;
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Missing", &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
  key = 0x1234;
  EXPECT_EQ(reg().CreateKey(kHkeyLocalMachine, "\\Bad\\\\Path", &key), kErrorBadPathname);
  EXPECT_EQ(key, 0u);
  key = 0x1234;
  EXPECT_EQ(reg().OpenKey(0x4321, "x", &key), kErrorInvalidHandle);
  EXPECT_EQ(key, 0u);
}

TEST_F(RegistryTest, QueryingAMissingValueWithoutABufferGivesSizeZero) {
  RegKey key = Create("Software\\Q");
  uint32_t size = 77;
  EXPECT_EQ(reg().QueryValue(key, "none", nullptr, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(reg().SetString(key, "there", "abc"), kErrorSuccess);
  size = 77;
  EXPECT_EQ(reg().QueryValue(key, "there", nullptr, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, 4u);
  reg().CloseKey(key);
}

TEST_F(RegistryTest, SignExtendedPredefinedKeysAreTheSameKeys) {
  const RegKey currentUser64 = static_cast<RegKey>(0xFFFFFFFF80000001ull);
  ASSERT_EQ(reg().SetDword(currentUser64, "Wide", 7), kErrorSuccess);
  uint32_t value = 0;
  EXPECT_EQ(reg().GetDword(kHkeyCurrentUser, "Wide", &value), kErrorSuccess);
  EXPECT_EQ(value, 7u);
  RegKey key = 0;
  EXPECT_EQ(reg().CreateKey(static_cast<RegKey>(0xFFFFFFFF80000002ull), "Software\\W", &key),
            kErrorSuccess);
  reg().CloseKey(key);
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\W", &key), kErrorSuccess);
  reg().CloseKey(key);
  // Only the predefined keys are taken by their low half: anything else stays unknown.
  EXPECT_EQ(reg().SetDword(static_cast<RegKey>(0xFFFFFFFF80000005ull), "x", 1), kErrorInvalidHandle);
  EXPECT_EQ(reg().SetDword(static_cast<RegKey>(0x0000000180000001ull), "x", 1), kErrorInvalidHandle);
}

TEST_F(RegistryTest, ValuesEnumerateInTheOrderTheyWereCreated) {
  RegKey key = Create("Software\\Order");
  for (const char* name : {"zeta", "Alpha", "mid"}) ASSERT_EQ(reg().SetDword(key, name, 1), kErrorSuccess);
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"zeta", "Alpha", "mid"}));
  ASSERT_EQ(reg().SetDword(key, "ALPHA", 2), kErrorSuccess);  // an update keeps its place
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"zeta", "Alpha", "mid"}));
  ASSERT_EQ(reg().DeleteValue(key, "zeta"), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "zeta", 3), kErrorSuccess);  // made again: now the newest
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"Alpha", "mid", "zeta"}));
  std::string first;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(reg().EnumValue(key, 0, &first, &type, &data), kErrorSuccess);
  EXPECT_EQ(first, "Alpha");
  reg().CloseKey(key);
  Reopen();
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Order", &key), kErrorSuccess);
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"Alpha", "mid", "zeta"}));
  reg().CloseKey(key);
}

// A store written before creation order was kept: its values read as they did (name order),
// every value and key is still there, and new values go after them.
TEST_F(RegistryTest, AnOlderStoreKeepsItsDataAndTakesNameOrderAsCreationOrder) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
  const char* old = R"(
PRAGMA journal_mode = WAL;
CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,
  name TEXT NOT NULL, folded TEXT NOT NULL, UNIQUE(parent, folded));
CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,
  type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name, folded) VALUES (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'), (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
  (4, 3, 'Old', 'OLD');
INSERT INTO vals VALUES (4, 'b', 'B', 4, x'02000000'), (4, 'a', 'A', 1, x'7800'),
  (4, 'C', 'C', 3, x'0102');
PRAGMA application_id = 1397903943;
PRAGMA user_version = 1;
)";
  ASSERT_EQ(sqlite3_exec(db, old, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  ASSERT_EQ(reg().OpenError(), "");
  RegKey key = 0;
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Old", &key), kErrorSuccess);
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"a", "b", "C"}));
  uint32_t number = 0;
  EXPECT_EQ(reg().GetDword(key, "b", &number), kErrorSuccess);
  EXPECT_EQ(number, 2u);
  std::string text;
  EXPECT_EQ(reg().GetString(key, "a", &text), kErrorSuccess);
  EXPECT_EQ(text, "x");
  ASSERT_EQ(reg().SetDword(key, "0first", 9), kErrorSuccess);
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"a", "b", "C", "0first"}));
  reg().CloseKey(key);
  // A second process opening the upgraded store sees the same.
  Reopen();
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Old", &key), kErrorSuccess);
  EXPECT_EQ(Names(reg(), key), (std::vector<std::string>{"a", "b", "C", "0first"}));
  reg().CloseKey(key);
}

}  // namespace
}  // namespace platform
