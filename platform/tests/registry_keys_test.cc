#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

std::vector<std::string> EnumKeys(Registry& reg, RegKey key) {
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; reg.EnumKey(key, i, &name) == kErrorSuccess; ++i) names.push_back(name);
  return names;
}

std::vector<std::string> EnumValues(Registry& reg, RegKey key) {
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; reg.EnumValue(key, i, &name, nullptr, nullptr) == kErrorSuccess; ++i) {
    names.push_back(name);
  }
  return names;
}

TEST_F(RegistryTest, PlainDeleteRefusesAKeyWithSubkeys) {
  RegKey top = Create("Software\\Top");
  Create("Software\\Top\\Sub");
  EXPECT_EQ(reg().DeleteKey(kHkeyLocalMachine, "Software\\Top"), kErrorAccessDenied);
  EXPECT_EQ(reg().DeleteKey(top, ""), kErrorAccessDenied);
  EXPECT_EQ(reg().DeleteKey(top, "sub"), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(top, "v", 1), kErrorSuccess);  // values do not block a delete
  EXPECT_EQ(reg().DeleteKey(top, ""), kErrorSuccess);
  RegKey key = 0;
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Top", &key), kErrorFileNotFound);
  EXPECT_EQ(reg().DeleteKey(kHkeyLocalMachine, "Software\\Top"), kErrorFileNotFound);
  EXPECT_EQ(reg().DeleteKey(kHkeyLocalMachine, ""), kErrorAccessDenied);  // a root stays
}

TEST_F(RegistryTest, RootsCannotBeDeletedEvenWithoutSubkeys) {
  // A fresh store: no root has a subkey, so only the rule for roots can refuse.
  for (RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine}) {
    EXPECT_EQ(reg().DeleteKey(root, ""), 5) << root;  // access denied
    EXPECT_EQ(reg().SetDword(root, "still", 1), 0) << root;
  }
  Reopen();
  RegKey key = 0;
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "After", &key), 0);
}

TEST_F(RegistryTest, KeyNamesOf255BytesAreTakenAnd256Refused) {
  RegKey key = 0;
  const std::string longest(255, 'k');
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, longest, &key), 0);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\" + longest + "\\B", &key), 0);
  EXPECT_EQ(reg().KeyPath(key), "HKEY_CURRENT_USER\\A\\" + longest + "\\B");
  EXPECT_EQ(reg().OpenKey(kHkeyCurrentUser, longest, &key), 0);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, longest + "k", &key), 87);  // invalid parameter
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\" + longest + "k", &key), 87);
  EXPECT_EQ(reg().OpenKey(kHkeyCurrentUser, longest + "k", &key), 87);
  EXPECT_EQ(EnumKeys(reg(), kHkeyCurrentUser), (std::vector<std::string>{"A", longest}));
}

TEST_F(RegistryTest, DeleteTreeRemovesEverythingBelow) {
  RegKey app = Create("Software\\App");
  Create("Software\\App\\A\\Deep\\Deeper");
  RegKey b = Create("Software\\App\\B");
  Create("Software\\AppSibling");
  ASSERT_EQ(reg().SetDword(b, "v", 1), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(app, "own", 1), kErrorSuccess);

  ASSERT_EQ(reg().DeleteTree(kHkeyLocalMachine, "software\\app"), kErrorSuccess);
  RegKey key = 0;
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\App", &key), kErrorFileNotFound);
  EXPECT_EQ(reg().GetDword(b, "v", nullptr), kErrorInvalidParameter);
  uint32_t number = 0;
  EXPECT_EQ(reg().GetDword(b, "v", &number), kErrorKeyDeleted);
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\AppSibling", &key), kErrorSuccess);
  EXPECT_EQ(reg().DeleteTree(kHkeyLocalMachine, "Software\\App"), kErrorFileNotFound);

  // Reopened, nothing of the tree is left over: a new key of that name starts empty.
  Reopen();
  RegKey fresh = Create("Software\\App");
  EXPECT_TRUE(EnumKeys(reg(), fresh).empty());
  EXPECT_TRUE(EnumValues(reg(), fresh).empty());
}

TEST_F(RegistryTest, DeleteTreeOfAnEmptyPathEmptiesTheKeyItself) {
  Create("Software\\X");
  ASSERT_EQ(reg().SetDword(kHkeyLocalMachine, "RootValue", 1), kErrorSuccess);
  RegKey user = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, "Kept", &user), kErrorSuccess);
  ASSERT_EQ(reg().DeleteTree(kHkeyLocalMachine, ""), kErrorSuccess);
  EXPECT_TRUE(EnumKeys(reg(), kHkeyLocalMachine).empty());
  EXPECT_TRUE(EnumValues(reg(), kHkeyLocalMachine).empty());
  EXPECT_EQ(EnumKeys(reg(), kHkeyCurrentUser), std::vector<std::string>{"Kept"});
  EXPECT_EQ(reg().KeyPath(kHkeyLocalMachine), "HKEY_LOCAL_MACHINE");
}

// Keys enumerate by name without regard to case, values in the order they were made, as on
// Windows; neither order moves when a value changes or the store is reopened.
TEST_F(RegistryTest, KeysEnumerateByNameValuesByCreationBothStable) {
  RegKey key = Create("Software\\Order");
  // Created out of order; '_' sorts after letters once they are upper-cased, as on Windows.
  for (const char* name : {"delta", "Alpha", "_under", "charlie", "BRAVO", "alpha2"}) {
    RegKey sub = 0;
    ASSERT_EQ(reg().CreateKey(key, name, &sub), kErrorSuccess);
    ASSERT_EQ(reg().SetDword(key, name, 0), kErrorSuccess);
  }
  const std::vector<std::string> expected{"Alpha", "alpha2", "BRAVO", "charlie", "delta", "_under"};
  const std::vector<std::string> created{"delta", "Alpha", "_under", "charlie", "BRAVO", "alpha2"};
  EXPECT_EQ(EnumKeys(reg(), key), expected);
  EXPECT_EQ(EnumValues(reg(), key), created);
  std::vector<std::string> listed;
  ASSERT_EQ(reg().ListKeys(key, &listed), kErrorSuccess);
  EXPECT_EQ(listed, expected);

  // Changing a value does not move it; reopening does not reorder.
  ASSERT_EQ(reg().SetString(key, "charlie", "now a string"), kErrorSuccess);
  Reopen();
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Order", &key), kErrorSuccess);
  EXPECT_EQ(EnumKeys(reg(), key), expected);
  EXPECT_EQ(EnumValues(reg(), key), created);
  std::string name;
  EXPECT_EQ(reg().EnumKey(key, 6, &name), kErrorNoMoreItems);
  EXPECT_EQ(reg().EnumValue(key, 6, &name, nullptr, nullptr), kErrorNoMoreItems);
}

TEST_F(RegistryTest, EnumValueReturnsTypeAndData) {
  RegKey key = Create("Software\\Data");
  ASSERT_EQ(reg().SetDword(key, "n", 7), kErrorSuccess);
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(reg().EnumValue(key, 0, &name, &type, &data), kErrorSuccess);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(data, std::vector<uint8_t>({7, 0, 0, 0}));
  std::vector<RegValue> values;
  ASSERT_EQ(reg().ListValues(key, &values), kErrorSuccess);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "n");
  EXPECT_EQ(values[0].data, data);
}

}  // namespace
}  // namespace platform
