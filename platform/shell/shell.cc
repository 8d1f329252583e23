#include "platform/shell/shell.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/clock/clock.h"
#include "platform/shell/control_panel.h"
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/shell/group_converter.h"
#include "platform/system/system.h"

namespace platform {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NowUtc() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

}  // namespace

Shell& Shell::Of(Host& host) {
  return host.FindOrAttach<Shell>([&] { return std::make_unique<Shell>(host); });
}

Shell::Shell(Host& host) : host_(host), progman_(DesktopMenu(host.root() / "menu", host.root())) {
  // The program manager's items for control-panel applets start it.
  RegisterSystemProgram(std::string(kControlPanelProgram),
                        [&host](const std::vector<std::string>& args) {
                          return RunControlPanel(host, args);
                        });
  RegisterSystemProgram(std::string(kGroupConverterFile), [this](const std::vector<std::string>& args) {
    return RunGroupConverter(host_, progman_, args);
  });
}

// Programs still running when the host goes end with it.
Shell::~Shell() {
  for (const RunningProgram& program : running_) host_.files().ReleaseInUse(program.program);
}

void Shell::RegisterProgram(std::string fileName, Program program) {
  programs_[Upper(std::move(fileName))] = std::move(program);
}

void Shell::RegisterSystemProgram(std::string fileName, Program program) {
  systemPrograms_.push_back(Upper(fileName));
  RegisterProgram(std::move(fileName), std::move(program));
}

std::optional<std::string> Shell::FindProgram(const std::string& name, uint32_t* error) const {
  FileSystem& files = host_.files();
  std::string program = name;
  if (FileNameOf(program).find('.') == std::string::npos) program += ".EXE";
  std::vector<std::string> candidates;
  if (program.find_first_of("\\/:") != std::string::npos) {
    candidates.push_back(program);
  } else {
    for (const std::string& folder : {files.CurrentDirectory(), host_.system().WindowsFolder(),
                                      host_.system().SystemFolder()}) {
      candidates.push_back(folder + (folder.ends_with("\\") ? "" : "\\") + program);
    }
  }
  for (const std::string& candidate : candidates) {
    if (files.Exists(candidate) && !files.IsDirectory(candidate)) return candidate;
  }
  // Windows's own programs are in the Windows folder whether or not a file is there: found by
  // their bare name, or by a path in that folder.
  const bool bare = program.find_first_of("\\/:") == std::string::npos;
  const std::string windows = host_.system().WindowsFolder();
  for (const std::string& candidate : candidates) {
    const size_t slash = candidate.find_last_of('\\');
    if (slash == std::string::npos) continue;
    const std::string file = candidate.substr(slash + 1);
    const bool own = std::find(systemPrograms_.begin(), systemPrograms_.end(), Upper(file)) !=
                     systemPrograms_.end();
    if (own && (bare || EqualsNoCase(candidate.substr(0, slash), windows))) {
      return windows + "\\" + file;
    }
  }
  const std::string& only = candidates.front();
  const size_t slash = only.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? "" : only.substr(0, slash + 1);
  *error = candidates.size() == 1 && !folder.empty() && !files.IsDirectory(folder)
               ? kExecPathNotFound
               : kExecFileNotFound;
  return std::nullopt;
}

uint32_t Shell::WinExec(std::string_view commandLine, int show) {
  const std::vector<std::string> words = Words(commandLine);
  if (words.empty()) return kExecFileNotFound;
  uint32_t error = 0;
  std::optional<std::string> program = FindProgram(words[0], &error);
  if (!program) return error;
  ProgramStart start{std::string(commandLine), *program, show, 0};
  auto own = programs_.find(Upper(FileNameOf(*program)));
  if (own != programs_.end()) {
    start.exitCode = own->second(std::vector<std::string>(words.begin() + 1, words.end()));
  } else {
    std::optional<std::string> image = host_.files().ReadFile(*program);
    if (!image || !image->starts_with("MZ")) return kExecBadFormat;
    // It keeps running: its image stays in use and its window stays until a close request.
    auto host = host_.files().Resolve(*program);
    const std::string title = host ? host->stem().string() : FileNameOf(*program);
    host_.files().HoldInUse(*program);
    running_.push_back(RunningProgram{nextWindow_++, title, *program});
  }
  starts_.push_back(std::move(start));
  return kExecStarted;
}

Hwnd Shell::FindWindow(std::string_view title) const {
  for (const RunningProgram& program : running_) {
    if (EqualsNoCase(program.title, title)) return program.window;
  }
  return 0;
}

bool Shell::RequestClose(Hwnd window) {
  for (auto it = running_.begin(); it != running_.end(); ++it) {
    if (it->window != window) continue;
    host_.files().ReleaseInUse(it->program);
    running_.erase(it);
    return true;
  }
  return false;
}

DdeInstance Shell::DdeInitialize() {
  const DdeInstance instance = nextHandle_++;
  instances_[instance] = true;
  return instance;
}

bool Shell::DdeUninitialize(DdeInstance instance) {
  if (!instances_.erase(instance)) return false;
  std::erase_if(conversations_, [&](const auto& c) { return c.second == instance; });
  return true;
}

DdeConversation Shell::DdeConnect(DdeInstance instance, std::string_view service,
                                  std::string_view topic) {
  if (!instances_.contains(instance)) return 0;
  // No server answering the initiate.
  if (host_.faults().Check(fault_point::kShellDdeConnect, service)) return 0;
  if (strcasecmp(std::string(service).c_str(), "PROGMAN") != 0 ||
      strcasecmp(std::string(topic).c_str(), "PROGMAN") != 0) {
    return 0;
  }
  const DdeConversation conversation = nextHandle_++;
  conversations_[conversation] = instance;
  return conversation;
}

bool Shell::DdeDisconnect(DdeConversation conversation) {
  return conversations_.erase(conversation) > 0;
}

bool Shell::DdeExecute(DdeConversation conversation, std::string_view command,
                       uint32_t timeoutMs) {
  if (!conversations_.contains(conversation)) return false;
  // A server that does not answer in time: the transaction fails after its time-out.
  if (host_.faults().Check(fault_point::kShellDde, command)) {
    host_.clock().SleepMs(timeoutMs);
    return false;
  }
  return progman_.Execute(command);
}

bool Shell::RecordRestart(std::string_view program) {
  // Through a temporary name: a setup killed while writing leaves the earlier record whole.
  const std::filesystem::path path = host_.root() / "restart.ini";
  const std::filesystem::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << "[restart]\nprogram=" << program << "\ntime=" << NowUtc() << "\n";
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

std::optional<RestartRecord> Shell::PendingRestart() const {
  std::ifstream in(host_.root() / "restart.ini");
  if (!in) return std::nullopt;
  RestartRecord record;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("program=")) record.program = line.substr(8);
    if (line.starts_with("time=")) record.time = line.substr(5);
  }
  return record;
}

bool Shell::ClearRestart() {
  std::error_code ec;
  return std::filesystem::remove(host_.root() / "restart.ini", ec);
}

}  // namespace platform
