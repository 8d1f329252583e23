// scanreg run from the shell, on a host root of its own.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "platform/registry/regedit4.h"
#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::ReadBytes;
using regtest::WriteBytes;

std::string ShellQuote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class ScanregTest : public ::testing::Test {
 protected:
  struct Result {
    int exit;
    std::string output;  // stdout and stderr together
  };

  // Runs scanreg through /bin/sh with SCANSUITE_ROOT set to this test's folder.
  Result Scanreg(const std::vector<std::string>& args) {
    const char* bin = std::getenv("SCANSUITE_BIN");
    if (!bin) ADD_FAILURE() << "SCANSUITE_BIN is not set (run the test through ctest)";
    std::string command = "SCANSUITE_ROOT=" + ShellQuote(root_.path().string()) + " " +
                          ShellQuote(std::string(bin ? bin : "") + "/scanreg");
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    Result result{-1, ""};
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int status = pclose(pipe);
    result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  std::filesystem::path File(const char* name) const { return root_.path() / name; }

  testing::TempDir root_;
};

TEST_F(ScanregTest, AddQueryAndDeleteValuesOfEachType) {
  EXPECT_EQ(Scanreg({"add", "HKLM\\Software\\Acme", "/v", "Path", "/d", "C:\\SCAN"}).exit, 0);
  EXPECT_EQ(
      Scanreg({"add", "HKLM\\Software\\Acme", "/v", "Count", "/t", "REG_DWORD", "/d", "0x1f"}).exit,
      0);
  EXPECT_EQ(
      Scanreg({"add", "HKLM\\Software\\Acme", "-v", "Blob", "-t", "reg_binary", "-d", "01ab"}).exit,
      0);
  EXPECT_EQ(Scanreg({"add", "HKEY_LOCAL_MACHINE\\Software\\Acme\\Sub", "/ve", "/d", "top"}).exit,
            0);
  Result all = Scanreg({"query", "hklm\\software\\acme"});
  EXPECT_EQ(all.exit, 0);
  EXPECT_EQ(all.output,
            "HKEY_LOCAL_MACHINE\\Software\\Acme\n"
            "    Path    REG_SZ    C:\\SCAN\n"
            "    Count    REG_DWORD    0x1f\n"
            "    Blob    REG_BINARY    01AB\n"
            "\n"
            "HKEY_LOCAL_MACHINE\\Software\\Acme\\Sub\n");
  Result one = Scanreg({"query", "HKLM\\Software\\Acme\\Sub", "/ve"});
  EXPECT_EQ(one.output,
            "HKEY_LOCAL_MACHINE\\Software\\Acme\\Sub\n    (Default)    REG_SZ    top\n");

  EXPECT_EQ(Scanreg({"delete", "HKLM\\Software\\Acme", "/v", "count"}).exit, 0);
  EXPECT_EQ(Scanreg({"query", "HKLM\\Software\\Acme", "/v", "Count"}).exit, 1);
  EXPECT_EQ(Scanreg({"delete", "HKLM\\Software\\Acme"}).exit, 0);
  Result gone = Scanreg({"query", "HKLM\\Software\\Acme"});
  EXPECT_EQ(gone.exit, 1);
  EXPECT_NE(gone.output.find("not found"), std::string::npos) << gone.output;
}

TEST_F(ScanregTest, ExportAndImportMoveATreeThroughAFile) {
  ASSERT_EQ(Scanreg({"add", "HKCU\\Tree\\Leaf", "/v", "N", "/t", "REG_DWORD", "/d", "7"}).exit, 0);
  std::string file = File("tree.reg").string();
  ASSERT_EQ(Scanreg({"export", file, "HKCU\\Tree"}).exit, 0);
  const std::string text = ReadBytes(file);
  EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Tree\\Leaf]\r\n\"N\"=dword:00000007"),
            std::string::npos);

  ASSERT_EQ(Scanreg({"delete", "HKCU\\Tree"}).exit, 0);
  ASSERT_EQ(Scanreg({"import", file}).exit, 0);
  EXPECT_EQ(Scanreg({"query", "HKCU\\Tree\\Leaf", "/v", "N"}).output,
            "HKEY_CURRENT_USER\\Tree\\Leaf\n    N    REG_DWORD    0x7\n");
  Result whole = Scanreg({"export", "-"});
  EXPECT_EQ(whole.exit, 0);
  EXPECT_NE(whole.output.find("[HKEY_CURRENT_USER\\Tree\\Leaf]"), std::string::npos);
}

TEST_F(ScanregTest, MistakesGiveAMessageAndTheirExitCode) {
  Result usage = Scanreg({});
  EXPECT_EQ(usage.exit, 2);
  EXPECT_NE(usage.output.find("usage: scanreg"), std::string::npos);
  const std::vector<std::vector<std::string>> usageErrors{
      {"frobnicate"},
      {"query"},
      {"query", "HKEY_USERS\\x"},
      {"query", "HKLM\\x", "extra"},
      {"query", "HKLM\\x", "/t", "REG_SZ"},
      {"add", "HKLM\\x", "/v"},
      {"add", "HKLM\\x", "/v", "a", "/v", "b"},
      {"add", "HKLM\\x", "/t", "REG_QWORD"},
      {"add", "HKLM\\x", "/t", "REG_DWORD", "/d", "-1"},
      {"add", "HKLM\\x", "/t", "REG_DWORD", "/d", "4294967296"},
      {"add", "HKLM\\x", "/t", "REG_BINARY", "/d", "abc"},
      {"export"},
      {"import", "a", "b"},
  };
  for (const auto& args : usageErrors) {
    Result r = Scanreg(args);
    EXPECT_EQ(r.exit, 2) << args[0] << " " << r.output;
    EXPECT_NE(r.output.find("scanreg: "), std::string::npos) << r.output;
  }
  EXPECT_EQ(Scanreg({"query", "HKLM\\x"}).exit, 1);  // no usage error made a key
  EXPECT_EQ(Scanreg({"delete", "HKLM"}).exit, 1);    // a root is never deleted
  EXPECT_EQ(Scanreg({"import", File("missing.reg").string()}).exit, 1);

  WriteBytes(File("bad.reg"), "REGEDIT4\n[HKLM\\Partial]\n\"v\"=dword:zz\n");
  Result bad = Scanreg({"import", File("bad.reg").string()});
  EXPECT_EQ(bad.exit, 1);
  EXPECT_NE(bad.output.find("bad.reg:3: "), std::string::npos) << bad.output;
  EXPECT_EQ(Scanreg({"query", "HKLM\\Partial"}).exit, 1);
}

TEST_F(ScanregTest, ADamagedStoreIsNamedAndLeftAlone) {
  ASSERT_EQ(Scanreg({"add", "HKLM\\x"}).exit, 0);  // provisions the root
  const std::string garbage(5000, 'G');
  WriteBytes(File("registry.db"), garbage);
  std::filesystem::remove(File("registry.db-wal"));
  std::filesystem::remove(File("registry.db-shm"));
  Result r = Scanreg({"query", "HKLM\\x"});
  EXPECT_EQ(r.exit, 3);
  EXPECT_NE(r.output.find(File("registry.db").string()), std::string::npos) << r.output;
  EXPECT_EQ(Scanreg({"add", "HKLM\\y"}).exit, 3);
  EXPECT_TRUE(ReadBytes(File("registry.db")) == garbage);
}

}  // namespace
}  // namespace platform
