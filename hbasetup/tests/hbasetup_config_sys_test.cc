// The CONFIG.SYS edit: lines naming an old driver go, every other byte stays, the file is
// replaced in one step, and the three situations the edit reports.
#include "config_sys.h"
#include "hbasetup_test_support.h"
#include "script.h"

namespace hbasetup {
namespace {

using testing::SetupHost;

// A plain reference for the removal: keep the lines (with their ends) whose upper-cased text
// contains none of the names.
std::string Reference(const std::vector<std::string>& lines, const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& line : lines) {
    std::string upper;
    for (char c : line) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    bool hit = false;
    for (const auto& n : names) hit = hit || upper.find(n) != std::string::npos;
    if (!hit) out += line;
  }
  return out;
}

TEST(ConfigSysText, NamedLinesGoInAnyCaseOtherBytesStay) {
  const std::vector<std::string> lines = {
      "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\n", "device=c:\\scsi\\oldmini.sys /D\r\n",
      "FILES=40\n",                        "DEVICEHIGH=C:\\SCSI\\OldMini.Sys\r\n",
      std::string(300, ' ') + "OLDMINI.SYS\r\n",  // named past the 255th character
      "BUFFERS=30"};                              // a last line without an end
  std::string text;
  for (const auto& l : lines) text += l;
  size_t removed = 0;
  const std::string out = RemoveNamedLines(text, {"OLDMINI.SYS"}, &removed);
  EXPECT_EQ(removed, 3u);
  EXPECT_EQ(out, Reference(lines, {"OLDMINI.SYS"}));
  EXPECT_EQ(out, "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\nBUFFERS=30");
}

TEST(ConfigSysText, ALineEndingInTheNameIsRemovedWithoutItsNeighbour) {
  EXPECT_EQ(RemoveNamedLines("A\r\nX.SYS", {"X.SYS"}), "A\r\n");
  EXPECT_EQ(RemoveNamedLines("X.SYS\r\n\r\nB", {"X.SYS"}), "\r\nB");
  EXPECT_EQ(RemoveNamedLines(std::string("A\0X.SYS\nB", 9), {"X.SYS"}), "B");
  EXPECT_EQ(RemoveNamedLines("", {"X.SYS"}), "");
}

// Regression: a value ending in a backslash kept an empty name, which every line contains.
TEST(ConfigSysNames, EmptyNamesAndCommentsRemoveNothing) {
  EXPECT_EQ(NamesToRemove({"C:\\SCSI\\", ";C:\\SCSI\\OLD.SYS", "c:\\scsi\\old.sys", "aspi.sys"}),
            (std::vector<std::string>{"OLD.SYS", "ASPI.SYS"}));
  EXPECT_EQ(RemoveNamedLines("A\r\nB\r\n", NamesToRemove({"C:\\SCSI\\"})), "A\r\nB\r\n");
}

TEST(ConfigSysNames, CollectionStopsAtTheFirstMissingOrEmptyKey) {
  size_t bytes = 0;
  SetupScript s("[Modify]\n1=a.sys\n2=b.sys\n4=d.sys\n");
  EXPECT_EQ(CollectModifyValues(s, &bytes), (std::vector<std::string>{"a.sys", "b.sys"}));
  EXPECT_EQ(bytes, 12u);
  SetupScript empty("[Modify]\n1=a.sys\n2=\n3=c.sys\n");
  EXPECT_EQ(CollectModifyValues(empty, &bytes), (std::vector<std::string>{"a.sys"}));
}

TEST(ConfigSysPaths, TemporaryFileTakesTheLastDot) {
  EXPECT_EQ(TemporaryPathFor("c:\\CONFIG.SYS"), "c:\\CONFIG.tmp");
  EXPECT_EQ(TemporaryPathFor("c:\\A.B\\CONFIG"), "c:\\A.tmp");
}

constexpr std::string_view kConfig =
    "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nDEVICE=C:\\SCSI\\OLDMINI.SYS\r\nFILES=40\r\n";

TEST(ConfigSysEdit, ReplacesTheFileAndLeavesNoTemporary) {
  SetupHost h("win98");
  h.Write("C:\\CONFIG.SYS", kConfig);
  SetupScript script("[Modify]\n1=C:\\SCSI\\oldmini.sys\n");
  EXPECT_EQ(EditConfigSys(h.context(), script), ConfigEdit::kEdited);
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n");
  EXPECT_FALSE(h.files().Exists("C:\\CONFIG.tmp"));
}

TEST(ConfigSysEdit, NoConfigSysSaysNothing) {
  SetupHost h("nt4");
  h.files().DeleteFile("C:\\CONFIG.SYS");
  EXPECT_EQ(EditConfigSys(h.context(), SetupScript("[Modify]\n1=x.sys\n")), ConfigEdit::kNoConfig);
}

TEST(ConfigSysEdit, NoInformationAndAFullBufferAreReported) {
  SetupHost h("win98");
  h.Write("C:\\CONFIG.SYS", kConfig);
  h.ui().ExpectMessageBox("", "ModifyConfig: No information exist!", platform::IDOK);
  EXPECT_EQ(EditConfigSys(h.context(), SetupScript("")), ConfigEdit::kNoInformation);

  // Values of 99 characters take 100 bytes each: 20 of them and one of 45 make 2046.
  std::string modify = "[Modify]\n";
  for (int i = 1; i <= 20; ++i) modify += std::to_string(i) + "=" + std::string(99, 'v') + "\n";
  h.ui().ExpectMessageBox("", "ModifyConfig: The buffer size is too small!", platform::IDOK);
  EXPECT_EQ(EditConfigSys(h.context(), SetupScript(modify + "21=" + std::string(45, 'v') + "\n")),
            ConfigEdit::kBufferTooSmall);
  // One byte less is an ordinary edit.
  EXPECT_EQ(EditConfigSys(h.context(), SetupScript(modify + "21=" + std::string(44, 'v') + "\n")),
            ConfigEdit::kEdited);
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), std::string(kConfig));
  EXPECT_FALSE(h.files().Exists("C:\\CONFIG.tmp"));
}

// Regression: CONFIG.SYS was deleted before the temporary file took its name. Failing each file
// operation in turn, CONFIG.SYS is always there, old or new, and a failure is reported.
TEST(ConfigSysEdit, CONFIGSYSIsNeverLostWhateverFileOperationFails) {
  for (uint64_t n = 1;; ++n) {
    SetupHost h("win98");
    h.Write("C:\\CONFIG.SYS", kConfig);
    h.ui().ExpectMessageBox("Modifying 'Config.sys'...", "Disk write error!", platform::IDOK, 0);
    h.host().faults().FailNth("files", n);
    const ConfigEdit result = EditConfigSys(h.context(), SetupScript("[Modify]\n1=oldmini.sys\n"));
    h.host().faults().ClearAll();
    const auto now = h.Read("C:\\CONFIG.SYS");
    ASSERT_TRUE(now) << "failing file operation " << n;
    if (result == ConfigEdit::kEdited) {
      EXPECT_EQ(*now, "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n");
      if (h.host().faults().Failures("files") == 0) break;
    } else {
      EXPECT_TRUE(result == ConfigEdit::kWriteError || result == ConfigEdit::kNoConfig) << n;
      EXPECT_EQ(*now, std::string(kConfig)) << n;
    }
    ASSERT_LT(n, 50u);
  }
}

}  // namespace
}  // namespace hbasetup
