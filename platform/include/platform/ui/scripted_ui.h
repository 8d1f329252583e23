// The scripted backend: for tests and unattended runs. Every prompt a run will meet is queued in
// advance with its answer; a prompt nobody expected is a loud failure that quotes it, and the
// safe answer (Cancel, else No) keeps the program on its most careful path. Expectations that
// never happened are listed by Unmet(), which a test checks at its end.
//
// Matching. A message box matches the first waiting expectation whose text is part of the box's
// text (and whose caption, when given, equals the box's caption). A modal dialog or property
// sheet matches the first waiting expectation for its key: a number matches the template's
// numeric id; a name matches the template's name without regard to case, or else its caption.
// An expectation is used up after `times` matches (0: any number of times, never unmet).
//
// Modeless dialogs are not prompts: they may come without an expectation. One expected with
// ExpectModeless has its script run right after creation (for example to keep its handle, or to
// click Cancel later through a DialogDriver), and is unmet if it never comes.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/dialog_driver.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_backend.h"

namespace platform {

class ScriptedUi : public UiBackend {
 public:
  using DialogScript = std::function<void(DialogDriver&)>;
  using FailureHandler = std::function<void(const std::string&)>;

  // What the run showed, in order, for tests that check more than the answers.
  struct Shown {
    enum class Kind { kMessageBox, kDialog, kModeless, kBeep } kind;
    std::string key;      // the dialog's id or caption; the message box's caption
    std::string text;     // the message box's text
    uint32_t type = 0;    // the message box's type, or the beep's
    intptr_t answer = 0;  // the answer or the dialog's result
    bool expected = false;
  };

  ScriptedUi();
  ~ScriptedUi() override;

  ScriptedUi& ExpectMessageBox(std::string textPart, int answer, int times = 1);
  ScriptedUi& ExpectMessageBox(std::string caption, std::string textPart, int answer,
                               int times = 1);
  // The script operates the dialog and must end it, usually with a click. A dialog whose script
  // leaves it open is a failure, and is cancelled.
  ScriptedUi& ExpectDialog(ResourceId key, DialogScript script, int times = 1);
  // Shorthand: press button `button` (IDOK, IDCANCEL, ...) and nothing else.
  ScriptedUi& ExpectDialog(ResourceId key, int button, int times = 1);
  ScriptedUi& ExpectModeless(ResourceId key, DialogScript script = {}, int times = 1);

  // Where failures go; by default, to stderr.
  void SetFailureHandler(FailureHandler handler);
  void Fail(const std::string& message) override;
  int PresentMessageBox(const MessageBoxRequest& request) override;
  void RunModal(DialogDriver& driver) override;
  void OnModelessCreated(Hwnd dialog) override;
  void OnBeep(uint32_t type) override;

  // Expectations that are still waiting, described for a test's failure message.
  std::vector<std::string> Unmet() const;
  std::vector<Shown> History() const;
  // Forgets every expectation and the history.
  void Reset();

 private:
  struct Expectation {
    enum class Kind { kMessageBox, kDialog, kModeless } kind;
    std::string caption;   // message boxes: empty matches any caption
    std::string textPart;  // message boxes
    int answer = 0;        // message boxes
    ResourceId key;        // dialogs
    DialogScript script;   // dialogs
    int times = 1;         // 0: any number of times
    int used = 0;
    std::string Describe() const;
  };
  // The matching expectation, used once; false when none waits.
  bool TakeBox(const MessageBoxRequest& request, int* answer);
  bool TakeDialog(Expectation::Kind kind, const DialogTemplate* layout, const std::string& caption,
                  DialogScript* script);
  void Record(Shown shown);

  mutable std::mutex mutex_;
  std::vector<Expectation> expectations_;
  std::vector<Shown> history_;
  FailureHandler onFailure_;
};

}  // namespace platform
