// The setup on the host's own shell: a program the shell started really holds its file, so the
// copy run must close it to copy over it; script programs really start; the restart lands in the
// host's restart record.
#include <gtest/gtest.h>

#include <optional>

#include "copy_run.h"
#include "host_shell.h"
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/shell/shell.h"
#include "platform/system/token.h"
#include "platform/ui/ui.h"
#include "program.h"
#include "setup_app.h"
#include "setup_context.h"
#include "system_steps.h"
#include "test_host.h"
#include "uninstall_record.h"

namespace hbasetup {
namespace {

class RealShellHost {
 public:
  explicit RealShellHost(std::string version)
      : t_(platform::testing::TestHost::Settings{.version = std::move(version)}),
        resources_(*platform::ParseResourceScript(ResourceScriptText()).script),
        shell_(t_.host()) {}
  platform::testing::TestHost& t() { return t_; }
  platform::Shell& shell() { return platform::Shell::Of(t_.host()); }
  platform::FileSystem& files() { return t_.host().files(); }
  const SetupContext& context() {
    platform::Host& h = t_.host();
    context_.emplace(SetupContext{h.files(), h.registry(), h.system(), h.ui(), h.clock(),
                                  &h.faults(), shell_, resources_, "A:\\"});
    return *context_;
  }

 private:
  platform::testing::TestHost t_;
  platform::ResourceScript resources_;
  HostShell shell_;
  std::optional<SetupContext> context_;
};

TEST(HostShellCopy, TheRunningProgramIsClosedAndItsFileCopiedOver) {
  RealShellHost h("win98");
  h.t().WriteFile("C:\\WINDOWS\\SCSIMON.EXE", "MZ old monitor");
  h.t().WriteFile("A:\\SCSIMON.EXE", "MZ new monitor");
  ASSERT_EQ(h.shell().WinExec("C:\\WINDOWS\\SCSIMON.EXE", 1), 33u);
  UninstallRecord record(h.t().host().registry(), "G");
  const uint64_t start = h.t().clock().NowMs();
  const CopyOutcome out =
      RunCopy(h.context(), {{"A:\\SCSIMON.EXE", "C:\\WINDOWS\\SCSIMON.EXE"}}, false, 0, record);
  EXPECT_EQ(out.copied, 1u);
  EXPECT_EQ(out.skipped, 0u);
  EXPECT_TRUE(h.shell().Running().empty());
  EXPECT_EQ(h.files().ReadFile("C:\\WINDOWS\\SCSIMON.EXE"), "MZ new monitor");
  EXPECT_EQ(h.t().clock().NowMs() - start, 300u + 500u);  // the item's waits and the close's
}

TEST(HostShellCopy, AFileHeldWithoutAWindowAsksAndANoSkipsItWithItsExitCode) {
  RealShellHost h("nt4");
  h.t().WriteFile("A:\\SETUP32.INI",
                  "[Display]\r\nbShow=NO\r\n[NT Driver Files]\r\n1=.\\SCSIMON.EXE,.\\SCSIMON.EXE\r\n"
                  "2=.\\UNINST.EXE,.\\UNINST.EXE\r\n[Modify]\r\n1=C:\\OLD\\OLD.SYS\r\n");
  h.t().WriteFile("A:\\SCSIMON.EXE", "MZ new");
  h.t().WriteFile("A:\\UNINST.EXE", "MZ uninstaller");
  h.t().WriteFile("C:\\WINDOWS\\SCSIMON.EXE", "MZ old");
  ASSERT_TRUE(h.files().HoldInUse("C:\\WINDOWS\\SCSIMON.EXE"));  // held, but by no window of its name
  h.t().ui().ExpectMessageBox("'C:\\WINDOWS\\SCSIMON.EXE'\n can't be copied !", platform::IDNO);
  SetupApp app(h.context(), SetupScript(*h.files().ReadFile("A:\\SETUP32.INI")));
  EXPECT_EQ(app.Run(), 3);
  EXPECT_EQ(h.files().ReadFile("C:\\WINDOWS\\SCSIMON.EXE"), "MZ old");
  EXPECT_EQ(h.files().ReadFile("C:\\WINDOWS\\UNINST.EXE"), "MZ uninstaller");
}

TEST(HostShellSteps, ScriptProgramsStartForRealAndKeepRunning) {
  RealShellHost h("win98");
  h.t().WriteFile("A:\\ASPIINST.EXE", "MZ installer");
  h.t().WriteFile("A:\\SETUP32.INI",
                  "[Win95 Execute]\r\n1=ASPIINST.EXE\r\n2=MISSING.EXE\r\n");
  const SetupScript script(*h.files().ReadFile("A:\\SETUP32.INI"));
  EXPECT_EQ(StartPrograms(h.context(), script, InstallType::kWin95), 2u);
  // The installer runs, with its own path as its argument; the missing program did not start.
  const auto& starts = h.shell().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].commandLine, "A:\\ASPIINST.EXE A:\\ASPIINST.EXE");
  EXPECT_NE(h.shell().FindWindow("ASPIINST"), 0u);
  EXPECT_TRUE(h.files().InUse("A:\\ASPIINST.EXE"));
}

TEST(HostShellRestart, RecordedOnWindows95AndOnNtOnlyWithTheShutdownPrivilege) {
  {
    RealShellHost h("win95");
    EXPECT_TRUE(Restart(h.context(), InstallType::kWin95));
    ASSERT_TRUE(h.shell().PendingRestart());
    EXPECT_EQ(h.shell().PendingRestart()->program, "hbasetup");
  }
  {
    RealShellHost h("nt4");
    h.t().host().faults().FailNth(platform::fault_point::kSystemPrivilege, 1);
    EXPECT_FALSE(Restart(h.context(), InstallType::kNt));
    EXPECT_FALSE(h.shell().PendingRestart());
    EXPECT_TRUE(Restart(h.context(), InstallType::kNt));
    EXPECT_TRUE(h.shell().PendingRestart());
  }
}

}  // namespace
}  // namespace hbasetup
