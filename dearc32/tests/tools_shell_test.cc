// arcpack and dearc as a person uses them from a shell: pack, list, expand, and a clear exit
// status and message for each kind of failure.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "minimal_pe.h"
#include "temp_dir.h"
#include "testing/sample_data.h"

namespace dearc32 {
namespace {

namespace fs = std::filesystem;

struct ShellRun {
  int status;
  std::string output;  // stdout and stderr together
};

class ToolsShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest says where the programs are; run by hand, they sit beside the tests folder.
    const char* bin = std::getenv("SCANSUITE_BIN");
    bin_ = bin ? fs::path(bin) : fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin";
    fs::create_directories(dir_.path() / "root");
  }
  ShellRun Shell(const std::string& command) {
    const std::string line = "cd '" + dir_.path().string() + "' && SCANSUITE_ROOT='" +
                             (dir_.path() / "root").string() + "' " + command + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  }
  std::string Tool(const char* name) { return "'" + (bin_ / name).string() + "'"; }
  std::string Path(const char* name) { return (dir_.path() / name).string(); }
  void Write(const char* name, const std::string& content) {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  std::string Read(const char* name) {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path bin_;
  platform::testing::TempDir dir_;
};

TEST_F(ToolsShellTest, PackListAndExpand) {
  const auto sample = testing::SampleMixed(300000);
  Write("SCAN.DLL", std::string(sample.begin(), sample.end()));
  ShellRun r = Shell(Tool("arcpack") + " SCAN.DLL SCAN.DL_");
  ASSERT_EQ(r.status, 0) << r.output;

  r = Shell(Tool("dearc") + " --list SCAN.DL_");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("SCAN.DLL"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("300000"), std::string::npos) << r.output;

  fs::create_directory(Path("out"));
  r = Shell(Tool("dearc") + " SCAN.DL_ out/SCAN.DLL");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Read("out/SCAN.DLL"), Read("SCAN.DLL"));

  // Without a destination the stored name is used in the current folder.
  fs::remove(Path("SCAN.DLL"));
  r = Shell(Tool("dearc") + " SCAN.DL_");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Read("SCAN.DLL"), Read("out/SCAN.DLL"));
}

// A program file's version resource travels in the header and shows in the listing; a file
// without one shows none.
TEST_F(ToolsShellTest, VersionOfAProgramFileIsRecorded) {
  Write("DRIVER.DLL", platform::testing::MinimalPe(true));
  Write("PLAIN.DLL", platform::testing::MinimalPe(false));
  ASSERT_EQ(Shell(Tool("arcpack") + " DRIVER.DLL DRIVER.DL_").status, 0);
  ASSERT_EQ(Shell(Tool("arcpack") + " PLAIN.DLL PLAIN.DL_").status, 0);
  ShellRun r = Shell(Tool("dearc") + " --list DRIVER.DL_ PLAIN.DL_");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("4.1.2.3"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("4.1.2.3"), r.output.rfind("4.1.2.3")) << r.output;
}

TEST_F(ToolsShellTest, EachFailureHasItsOwnStatusAndMessage) {
  Write("A.TXT", "some text, some text, some text, some more text\n");
  ASSERT_EQ(Shell(Tool("arcpack") + " A.TXT A.TX_").status, 0);

  ShellRun r = Shell(Tool("dearc") + " MISSING.TX_ out.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("cannot open the packed file"), std::string::npos) << r.output;

  r = Shell(Tool("dearc") + " A.TX_ no/such/folder/a.txt");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.output.find("destination"), std::string::npos) << r.output;

  Write("SHORT.TX_", "too short");
  r = Shell(Tool("dearc") + " SHORT.TX_ out.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.output.find("header"), std::string::npos) << r.output;

  std::string packed = Read("A.TX_");
  packed[packed.size() - 3] ^= 0x40;
  Write("BAD.TX_", packed);
  r = Shell(Tool("dearc") + " BAD.TX_ out.txt");
  EXPECT_EQ(r.status, 5);
  EXPECT_NE(r.output.find("damaged"), std::string::npos) << r.output;

  r = Shell(Tool("arcpack") + " MISSING.TXT X.TX_");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("cannot read"), std::string::npos) << r.output;
}

TEST_F(ToolsShellTest, StoredNameThatLeadsElsewhereIsNotFollowed) {
  Write("A.TXT", "payload");
  ASSERT_EQ(Shell(Tool("arcpack") + " A.TXT EVIL.TX_ --name ../escaped.txt").status, 0);
  const ShellRun r = Shell(Tool("dearc") + " EVIL.TX_");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_FALSE(fs::exists(dir_.path().parent_path() / "escaped.txt"));
}

}  // namespace
}  // namespace dearc32
