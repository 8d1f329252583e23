// Message boxes through both backends, and the scripted backend's loud failures.
#include <gtest/gtest.h>

#include "platform/ui/console_ui.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::Pipe;
using testing::RecordingUi;

constexpr const char* kNotFound = "Scanner is not found!\nPlease check if\n1. Scanner power is on";

TEST(ScriptedMessageBoxTest, ExpectationsAnswerInOrderAndAreUsedUp) {
  RecordingUi r;
  r.script.ExpectMessageBox("not found", IDRETRY).ExpectMessageBox("Tovelink", "not found", IDCANCEL);
  EXPECT_EQ(r.ui.MessageBox(0, kNotFound, "Tovelink", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDRETRY);
  EXPECT_EQ(r.ui.MessageBox(0, kNotFound, "Tovelink", MB_RETRYCANCEL), IDCANCEL);
  EXPECT_TRUE(r.script.Unmet().empty());
  EXPECT_TRUE(r.failures.empty());
  ASSERT_EQ(r.script.History().size(), 2u);
  EXPECT_EQ(r.script.History()[1].answer, IDCANCEL);
  EXPECT_EQ(r.script.History()[1].text, kNotFound);
}

TEST(ScriptedMessageBoxTest, UnexpectedBoxFailsQuotingItsTextAndGetsTheSafeAnswer) {
  RecordingUi r;
  r.script.ExpectMessageBox("Other caption", "not found", IDRETRY);  // caption does not match
  EXPECT_EQ(r.ui.MessageBox(0, kNotFound, "Tovelink", MB_RETRYCANCEL), IDCANCEL);
  EXPECT_EQ(r.ui.MessageBox(0, "Reboot Now ?", "Setup", MB_YESNO), IDNO);
  EXPECT_EQ(r.ui.MessageBox(0, "Done.", "Setup", MB_OK), IDOK);
  ASSERT_EQ(r.failures.size(), 3u);
  EXPECT_NE(r.failures[0].find("Scanner is not found!"), std::string::npos);
  EXPECT_NE(r.failures[0].find("Tovelink"), std::string::npos);
  EXPECT_NE(r.failures[1].find("Reboot Now ?"), std::string::npos);
  ASSERT_EQ(r.script.Unmet().size(), 1u);
  EXPECT_NE(r.script.Unmet()[0].find("not found"), std::string::npos);
}

TEST(ScriptedMessageBoxTest, RepeatedAndOpenEndedExpectations) {
  RecordingUi r;
  r.script.ExpectMessageBox("Insert disk", IDOK, 3).ExpectMessageBox("Progress", IDOK, 0);
  r.ui.MessageBox(0, "Insert disk 2", "Setup", MB_OK);
  r.ui.MessageBox(0, "Progress 1", "Setup", MB_OK);
  r.ui.MessageBox(0, "Progress 2", "Setup", MB_OK);
  ASSERT_EQ(r.script.Unmet().size(), 1u);
  EXPECT_NE(r.script.Unmet()[0].find("2 of 3"), std::string::npos);
  EXPECT_TRUE(r.failures.empty());
}

TEST(ScriptedMessageBoxTest, AnAnswerThatIsNotOneOfItsButtonsIsAFailure) {
  RecordingUi r;
  r.script.ExpectMessageBox("Exit?", IDRETRY);
  EXPECT_EQ(r.ui.MessageBox(0, "Exit?", "Setup", MB_YESNO), IDNO);
  EXPECT_EQ(r.failures.size(), 1u);
  EXPECT_EQ(r.ui.MessageBox(0, "x", "y", 0x7), 0);  // no such button set
  EXPECT_EQ(r.ui.MessageBox(12345, "x", "y", MB_OK), 0);  // no such owner
}

TEST(ScriptedMessageBoxTest, BeepsAreKeptInTheHistory) {
  RecordingUi r;
  r.ui.MessageBeep(MB_ICONQUESTION);
  ASSERT_EQ(r.script.History().size(), 1u);
  EXPECT_EQ(r.script.History()[0].kind, ScriptedUi::Shown::Kind::kBeep);
  EXPECT_EQ(r.script.History()[0].type, MB_ICONQUESTION);
}

TEST(MessageBoxButtonsTest, DefaultAndSafeAnswers) {
  EXPECT_EQ(MessageBoxDefault(MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxDefault(MB_YESNO | MB_DEFBUTTON3), IDYES);  // out of range: the first
  EXPECT_EQ(MessageBoxSafeAnswer(MB_ABORTRETRYIGNORE), IDABORT);
  EXPECT_EQ(MessageBoxSafeAnswer(MB_OKCANCEL), IDCANCEL);
}

// Runs a console message box with `typed` as the person's input; returns the answer and what the
// console printed.
std::pair<int, std::string> ConsoleBox(const std::string& typed, uint32_t type, bool endInput) {
  Pipe in, out;
  in.Write(typed);
  if (endInput) in.CloseWrite();
  UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
  int answer = ui.MessageBox(0, "Install OK !!!\n\nReboot Now ?", "Setup", type);
  return {answer, out.Drain()};
}

TEST(ConsoleMessageBoxTest, AnswersByNameLetterNumberOrDefault) {
  EXPECT_EQ(ConsoleBox("no\n", MB_YESNO, false).first, IDNO);
  EXPECT_EQ(ConsoleBox("Y\n", MB_YESNO, false).first, IDYES);
  EXPECT_EQ(ConsoleBox("3\n", MB_YESNOCANCEL, false).first, IDCANCEL);
  EXPECT_EQ(ConsoleBox("\n", MB_YESNO | MB_DEFBUTTON2, false).first, IDNO);
  EXPECT_EQ(ConsoleBox("maybe\n9\nr\n", MB_RETRYCANCEL, false).first, IDRETRY);
}

TEST(ConsoleMessageBoxTest, EndOfInputGivesTheDefaultButton) {
  auto [answer, shown] = ConsoleBox("", MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION, true);
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_NE(shown.find("Setup (question)"), std::string::npos);
  EXPECT_NE(shown.find("Reboot Now ?"), std::string::npos);
  EXPECT_NE(shown.find("1) [O]K  2) [C]ancel*"), std::string::npos);
  EXPECT_NE(shown.find("end of input"), std::string::npos);
}

TEST(ConsoleMessageBoxTest, UnreadableAnswersAskAgain) {
  auto [answer, shown] = ConsoleBox("perhaps\n", MB_YESNO, true);
  EXPECT_EQ(answer, IDYES);  // the default, once input ends
  EXPECT_NE(shown.find("Please answer"), std::string::npos);
}

}  // namespace
}  // namespace platform
