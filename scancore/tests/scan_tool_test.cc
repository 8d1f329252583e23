// The `scan` front end as a person runs it: the built program on a fresh host root.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/host/host.h"
#include "temp_dir.h"

namespace {

struct Result {
  int status = -1;
  std::string out;
};

// Runs `scan` with these arguments on `root`; stderr goes to the output too.
Result RunScan(const std::filesystem::path& root, const std::string& args) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  if (bin == nullptr) return {};
  const std::string command = "SCANSUITE_ROOT='" + root.string() + "' '" + bin + "/scan' " +
                              args + " 2>&1";
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) r.out.append(buffer, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

class ScanTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("SCANSUITE_BIN") == nullptr) GTEST_SKIP() << "SCANSUITE_BIN is not set";
  }
  platform::testing::TempDir root;
};

TEST_F(ScanTool, ListsTheDefaultMachinesThreeScanners) {
  Result r = RunScan(root.path(), "-L");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("device 0: adapter 0 (stiaspi), target 0, still-image bus: 310U, "
                       "firmware 12.05 of Nov. 30, 1999, 300 dpi, 12-bit A/D"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("device 1: adapter 0 (hba0 scsi), target 2, SCSI bus: 610S/610ST, "
                       "firmware 1.05 of Jan. 15, 1999, 600 dpi, 10-bit A/D"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("device 2: adapter 1 (eppscsi), target 0, EPP parallel bus: 310P"),
            std::string::npos)
      << r.out;
}

TEST_F(ScanTool, InfoDescribesOneScannerAndRefusesAMissingOne) {
  Result r = RunScan(root.path(), "-d 1 --info");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("model:              610S/610ST"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("A/D converter:      10 bits"), std::string::npos) << r.out;
  r = RunScan(root.path(), "-d 3 --info");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("there is no device 3"), std::string::npos) << r.out;
}

TEST_F(ScanTool, MachineWithoutScannersSaysSo) {
  platform::ProvisionRoot(root.path());
  std::ofstream(root.path() / "machine.ini") << "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\n";
  Result r = RunScan(root.path(), "-L");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no scanner found"), std::string::npos) << r.out;
}

TEST_F(ScanTool, CommandLineMistakesAreUsageErrors) {
  EXPECT_EQ(RunScan(root.path(), "--mode Purple").status, 2);
  EXPECT_EQ(RunScan(root.path(), "--mode G --resolution").status, 2);
  EXPECT_EQ(RunScan(root.path(), "-d x --info").status, 2);
  EXPECT_EQ(RunScan(root.path(), "-L -d 0").status, 2);
  Result help = RunScan(root.path(), "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--list-devices"), std::string::npos);
}

}  // namespace
