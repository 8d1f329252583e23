#include "platform/registry/regedit4.h"
#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

std::string Lf(std::string_view crlf) {
  std::string out;
  for (char c : crlf) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

std::string Export(Registry& reg, std::string_view path) {
  std::string text;
  EXPECT_EQ(ExportRegedit4(reg, path, &text), kErrorSuccess);
  return text;
}

TEST_F(RegistryTest, ExportWritesTheTextForm) {
  RegKey key = Create("Software\\Acme");
  Create("Software\\Acme\\Empty");
  ASSERT_EQ(reg().SetString(key, "", "top"), kErrorSuccess);
  ASSERT_EQ(reg().SetString(key, "Path", "C:\\SCAN \"x\""), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "Count", 0x1f), kErrorSuccess);
  const uint8_t blob[] = {1, 2, 0xab};
  ASSERT_EQ(reg().SetValue(key, "Blob", kRegBinary, blob, 3), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "Multi", 7, "a\0\0", 3), kErrorSuccess);
  ASSERT_EQ(reg().SetString(key, "Two\nLines", "x"), kErrorInvalidName);
  ASSERT_EQ(reg().SetString(key, "Lines", "one\r\ntwo"), kErrorSuccess);
  EXPECT_EQ(Lf(Export(reg(), "hklm\\software\\acme")),
            "REGEDIT4\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Acme]\n"
            "@=\"top\"\n"
            "\"Path\"=\"C:\\\\SCAN \\\"x\\\"\"\n"
            "\"Count\"=dword:0000001f\n"
            "\"Blob\"=hex:01,02,ab\n"
            "\"Multi\"=hex(7):61,00,00\n"
            "\"Lines\"=hex(1):6f,6e,65,0d,0a,74,77,6f,00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Acme\\Empty]\n"
            "\n");
  EXPECT_NE(Export(reg(), "").find("[HKEY_CLASSES_ROOT]\r\n"), std::string::npos);
  std::string text;
  EXPECT_EQ(ExportRegedit4(reg(), "HKLM\\Software\\Missing", &text), kErrorFileNotFound);
  EXPECT_EQ(ExportRegedit4(reg(), "HKEY_USERS\\x", &text), kErrorBadPathname);
}

TEST_F(RegistryTest, ExportThenImportGivesBackTheSameTree) {
  RegKey key = Create("Software\\Round\\Trip");
  std::vector<uint8_t> longBlob(300);
  for (size_t i = 0; i < longBlob.size(); ++i) longBlob[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(reg().SetValue(key, "Long", kRegBinary, longBlob.data(), 300), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "Inner\\Zero", kRegSz, "a\0b", 4), kErrorSuccess);
  ASSERT_EQ(reg().SetValue(key, "None", kRegNone, nullptr, 0), kErrorSuccess);
  ASSERT_EQ(reg().SetString(key, "Quote\"d", "\\\\server\\share\\"), kErrorSuccess);
  ASSERT_EQ(reg().SetDword(key, "", 0xfffffffe), kErrorSuccess);
  Create("Software\\Round\\Trip\\Deeper\\AndDeeper");
  Create("Software\\Round\\Other");

  const std::string before = Export(reg(), "HKLM\\Software\\Round");
  EXPECT_NE(before.find(",\\\r\n  "), std::string::npos);  // the long list was folded
  ASSERT_EQ(reg().DeleteTree(kHkeyLocalMachine, "Software\\Round"), kErrorSuccess);
  RegeditError result = ImportRegedit4(reg(), before);
  ASSERT_TRUE(result.ok()) << result.line << ": " << result.message;
  EXPECT_EQ(Export(reg(), "HKLM\\Software\\Round"), before);

  ASSERT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Round\\Trip", &key), kErrorSuccess);
  std::vector<uint8_t> data(400);
  uint32_t size = 400, type = 0;
  ASSERT_EQ(reg().QueryValue(key, "long", &type, data.data(), &size), kErrorSuccess);
  data.resize(size);
  EXPECT_EQ(data, longBlob);
  size = 400;
  ASSERT_EQ(reg().QueryValue(key, "inner\\zero", &type, data.data(), &size), kErrorSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data()), size), std::string("a\0b", 4));
  EXPECT_EQ(type, kRegSz);
}

TEST_F(RegistryTest, ImportReadsEveryForm) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Form]\r\n"
      "@=\"default\"\r\n"
      "\"Esc\" = \"a\\\\b\\\"c\"\r\n"
      "\"Num\"=DWORD:1F\r\n"
      "\"Bin\"=hex:01, 02 ,\\\r\n"
      "    03,\\\n"
      "  ff\n"
      "\"Typed\"=hex(2):41,00\n"
      "\"Empty\"=hex:\n"
      "[HKCU\\Gone]\n"
      "\"x\"=dword:1\n"
      "[-HKEY_CURRENT_USER\\Gone]\n"
      "[-HKEY_CURRENT_USER\\NeverThere]\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Form]\n"
      "\"Num\"=-\n"
      "\"NeverThere\"=-\n";
  RegeditError result = ImportRegedit4(reg(), text);
  ASSERT_TRUE(result.ok()) << result.line << ": " << result.message;
  EXPECT_EQ(Lf(Export(reg(), "HKEY_LOCAL_MACHINE\\Software\\Form")),
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Form]\n"
            "@=\"default\"\n"
            "\"Esc\"=\"a\\\\b\\\"c\"\n"
            "\"Bin\"=hex:01,02,03,ff\n"
            "\"Typed\"=hex(2):41,00\n"
            "\"Empty\"=hex:\n"
            "\n");
  RegKey key = 0;
  EXPECT_EQ(reg().OpenKey(kHkeyCurrentUser, "Gone", &key), kErrorFileNotFound);
}

struct BadText {
  const char* text;
  size_t line;
};

TEST_F(RegistryTest, ImportFaultsNameTheirLineAndChangeNothing) {
  const BadText cases[] = {
      {"REGEDIT5\n[HKLM\\A]\n", 1},
      {"", 0},
      {"\n\nREGEDIT4\n\"v\"=\"before any key\"\n", 4},
      {"REGEDIT4\n[HKEY_USERS\\A]\n", 2},
      {"REGEDIT4\n[HKLM\\A\n", 2},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"bad \\n escape\"\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"unterminated\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"x\" trailing\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=dword:123456789\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=dword:12g4\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,,02\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:100\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex(4):01,02,03\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex(x):01\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=str:abc\n", 3},
      {"REGEDIT4\n[HKLM\\A]\n\"v\" \"x\"\n", 3},
      {"REGEDIT4\n[HKLM\\A]\nv=1\n", 3},
      {"REGEDIT4\n[-HKLM\\A]\n\"v\"=\"x\"\n", 3},
      // Faults found while applying: the whole import is undone.
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"x\"\n[-HKEY_LOCAL_MACHINE]\n", 4},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"x\"\n[HKLM\\A\\\\B]\n", 4},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"x\"\n\"tab\there\"=\"x\"\n", 4},
  };
  for (const BadText& c : cases) {
    SCOPED_TRACE(c.text);
    RegeditError result = ImportRegedit4(reg(), c.text);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.line, c.line) << result.message;
    EXPECT_FALSE(result.message.empty());
    RegKey key = 0;
    EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "A", &key), kErrorFileNotFound);
  }
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

std::vector<uint8_t> Stored(Registry& reg, std::string_view path, std::string_view name) {
  RegKey key = 0;
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, path, &key), kErrorSuccess) << path;
  uint32_t type = 0;
  uint32_t size = 1024;
  std::vector<uint8_t> data(size);
  EXPECT_EQ(reg.QueryValue(key, name, &type, data.data(), &size), kErrorSuccess) << name;
  reg.CloseKey(key);
  data.resize(size);
  return data;
}

// As the registry editor reads them: comments after data and '#' lines are skipped, hex data
// goes on over blank lines and may end the file with its backslash.
TEST_F(RegistryTest, ImportTakesCommentsAndHexContinuationsAsWindowsDoes) {
  const std::string text =
      "REGEDIT4\r\n"
      "# a comment of the other kind\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\C]\r\n"
      "\"Name\"=\"x\" ;note\r\n"
      "\"semi;colon\"=\"a;b\"\t; and a note\r\n"
      "\"Num\"=dword:0000002a ;note\r\n"
      "\"Hex\"=hex:01,\\ ;note after the backslash\r\n"
      "\r\n"
      "   \r\n"
      "  02,03\r\n"
      "\"End\"=hex:0a,\\\r\n";
  RegeditError result = ImportRegedit4(reg(), text);
  ASSERT_TRUE(result.ok()) << result.line << ": " << result.message;
  EXPECT_EQ(Stored(reg(), "Software\\C", "Name"), (std::vector<uint8_t>{'x', 0}));
  EXPECT_EQ(Stored(reg(), "Software\\C", "semi;colon"), (std::vector<uint8_t>{'a', ';', 'b', 0}));
  EXPECT_EQ(Stored(reg(), "Software\\C", "Num"), (std::vector<uint8_t>{0x2a, 0, 0, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\C", "Hex"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Stored(reg(), "Software\\C", "End"), (std::vector<uint8_t>{0x0a}));
}

// Found by fuzzing: a line of blanks alone after a comment line was read past its end.
TEST_F(RegistryTest, ImportSkipsLinesOfBlanksAfterComments) {
  RegeditError result = ImportRegedit4(reg(), "REGEDIT4\r\n# hash\n; semicolon\r\n \r\n\t\n");
  EXPECT_TRUE(result.ok()) << result.line << ": " << result.message;
}

// Only hex data goes on over the next line, and only between whole bytes: anything else joined
// as text would read other bytes or other values than the file holds.
TEST_F(RegistryTest, ImportRefusesContinuationsOtherThanBetweenHexBytes) {
  for (const char* bad : {"\"H\"=hex:01,7\\\r\n5\r\n", "\"D\"=dword:1234\\\r\n5678\r\n",
                          "\"Na\\\r\nme\"=\"x\"\r\n", "\"S\"=\"text\"\\\r\n\"more\"\r\n"}) {
    RegeditError result =
        ImportRegedit4(reg(), std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Bad]\r\n") + bad);
    EXPECT_EQ(result.code, kErrorBadFormat) << bad;
    EXPECT_EQ(result.line, 3u) << bad;
    RegKey key = 0;
    EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Software\\Bad", &key), kErrorFileNotFound) << bad;
  }
}

TEST_F(RegistryTest, ExpandableAndMultipleStringsGetTheirFinalZeros) {
  RegeditError result = ImportRegedit4(reg(),
                                       "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Z]\r\n"
                                       "\"E\"=hex(2):41,42\r\n\"E0\"=hex(2):41,00\r\n"
                                       "\"M1\"=hex(7):41\r\n\"M2\"=hex(7):41,00\r\n"
                                       "\"M3\"=hex(7):41,00,00\r\n\"Me\"=hex(7):\r\n");
  ASSERT_TRUE(result.ok()) << result.line << ": " << result.message;
  EXPECT_EQ(Stored(reg(), "Software\\Z", "E"), (std::vector<uint8_t>{0x41, 0x42, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\Z", "E0"), (std::vector<uint8_t>{0x41, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\Z", "M1"), (std::vector<uint8_t>{0x41, 0, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\Z", "M2"), (std::vector<uint8_t>{0x41, 0, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\Z", "M3"), (std::vector<uint8_t>{0x41, 0, 0}));
  EXPECT_EQ(Stored(reg(), "Software\\Z", "Me"), (std::vector<uint8_t>{0}));
}

}  // namespace
}  // namespace platform
