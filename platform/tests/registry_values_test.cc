#include <cstring>

#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;
using Bytes = std::vector<uint8_t>;

Bytes Query(Registry& reg, RegKey key, std::string_view name, uint32_t* type) {
  uint32_t size = 0;
  EXPECT_EQ(reg.QueryValue(key, name, type, nullptr, &size), kErrorSuccess);
  Bytes data(size);
  EXPECT_EQ(reg.QueryValue(key, name, type, data.data(), &size), kErrorSuccess);
  EXPECT_EQ(size, data.size());
  return data;
}

TEST_F(RegistryTest, ThreeTypesRoundTripThroughAReopen) {
  RegKey key = Create("Software\\Vendor");
  const uint8_t blob[] = {0, 1, 0xfe, 0xff, 0};
  ASSERT_EQ(reg().SetString(key, "Path", "C:\\SCAN"), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "Count", 0x1f), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "Table", kRegBinary, blob, sizeof blob), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "Multi", 7, "a\0b\0\0", 5), kErrorSuccess);
  Reopen();
  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Vendor", &key), kErrorSuccess);

  uint32_t type = 0;
  EXPECT_EQ(Query(reg(), key, "Path", &type), Bytes({'C', ':', '\\', 'S', 'C', 'A', 'N', 0}));
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Query(reg(), key, "Count", &type), Bytes({0x1f, 0, 0, 0}));
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(Query(reg(), key, "Table", &type), Bytes(blob, blob + sizeof blob));
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(Query(reg(), key, "Multi", &type), Bytes({'a', 0, 'b', 0, 0}));
  EXPECT_EQ(type, 7u);

  std::string text;
  uint32_t number = 0;
  EXPECT_EQ(reg().GetString(key, "path", &text), kErrorSuccess);
  EXPECT_EQ(text, "C:\\SCAN");
  EXPECT_EQ(reg().GetDword(key, "COUNT", &number), kErrorSuccess);
  EXPECT_EQ(number, 0x1fu);
  EXPECT_EQ(reg().GetDword(key, "Path", &number), kErrorBadFormat);
  EXPECT_EQ(reg().GetString(key, "Count", &text), kErrorBadFormat);
}

TEST_F(RegistryTest, StringsAlwaysCarryOneTerminatingZero) {
  RegKey key = Create("Software\\Strings");
  ASSERT_EQ(reg().SetValue(key, "Counted", kRegSz, "abc", 3), kErrorSuccess);  // no zero given
  ASSERT_EQ(reg().SetValue(key, "Given", kRegSz, "abc", 4), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "Empty", kRegSz, nullptr, 0), kErrorSuccess);
  uint32_t size = 0;
  for (const char* name : {"Counted", "Given"}) {
    EXPECT_EQ(reg().QueryValue(key, name, nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 4u) << name;
  }
  EXPECT_EQ(reg().QueryValue(key, "Empty", nullptr, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, 1u);
}

TEST_F(RegistryTest, QueryReportsSizesAndShortBuffers) {
  RegKey key = Create("Software\\Sizes");
  ASSERT_EQ(reg().SetString(key, "", "default"), kErrorSuccess);
  char buffer[8] = "xxxxxxx";
  uint32_t size = 4;
  EXPECT_EQ(reg().QueryValue(key, "", nullptr, buffer, &size), kErrorMoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_STREQ(buffer, "xxxxxxx");  // a short buffer is left alone
  size = sizeof buffer;
  EXPECT_EQ(reg().QueryValue(key, "", nullptr, buffer, &size), kErrorSuccess);
  EXPECT_STREQ(buffer, "default");
  uint32_t type = 0;
  EXPECT_EQ(reg().QueryValue(key, "", &type, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(reg().QueryValue(key, "", nullptr, buffer, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(reg().QueryValue(key, "Missing", nullptr, nullptr, &size), kErrorFileNotFound);
}

TEST_F(RegistryTest, BadValuesAreRefused) {
  RegKey key = Create("Software\\Bad");
  uint16_t shortNumber = 1;
  EXPECT_EQ(reg().SetValue(key, "D", kRegDword, &shortNumber, 2), kErrorInvalidParameter);
  EXPECT_EQ(reg().SetValue(key, "B", kRegBinary, nullptr, 3), kErrorInvalidParameter);
  EXPECT_EQ(reg().SetString(key, std::string("a\0b", 3), "x"), kErrorInvalidName);
  EXPECT_EQ(reg().SetString(key, "line\nbreak", "x"), kErrorInvalidName);
  EXPECT_EQ(reg().SetString(key, std::string(16384, 'n'), "x"), kErrorInvalidParameter);
  EXPECT_EQ(reg().SetString(key, std::string(16383, 'n'), "x"), kErrorSuccess);
  std::vector<uint8_t> empty;
  EXPECT_EQ(reg().SetValue(key, "Nothing", kRegBinary, empty.data(), 0), kErrorSuccess);
  uint32_t size = 99;
  EXPECT_EQ(reg().QueryValue(key, "Nothing", nullptr, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, 0u);
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstCase) {
  RegKey key = Create("SOFTWARE\\MixedCase");
  bool created = true;
  RegKey again = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyLocalMachine, "software\\mixedcase", &again, &created),
            kErrorSuccess);
  EXPECT_FALSE(created);
  EXPECT_EQ(reg().KeyPath(again), "HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase");

  ASSERT_EQ(reg().SetDword(key, "TimeOut", 1), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(again, "TIMEOUT", 2), kErrorSuccess);  // the same value
  std::string name;
  uint32_t number = 0;
  ASSERT_EQ(reg().EnumValue(key, 0, &name, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(name, "TimeOut");
  EXPECT_EQ(reg().EnumValue(key, 1, &name, nullptr, nullptr), kErrorNoMoreItems);
  EXPECT_EQ(reg().GetDword(key, "timeout", &number), kErrorSuccess);
  EXPECT_EQ(number, 2u);

  // Only ASCII letters fold: other bytes must match exactly.
  ASSERT_EQ(reg().SetDword(key, "\xC3\xA9t\xC3\xA9", 3), kErrorSuccess);
  EXPECT_EQ(reg().GetDword(key, "\xC3\xA9T\xC3\xA9", &number), kErrorSuccess);
  EXPECT_EQ(reg().GetDword(key, "\xC3\x89T\xC3\x89", &number), kErrorFileNotFound);
  EXPECT_EQ(reg().DeleteValue(key, "TIMEOUT"), kErrorSuccess);
  EXPECT_EQ(reg().DeleteValue(key, "TimeOut"), kErrorFileNotFound);
}

TEST_F(RegistryTest, HandlesFollowTheirKeys) {
  RegKey key = Create("Software\\Handles");
  RegKey child = 0;
  ASSERT_EQ(reg().CreateKey(key, "Child", &child), kErrorSuccess);
  EXPECT_EQ(reg().KeyPath(child), "HKEY_LOCAL_MACHINE\\Software\\Handles\\Child");
  RegKey same = 0;
  ASSERT_EQ(reg().OpenKey(child, "", &same), kErrorSuccess);
  EXPECT_NE(same, child);
  EXPECT_EQ(reg().KeyPath(same), reg().KeyPath(child));

  ASSERT_EQ(reg().DeleteKey(key, "Child"), kErrorSuccess);
  EXPECT_EQ(reg().SetDword(child, "x", 1), kErrorKeyDeleted);
  // A key made again under the same name is a new key; the old handle stays dead.
  RegKey remade = 0;
  ASSERT_EQ(reg().CreateKey(key, "Child", &remade), kErrorSuccess);
  EXPECT_EQ(reg().SetDword(child, "x", 1), kErrorKeyDeleted);

  EXPECT_EQ(reg().CloseKey(child), kErrorSuccess);
  EXPECT_EQ(reg().CloseKey(child), kErrorInvalidHandle);
  EXPECT_EQ(reg().SetDword(child, "x", 1), kErrorInvalidHandle);
  EXPECT_EQ(reg().CloseKey(kHkeyLocalMachine), kErrorSuccess);  // roots stay usable
  EXPECT_EQ(reg().SetDword(kHkeyLocalMachine, "x", 1), kErrorSuccess);
  EXPECT_EQ(reg().OpenKey(12345, "", &same), kErrorInvalidHandle);
}

TEST_F(RegistryTest, KeyPathsFollowTheWindowsRules) {
  RegKey key = 0;
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\B\\", &key), kErrorSuccess);
  EXPECT_EQ(reg().KeyPath(key), "HKEY_CURRENT_USER\\A\\B");
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "\\A", &key), kErrorBadPathname);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\\\B", &key), kErrorBadPathname);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\B\\\\", &key), kErrorBadPathname);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "A\\Tab\there", &key), kErrorInvalidName);
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, std::string(256, 'k'), &key), kErrorInvalidParameter);
  EXPECT_EQ(reg().OpenKey(kHkeyCurrentUser, "A\\Missing", &key), kErrorFileNotFound);
  // A refused path creates nothing on the way.
  EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, "New\\\\B", &key), kErrorBadPathname);
  EXPECT_EQ(reg().OpenKey(kHkeyCurrentUser, "New", &key), kErrorFileNotFound);
  // The roots are separate trees.
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "A", &key), kErrorFileNotFound);
  EXPECT_EQ(reg().OpenKey(kHkeyClassesRoot, "A", &key), kErrorFileNotFound);
}

}  // namespace
}  // namespace platform
