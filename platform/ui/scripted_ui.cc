// The scripted backend: prompts answered from expectations queued in advance.
#include "platform/ui/scripted_ui.h"

#include <cstdio>

namespace platform {
namespace {

// The texts a person would read in a dialog, to quote it in a failure.
std::string DialogTexts(DialogDriver& driver) {
  std::string out;
  for (Hwnd h : driver.Controls()) {
    ControlKind kind = driver.ui().GetControlKind(h);
    if (kind != ControlKind::kStatic && kind != ControlKind::kEdit) continue;
    std::string text = driver.ui().GetWindowText(h);
    if (text.empty()) continue;
    out += (out.empty() ? "" : " | ") + text;
  }
  return out;
}

bool KeyMatches(const ResourceId& key, const DialogTemplate* layout, const std::string& caption) {
  if (layout && !layout->id.isEmpty() && key == layout->id) return true;
  return key.isName() && key.name() == caption;
}

// How the history names a dialog: its template id, else its caption.
std::string KeyOf(const DialogDriver& driver, const std::string& caption) {
  const DialogTemplate* t = driver.Template();
  return t && !t->id.isEmpty() ? t->id.ToString() : caption;
}

}  // namespace

std::string ScriptedUi::Expectation::Describe() const {
  std::string what;
  if (kind == Kind::kMessageBox) {
    what = "message box containing \"" + textPart + "\"";
    if (!caption.empty()) what += " captioned \"" + caption + "\"";
    what += " (answer " + std::string(AnswerName(answer)) + ")";
  } else {
    what = std::string(kind == Kind::kDialog ? "dialog " : "modeless dialog ") + key.ToString();
  }
  if (times > 1) what += ", " + std::to_string(times - used) + " of " + std::to_string(times) + " times";
  return what;
}

ScriptedUi::ScriptedUi() = default;
ScriptedUi::~ScriptedUi() = default;

ScriptedUi& ScriptedUi::ExpectMessageBox(std::string textPart, int answer, int times) {
  return ExpectMessageBox("", std::move(textPart), answer, times);
}

ScriptedUi& ScriptedUi::ExpectMessageBox(std::string caption, std::string textPart, int answer,
                                         int times) {
  std::lock_guard lock(mutex_);
  Expectation e{Expectation::Kind::kMessageBox, std::move(caption), std::move(textPart), answer,
                {}, {}, times, 0};
  expectations_.push_back(std::move(e));
  return *this;
}

ScriptedUi& ScriptedUi::ExpectDialog(ResourceId key, DialogScript script, int times) {
  std::lock_guard lock(mutex_);
  expectations_.push_back(Expectation{Expectation::Kind::kDialog, {}, {}, 0, std::move(key),
                                      std::move(script), times, 0});
  return *this;
}

ScriptedUi& ScriptedUi::ExpectDialog(ResourceId key, int button, int times) {
  return ExpectDialog(std::move(key), [button](DialogDriver& d) { d.Click(button); }, times);
}

ScriptedUi& ScriptedUi::ExpectModeless(ResourceId key, DialogScript script, int times) {
  std::lock_guard lock(mutex_);
  expectations_.push_back(Expectation{Expectation::Kind::kModeless, {}, {}, 0, std::move(key),
                                      std::move(script), times, 0});
  return *this;
}

void ScriptedUi::SetFailureHandler(FailureHandler handler) {
  std::lock_guard lock(mutex_);
  onFailure_ = std::move(handler);
}

void ScriptedUi::Fail(const std::string& message) {
  FailureHandler handler;
  {
    std::lock_guard lock(mutex_);
    handler = onFailure_;
  }
  if (handler) handler(message);
  else std::fprintf(stderr, "scansuite ui: %s\n", message.c_str());
}

std::vector<std::string> ScriptedUi::Unmet() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const Expectation& e : expectations_) {
    if (e.times > 0 && e.used < e.times) out.push_back(e.Describe());
  }
  return out;
}

std::vector<ScriptedUi::Shown> ScriptedUi::History() const {
  std::lock_guard lock(mutex_);
  return history_;
}

void ScriptedUi::Reset() {
  std::lock_guard lock(mutex_);
  expectations_.clear();
  history_.clear();
}

void ScriptedUi::Record(Shown shown) {
  std::lock_guard lock(mutex_);
  history_.push_back(std::move(shown));
}

bool ScriptedUi::TakeBox(const MessageBoxRequest& request, int* answer) {
  std::lock_guard lock(mutex_);
  for (Expectation& e : expectations_) {
    if (e.kind != Expectation::Kind::kMessageBox || (e.times > 0 && e.used >= e.times)) continue;
    if (request.text.find(e.textPart) == std::string::npos) continue;
    if (!e.caption.empty() && e.caption != request.caption) continue;
    ++e.used;
    *answer = e.answer;
    return true;
  }
  return false;
}

bool ScriptedUi::TakeDialog(Expectation::Kind kind, const DialogTemplate* layout,
                            const std::string& caption, DialogScript* script) {
  std::lock_guard lock(mutex_);
  for (Expectation& e : expectations_) {
    if (e.kind != kind || (e.times > 0 && e.used >= e.times)) continue;
    if (!KeyMatches(e.key, layout, caption)) continue;
    ++e.used;
    *script = e.script;  // a copy: the script may queue more expectations while it runs
    return true;
  }
  return false;
}

int ScriptedUi::PresentMessageBox(const MessageBoxRequest& request) {
  int answer = 0;
  bool expected = TakeBox(request, &answer);
  if (!expected) {
    answer = MessageBoxSafeAnswer(request.type);
    Fail("unexpected message box \"" + request.caption + "\": \"" + request.text +
         "\"; answered " + std::string(AnswerName(answer)));
  }
  Record(Shown{Shown::Kind::kMessageBox, request.caption, request.text, request.type, answer, expected});
  return answer;
}

void ScriptedUi::RunModal(DialogDriver& driver) {
  DialogScript script;
  std::string caption = driver.Caption();
  bool expected = TakeDialog(Expectation::Kind::kDialog, driver.Template(), caption, &script);
  if (!expected) {
    Fail("unexpected dialog " + driver.Describe() + ": \"" + DialogTexts(driver) + "\"; cancelled");
    driver.Close();
    if (driver.IsOpen()) windows().EndDialog(driver.dialog(), IDCANCEL);
  } else if (script) {
    script(driver);
  }
  Record(Shown{Shown::Kind::kDialog, KeyOf(driver, caption), {}, 0, driver.Result(), expected});
}

void ScriptedUi::OnModelessCreated(Hwnd dialog) {
  DialogDriver driver(windows(), dialog, [this](const std::string& m) { Fail(m); });
  DialogScript script;
  std::string caption = driver.Caption();
  bool expected = TakeDialog(Expectation::Kind::kModeless, driver.Template(), caption, &script);
  Record(Shown{Shown::Kind::kModeless, KeyOf(driver, caption), {}, 0, 0, expected});
  if (expected && script) script(driver);
}

}  // namespace platform

namespace platform {

void ScriptedUi::OnBeep(uint32_t type) { Record(Shown{Shown::Kind::kBeep, {}, {}, type, 0, true}); }

}  // namespace platform
