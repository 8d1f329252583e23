// The Windows shell as the setup programs met it: program starts (WinExec), the program
// manager's DDE service, and restart requests. Programs started are recorded; programs of this
// suite registered by name run in place of the Windows program. The program manager's groups
// become a freedesktop menu under the host root (desktop_menu.h). A restart request is recorded
// in <root>/restart.ini with the program and the time; `scanhost show` reports it and
// `scanhost restart` clears it: nothing is ever restarted.
//
// The shell's own programs live in the Windows folder without a file on the host: the group
// converter GRPCONV.EXE (group_converter.h).
//
// Attached to the host on first use (Shell::Of). One thread at a time, as the programs that use
// it are single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"
#include "platform/shell/program_manager.h"
#include "platform/ui/ui_constants.h"

namespace platform {

// WinExec results: above 31 is success.
inline constexpr uint32_t kExecFileNotFound = 2;
inline constexpr uint32_t kExecPathNotFound = 3;
inline constexpr uint32_t kExecBadFormat = 11;
inline constexpr uint32_t kExecStarted = 33;

// DDE: a client instance and a conversation handle; 0 is none.
using DdeInstance = uint32_t;
using DdeConversation = uint32_t;
inline constexpr uint32_t kDdeDefaultTimeoutMs = 1000;

struct ProgramStart {
  std::string commandLine;
  std::string program;  // the Windows path of the file that was started
  int show = 0;
  int exitCode = 0;     // of a program of ours that ran; 0 for others
};

// A program the shell started that is still running: it holds its file, as Windows holds a
// running image (FileSystem::HoldInUse), and owns one top-level window whose title is its file
// name without the extension ("SCSIMON"), until the window is sent a close request. Programs of
// ours run to their end inside WinExec and never stay.
struct RunningProgram {
  Hwnd window = 0;
  std::string title;
  std::string program;  // the Windows path of its file
};

// The first window handle of a started program, above the window system's own handles.
inline constexpr Hwnd kProgramWindowBase = 0x40000000;

struct RestartRecord {
  std::string program;
  std::string time;     // UTC, ISO 8601
};

class Shell : public HostService {
 public:
  // A program of ours: runs with the words of its command line after the program name.
  using Program = std::function<int(const std::vector<std::string>& args)>;

  static Shell& Of(Host& host);
  explicit Shell(Host& host);
  ~Shell() override;

  // --- WinExec. The program is the command line's first word (".EXE" added when it has no
  // extension); a name without a folder is looked for in the current, Windows and system folders,
  // where Windows's own programs (RegisterSystemProgram) always are.
  // 3 when its folder does not exist, 2 when the file does not, 11 when it is not a program (no
  // "MZ" image and no program of ours); otherwise the start is recorded and 33 returned.
  uint32_t WinExec(std::string_view commandLine, int show);
  // Registers a program of ours by file name ("ASPIINST.EXE"), matched without regard to case.
  void RegisterProgram(std::string fileName, Program program);
  // Registers a program that comes with Windows (the shell registers CONTROL.EXE itself): named
  // without a folder it is found in the Windows folder even where no file stands there.
  void RegisterSystemProgram(std::string fileName, Program program);
  const std::vector<ProgramStart>& Starts() const { return starts_; }

  // --- Running programs. FindWindow(NULL, title): the window of a running program whose title
  // equals `title` without regard to case; 0 for none.
  Hwnd FindWindow(std::string_view title) const;
  // A close request (WM_CLOSE) to a running program's window: the program ends, its window goes
  // and its file is let go. False when no running program owns the window.
  bool RequestClose(Hwnd window);
  const std::vector<RunningProgram>& Running() const { return running_; }

  // --- DDE (client side). The only service and topic is "PROGMAN".
  DdeInstance DdeInitialize();
  bool DdeUninitialize(DdeInstance instance);
  // 0 when nobody serves the service and topic (fault point "shell.connect": the server does
  // not answer).
  DdeConversation DdeConnect(DdeInstance instance, std::string_view service,
                             std::string_view topic);
  bool DdeDisconnect(DdeConversation conversation);
  // An execute transaction; false when it fails or does not complete within `timeoutMs` (fault
  // point "shell.dde" makes it fail, as a busy server would).
  bool DdeExecute(DdeConversation conversation, std::string_view command, uint32_t timeoutMs);
  ProgramManager& programManager() { return progman_; }

  // --- Restart requests.
  bool RecordRestart(std::string_view program);
  std::optional<RestartRecord> PendingRestart() const;
  bool ClearRestart();

 private:
  std::optional<std::string> FindProgram(const std::string& name, uint32_t* error) const;

  Host& host_;
  ProgramManager progman_;
  std::map<std::string, Program> programs_;  // by upper-case file name
  std::vector<std::string> systemPrograms_;  // upper-case file names of Windows's own
  std::vector<ProgramStart> starts_;
  std::vector<RunningProgram> running_;
  Hwnd nextWindow_ = kProgramWindowBase;
  std::map<DdeInstance, bool> instances_;
  std::map<DdeConversation, DdeInstance> conversations_;
  uint32_t nextHandle_ = 1;
};

}  // namespace platform
