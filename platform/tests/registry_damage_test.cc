// A damaged store is reported on every call, named in OpenError(), and never written to.
#include <sqlite3.h>

#include <random>

#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::ReadBytes;
using regtest::RegistryTest;
using regtest::WriteBytes;

// Every kind of call fails the same way.
void ExpectEveryCallRefused(Registry& reg) {
  RegKey key = 0;
  std::string text;
  std::vector<std::string> names;
  uint32_t size = 0;
  EXPECT_EQ(reg.CreateKey(kHkeyLocalMachine, "Software", &key), kErrorBadDatabase);
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software", &key), kErrorBadDatabase);
  EXPECT_EQ(reg.SetString(kHkeyLocalMachine, "v", "x"), kErrorBadDatabase);
  EXPECT_EQ(reg.QueryValue(kHkeyLocalMachine, "v", nullptr, nullptr, &size), kErrorBadDatabase);
  EXPECT_EQ(reg.GetString(kHkeyLocalMachine, "v", &text), kErrorBadDatabase);
  EXPECT_EQ(reg.DeleteValue(kHkeyLocalMachine, "v"), kErrorBadDatabase);
  EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software"), kErrorBadDatabase);
  EXPECT_EQ(reg.DeleteTree(kHkeyLocalMachine, ""), kErrorBadDatabase);
  EXPECT_EQ(reg.EnumKey(kHkeyLocalMachine, 0, &text), kErrorBadDatabase);
  EXPECT_EQ(reg.ListKeys(kHkeyLocalMachine, &names), kErrorBadDatabase);
  EXPECT_EQ(reg.BeginTransaction(), kErrorBadDatabase);
  EXPECT_EQ(reg.CommitTransaction(), kErrorBadDatabase);
  EXPECT_EQ(reg.CloseKey(kHkeyLocalMachine), kErrorBadDatabase);
}

// Fills a store with enough keys and values to span many pages.
void MakeStore(const std::filesystem::path& file) {
  Registry reg(file);
  RegKey key = 0;
  ASSERT_EQ(reg.BeginTransaction(), kErrorSuccess);
  for (int k = 0; k < 50; ++k) {
    ASSERT_EQ(reg.CreateKey(kHkeyLocalMachine, "Software\\K" + std::to_string(k), &key), 0);
    for (int v = 0; v < 40; ++v) {
      ASSERT_EQ(reg.SetString(key, "Value" + std::to_string(v), std::string(60, 'x')), 0);
    }
  }
  ASSERT_EQ(reg.CommitTransaction(), kErrorSuccess);
}

void ExpectDamageReported(const std::filesystem::path& file, const std::string& bytes) {
  WriteBytes(file, bytes);
  {
    Registry reg(file);
    EXPECT_NE(reg.OpenError().find(file.string()), std::string::npos) << reg.OpenError();
    ExpectEveryCallRefused(reg);
  }
  EXPECT_TRUE(ReadBytes(file) == bytes) << "the damaged file was changed";
  // Nor was anything put in its log, waiting to be copied into it later.
  EXPECT_EQ(ReadBytes(file.string() + "-wal"), "");
}

TEST_F(RegistryTest, AFileOfGarbageIsReportedAndLeftAlone) {
  std::mt19937 random(7);
  std::string garbage(8192, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  ExpectDamageReported(file(), garbage);
  // Even one that starts like a database file.
  ExpectDamageReported(file(), "SQLite format 3" + std::string(1, '\0') + garbage);
}

TEST_F(RegistryTest, ATruncatedStoreIsReportedAndLeftAlone) {
  MakeStore(file());
  const std::string whole = ReadBytes(file());
  ASSERT_GT(whole.size(), 16384u);
  for (size_t length : {whole.size() / 2, size_t{4096}, size_t{100}, size_t{10}, size_t{0}}) {
    SCOPED_TRACE(length);
    ExpectDamageReported(file(), whole.substr(0, length));
  }
}

TEST_F(RegistryTest, ADatabaseOfAnotherKindIsNotTakenOver) {
  sqlite3* db = nullptr;
  std::string other = (folder_.path() / "other.db").string();
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  const std::string bytes = ReadBytes(other);
  {
    Registry reg(other);
    EXPECT_NE(reg.OpenError().find("not a registry store"), std::string::npos);
    ExpectEveryCallRefused(reg);
  }
  EXPECT_TRUE(ReadBytes(other) == bytes);
}

TEST_F(RegistryTest, AMissingFileBecomesAnEmptyStore) {
  ASSERT_FALSE(std::filesystem::exists(file()));
  EXPECT_EQ(reg().OpenError(), "");
  std::string name;
  EXPECT_EQ(reg().EnumKey(kHkeyLocalMachine, 0, &name), kErrorNoMoreItems);
  EXPECT_TRUE(std::filesystem::exists(file()));
  // Only the store itself (and its log) are left in the folder: no stray temporary file.
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("registry.db", 0), 0u) << entry.path();
    EXPECT_EQ(entry.path().string().find(".new-"), std::string::npos) << entry.path();
  }
}

TEST_F(RegistryTest, AStoreInAMissingFolderIsReportedNotCreated) {
  Registry reg(folder_.path() / "no" / "such" / "registry.db");
  EXPECT_NE(reg.OpenError().find("no/such/registry.db"), std::string::npos) << reg.OpenError();
  RegKey key = 0;
  EXPECT_NE(reg.CreateKey(kHkeyLocalMachine, "x", &key), kErrorSuccess);
}

}  // namespace
}  // namespace platform
