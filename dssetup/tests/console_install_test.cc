// The setup on the console, as a person at a terminal runs it: the program under a
// pseudo-terminal, the answers typed line by line.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Bin(const char* program) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return (fs::path(bin ? bin : "bin") / program).string();
}

// Reads what the program writes until `text` appears or the program ends; false on a time-out.
bool ReadUntil(int fd, const std::string& text, std::string* seen) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen->find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return seen->find(text) != std::string::npos;
    seen->append(buffer, static_cast<size_t>(n));
  }
  return true;
}

TEST(ConsoleInstallTest, EnglishInstallThroughAPseudoTerminal) {
  platform::testing::TempDir root;
  std::ofstream(root.path() / "machine.ini")
      << "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\ntarget3=identity\n"
         "[identity]\ntype=identity\n[ports]\nwnaspi32=4.0.0.970\n";
  const std::string env = "SCANSUITE_ROOT='" + root.path().string() + "' ";
  ASSERT_EQ(std::system((env + Bin("scanhost") + " insert dssetup >/dev/null").c_str()), 0);

  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("SCANSUITE_ROOT", root.path().c_str(), 1);
    setenv("SCANSUITE_UI", "console", 1);
    execl(Bin("dssetup").c_str(), "dssetup", "--from", "A:\\", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  auto answer = [&](const std::string& prompt, const std::string& line) {
    ASSERT_TRUE(ReadUntil(master, prompt, &seen)) << "no \"" << prompt << "\" in:\n" << seen;
    ASSERT_EQ(write(master, (line + "\n").data(), line.size() + 1),
              static_cast<ssize_t>(line.size() + 1));
  };
  answer("English", "1027 1");
  answer("English", "");            // OK: the default button
  answer("Welcome", "");
  answer("Scanner models", "1007 0");
  answer("Orvex 6000", "1");
  answer("disk 2", "");
  answer("Scanner port", "");
  answer("Scanner found (SCSI)", "");
  answer("Setup finished", "");
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(child, &status, WNOHANG) == 0) {
    ReadUntil(master, "\x01never", &seen);  // keep draining the output
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      FAIL() << seen;
    }
  }
  close(master);
  ASSERT_TRUE(WIFEXITED(status)) << seen;
  EXPECT_EQ(WEXITSTATUS(status), 0) << seen;
  const fs::path twain = root.path() / "drives" / "c" / "WINDOWS" / "TWAIN_32";
  EXPECT_TRUE(fs::exists(twain / "KVTWAIN.DS"));
  std::ifstream ini(twain / "KVT32.INI");
  std::stringstream text;
  text << ini.rdbuf();
  EXPECT_NE(text.str().find("SCSIID=3"), std::string::npos) << text.str();
}

}  // namespace
