// The suite's programs run as a person or a script runs them, for end-to-end tests: each on a
// fresh host root of a chosen Windows version, unattended with a response file or on the console
// through a pseudo-terminal. Programs are found in $SCANSUITE_BIN (the build's bin folder).
// Header-only; a test using ConsoleSession links `util` (forkpty).
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui.h"
#include "temp_dir.h"

namespace platform::testing {

inline std::string ProgramPath(const std::string& program) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return (std::filesystem::path(bin ? bin : "bin") / program).string();
}

inline std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A host root made as the first use makes it, with the Windows version set before anything has
// run on it (so the shell folders and the rest are those of that version).
class FreshRoot {
 public:
  explicit FreshRoot(const std::string& version) {
    ProvisionRoot(dir_.path());
    const std::filesystem::path ini = dir_.path() / "system.ini";
    std::string text = ReadHostFile(ini);
    const size_t at = text.find("version=win98");
    if (at != std::string::npos) text.replace(at, 13, "version=" + version);
    std::ofstream(ini, std::ios::binary) << text;
  }
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path Drive(char letter) const {
    return dir_.path() / "drives" / std::string(1, static_cast<char>(letter - 'A' + 'a'));
  }

  struct Result {
    int exitCode = -1;
    std::string output;  // standard output and error together
  };
  // Runs a program of the build on this root with the scripted interface; `answers` is the
  // response file's text (none when empty).
  Result Run(const std::string& commandLine, const std::string& answers = {}) const {
    std::string env = "SCANSUITE_ROOT='" + path().string() + "' SCANSUITE_UI=scripted ";
    if (!answers.empty()) {
      const std::filesystem::path file = path() / "answers.txt";
      std::ofstream(file, std::ios::binary) << answers;
      env += "SCANSUITE_ANSWERS='" + file.string() + "' ";
    }
    const std::filesystem::path out = path() / "output.txt";
    const std::string command = env + ProgramPath(commandLine) + " >'" + out.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    Result result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = ReadHostFile(out);
    return result;
  }

 private:
  TempDir dir_;
};

// A host opened on a root between program runs, to put things in place and read them back.
class RootView {
 public:
  explicit RootView(const FreshRoot& root) {
    Host::Options options;
    options.root = root.path();
    options.virtualClock = true;
    options.ui = std::make_unique<UserInterface>(std::make_unique<ScriptedUi>());
    host_ = std::make_unique<Host>(std::move(options));
  }
  Registry& reg() { return host_->registry(); }
  FileSystem& files() { return host_->files(); }
  ProfileFiles& profiles() { return host_->profiles(); }

  void CreateKey(RegKey root, const std::string& path) {
    RegKey key = 0;
    if (reg().CreateKey(root, path, &key) == kErrorSuccess) reg().CloseKey(key);
  }
  bool KeyExists(RegKey root, const std::string& path) {
    RegKey key = 0;
    if (reg().OpenKey(root, path, &key) != kErrorSuccess) return false;
    reg().CloseKey(key);
    return true;
  }
  // The string values of a key by name (REG_DWORD values as their number in decimal).
  std::map<std::string, std::string> Values(RegKey root, const std::string& path) {
    std::map<std::string, std::string> out;
    RegKey key = 0;
    if (reg().OpenKey(root, path, &key) != kErrorSuccess) return out;
    std::vector<RegValue> values;
    reg().ListValues(key, &values);
    for (const RegValue& v : values) {
      if (v.type == kRegDword && v.data.size() == 4) {
        out[v.name] = std::to_string(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | v.data[3] << 24);
      } else {
        std::string text(v.data.begin(), v.data.end());
        if (!text.empty() && text.back() == '\0') text.pop_back();
        out[v.name] = text;
      }
    }
    reg().CloseKey(key);
    return out;
  }

 private:
  std::unique_ptr<Host> host_;
};

// A program on the console of a pseudo-terminal: prompts are waited for and answered line by
// line, as a person types them.
class ConsoleSession {
 public:
  ConsoleSession(const FreshRoot& root, const std::vector<std::string>& args) {
    child_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (child_ == 0) {
      setenv("SCANSUITE_ROOT", root.path().c_str(), 1);
      setenv("SCANSUITE_UI", "console", 1);
      unsetenv("SCANSUITE_ANSWERS");
      std::vector<char*> argv;
      const std::string program = ProgramPath(args.at(0));
      std::vector<std::string> copy(args);
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~ConsoleSession() {
    if (child_ > 0 && !ended_) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  bool started() const { return child_ > 0 && master_ >= 0; }
  const std::string& seen() const { return seen_; }

  // Waits until `prompt` shows, then types `line`; false when it never shows.
  bool Answer(const std::string& prompt, const std::string& line) {
    if (!ReadUntil(prompt)) return false;
    const std::string typed = line + "\n";
    return write(master_, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size());
  }
  // The program's exit code once it ends; -1 when it does not end in time or is killed.
  int Wait() {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(child_, &status, WNOHANG) == 0) {
      ReadUntil("\x01never", std::chrono::milliseconds(100));  // keep draining the output
      if (std::chrono::steady_clock::now() > deadline) return -1;
    }
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  bool ReadUntil(const std::string& text,
                 std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (seen_.find(text, scanned_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return seen_.find(text, scanned_) != std::string::npos;
      seen_.append(buffer, static_cast<size_t>(n));
    }
    // A later prompt of the same words is looked for after this one.
    scanned_ = seen_.find(text, scanned_) + text.size();
    return true;
  }

  int master_ = -1;
  pid_t child_ = -1;
  bool ended_ = false;
  std::string seen_;
  size_t scanned_ = 0;
};

}  // namespace platform::testing
