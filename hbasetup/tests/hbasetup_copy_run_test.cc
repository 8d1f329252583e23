// The copy run: folders made on the way, the dialog's texts and progress, Cancel with its
// question, the closing of a running program that holds a destination, and the retry question.
#include "copy_run.h"
#include "hbasetup_test_support.h"
#include "platform/ui/ui.h"
#include "uninstall_record.h"

namespace hbasetup {
namespace {

using platform::DialogDriver;
using testing::SetupHost;

constexpr const char* kRetry = "can't be copied !";
constexpr const char* kAbort = "The setup process is not completed!";

std::vector<CopyItem> Items(SetupHost& h, int count) {
  std::vector<CopyItem> items;
  for (int i = 0; i < count; ++i) {
    const std::string name = "F" + std::to_string(i) + ".SYS";
    h.Write("A:\\" + name, "driver " + std::to_string(i));
    items.push_back({"A:\\" + name, "C:\\WINDOWS\\DRV\\" + name});
  }
  return items;
}

TEST(CopyRun, FromTheRootIntoANewSubfolderOfTheWindowsDirectory) {
  SetupHost h("win98");
  h.Write("A:\\MINI.MPD", "miniport");
  UninstallRecord record(h.reg(), "Korin Technology Corp");
  const std::vector<CopyItem> list = {{"A:\\MINI.MPD", "C:\\WINDOWS\\NEW\\DEEP\\MINI.MPD"}};
  const uint64_t start = h.now();
  CopyOutcome out = RunCopy(h.context(), list, false, 0, record);
  EXPECT_EQ(out.copied, 1u);
  EXPECT_EQ(h.Read("C:\\WINDOWS\\NEW\\DEEP\\MINI.MPD"), "miniport");
  EXPECT_EQ(record.recorded(), (std::vector<std::string>{"C:\\WINDOWS\\NEW\\DEEP\\MINI.MPD"}));
  EXPECT_EQ(h.now() - start, 300u);  // 200 ms before the item, 100 ms before its copy
  // The dialog shows the last item and has gone all the way.
  ASSERT_NE(out.dialog, 0u);
  EXPECT_EQ(h.host().ui().GetDlgItemText(out.dialog, 1006), "From: A:\\MINI.MPD");
  EXPECT_EQ(h.host().ui().GetDlgItemText(out.dialog, 1004), "To: C:\\WINDOWS\\NEW\\DEEP\\MINI.MPD");
  EXPECT_EQ(h.host().ui().SendDlgItemMessage(out.dialog, 1003, platform::PBM_GETPOS, 0, 0), 1);
}

TEST(CopyRun, AnEmptyListMakesNoDialog) {
  SetupHost h("win98");
  UninstallRecord record(h.reg(), "G");
  CopyOutcome out = RunCopy(h.context(), {}, true, 0, record);
  EXPECT_EQ(out.dialog, 0u);
  EXPECT_EQ(h.now(), 0u);
}

TEST(CopyRun, CancelAnsweredNoGoesOnWithTheNextFile) {
  SetupHost h("win98");
  auto items = Items(h, 3);
  h.ui().ExpectModeless(130, [&](DialogDriver& d) { d.Click(1005); });  // seen at the first item
  h.ui().ExpectMessageBox("Abort", kAbort, platform::IDNO);
  UninstallRecord record(h.reg(), "G");
  CopyOutcome out = RunCopy(h.context(), items, true, 0, record);
  EXPECT_FALSE(out.stopped);
  EXPECT_EQ(out.copied, 3u);
}

TEST(CopyRun, CancelAnsweredYesLeavesTheRemainingFiles) {
  SetupHost h("win98");
  auto items = Items(h, 3);
  h.ui().ExpectModeless(130, [&](DialogDriver& d) { d.Click(1005); });
  h.ui().ExpectMessageBox("Abort", kAbort, platform::IDYES);
  UninstallRecord record(h.reg(), "G");
  CopyOutcome out = RunCopy(h.context(), items, true, 0, record);
  EXPECT_TRUE(out.stopped);
  EXPECT_EQ(out.copied, 0u);
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\DRV\\F0.SYS"));
}

TEST(CopyRun, ARunningProgramIsClosedOnceAndTheCopyTriedAgain) {
  SetupHost h("win98");
  h.Write("A:\\TOOL.EXE", "new");
  h.Write("C:\\WINDOWS\\TOOL.EXE", "old");
  h.shell().windows["TOOL"] = 77;
  // The running program holds its file until it is closed.
  h.host().faults().FailMatching("files.open", "TOOL.EXE", 32);
  h.shell().onClose = [&](uintptr_t) { h.host().faults().Clear("files.open"); };
  UninstallRecord record(h.reg(), "G");
  const uint64_t start = h.now();
  CopyOutcome out = RunCopy(h.context(), {{"A:\\TOOL.EXE", "C:\\WINDOWS\\TOOL.EXE"}}, false, 0, record);
  EXPECT_EQ(out.copied, 1u);
  EXPECT_EQ(h.shell().closed, (std::vector<uintptr_t>{77}));
  EXPECT_EQ(h.Read("C:\\WINDOWS\\TOOL.EXE"), "new");
  EXPECT_EQ(h.now() - start, 800u);  // 200 + 100 + 500 after the close request
}

TEST(CopyRun, AspiProgramsFallBackToTheirHostWindow) {
  EXPECT_EQ(ProgramNameOf("C:\\WINDOWS\\ASPIUTIL.exe"), "ASPIUTIL");
  EXPECT_EQ(ProgramNameOf("C:TOOL.EXE"), "TOOL");
  EXPECT_EQ(ProgramNameOf("C:\\WINDOWS\\TOOL.EXEC"), "");
  EXPECT_EQ(ProgramNameOf("C:\\WINDOWS\\mini.sys"), "");

  SetupHost h("win98");
  h.Write("A:\\aspiutil.exe", "new");
  h.shell().windows["Untitled - Quexal32"] = 5;
  h.host().faults().FailMatching("files.open", "aspiutil.exe", 32);
  h.shell().onClose = [&](uintptr_t) { h.host().faults().Clear("files.open"); };
  UninstallRecord record(h.reg(), "G");
  CopyOutcome out =
      RunCopy(h.context(), {{"A:\\aspiutil.exe", "C:\\WINDOWS\\aspiutil.exe"}}, false, 0, record);
  EXPECT_EQ(out.copied, 1u);
  EXPECT_EQ(h.shell().searched, (std::vector<std::string>{"aspiutil", "Untitled - Quexal32"}));
}

TEST(CopyRun, RetryQuestionYesCopiesAgainNoSkipsTheFile) {
  SetupHost h("win98");
  auto items = Items(h, 2);
  // The first item fails twice (its first copy and the retry), then the question comes again.
  h.host().faults().FailMatching("files.open", "F0.SYS", 32);
  h.ui().ExpectMessageBox(std::string("Destination File: 'C:\\WINDOWS\\DRV\\F0.SYS'\n ") + kRetry,
                          platform::IDYES);
  h.ui().ExpectMessageBox(kRetry, platform::IDNO);
  UninstallRecord record(h.reg(), "G");
  CopyOutcome out = RunCopy(h.context(), items, false, 0, record);
  EXPECT_EQ(out.copied, 1u);
  EXPECT_EQ(out.skipped, 1u);
  EXPECT_EQ(record.recorded(), (std::vector<std::string>{"C:\\WINDOWS\\DRV\\F1.SYS"}));
  EXPECT_TRUE(h.shell().closed.empty());  // no .EXE, nothing to close
}

// Each file operation of a run failing in turn: every destination holds its old bytes or the new
// ones whole, never a part; a failed item is skipped after the retry question (answered No) and
// the run goes on.
TEST(CopyRun, EveryDestinationIsOldOrNewWhateverFileOperationFails) {
  for (uint64_t n = 1;; ++n) {
    SetupHost h("win98");
    const std::vector<CopyItem> items = Items(h, 3);
    for (const CopyItem& item : items) h.Write(item.destination, "old " + item.destination);
    h.ui().ExpectMessageBox(kRetry, platform::IDNO, 0);
    UninstallRecord record(h.reg(), "G");
    h.host().faults().FailNth("files", n);
    const CopyOutcome out = RunCopy(h.context(), items, false, 0, record);
    const uint64_t failures = h.host().faults().Failures("files");
    h.host().faults().ClearAll();
    for (size_t i = 0; i < items.size(); ++i) {
      const auto now = h.Read(items[i].destination);
      ASSERT_TRUE(now) << "failing file operation " << n;
      EXPECT_TRUE(*now == "old " + items[i].destination || *now == "driver " + std::to_string(i))
          << "failing file operation " << n << ": " << *now;
    }
    EXPECT_EQ(out.copied + out.skipped, 3u) << n;
    if (failures == 0) {
      EXPECT_EQ(out.copied, 3u);
      break;
    }
    ASSERT_LT(n, 200u);
  }
}

}  // namespace
}  // namespace hbasetup
