// Prompts as text for a terminal, and a person's typed answers and commands.
#include "console_render.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/files/winpath.h"

namespace platform {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// A whole decimal number in `s`, without sign; false for anything else or a huge value.
bool ParseNumber(const std::string& s, int* value) {
  if (s.empty() || s.size() > 9) return false;
  if (!std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    return false;
  }
  *value = std::atoi(s.c_str());
  return true;
}

bool ParseNumberList(const std::string& s, std::vector<int>* values) {
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    std::string part = Trim(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    int v = 0;
    if (!ParseNumber(part, &v)) return false;
    values->push_back(v);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !values->empty();
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ListLines(const std::vector<std::string>& items, const std::vector<int>& selected) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    bool on = std::find(selected.begin(), selected.end(), static_cast<int>(i)) != selected.end();
    out += "        " + std::to_string(i) + (on ? " * " : "   ") + items[i] + "\n";
  }
  return out;
}

// One control as text; push buttons are gathered separately.
std::string RenderControl(DialogDriver& d, Hwnd h) {
  UserInterface& ui = d.ui();
  int id = ui.GetDlgCtrlID(h);
  std::string tag = "  [" + std::to_string(id) + "] ";
  std::string text = PlainText(ui.GetWindowText(h));
  std::string off = ui.IsWindowEnabled(h) ? "" : " (disabled)";
  switch (ui.GetControlKind(h)) {
    case ControlKind::kStatic: return text.empty() ? "" : "  " + text + "\n";
    case ControlKind::kGroupBox: return "  -- " + text + " --\n";
    case ControlKind::kEdit: return tag + "edit: " + Quoted(text) + off + "\n";
    case ControlKind::kCheckBox: return tag + (d.IsChecked(id) ? "[x] " : "[ ] ") + text + off + "\n";
    case ControlKind::kRadioButton: return tag + (d.IsChecked(id) ? "(*) " : "( ) ") + text + off + "\n";
    case ControlKind::kProgressBar: return tag + "progress: " + std::to_string(d.Position(id)) + "\n";
    case ControlKind::kUpDown: return tag + "number: " + std::to_string(d.Position(id)) + off + "\n";
    case ControlKind::kListBox: {
      bool multi = ui.SendMessage(h, LB_GETSELCOUNT, 0, 0) != LB_ERR;
      return tag + "list" + (multi ? " (choose several)" : "") + off + ":\n" +
             ListLines(d.Items(id), d.Selections(id));
    }
    case ControlKind::kComboBox:
      return tag + "choice: " + Quoted(text) + off + "\n" + ListLines(d.Items(id), d.Selections(id));
    case ControlKind::kPushButton:
    case ControlKind::kOther:
      return "";
  }
  return "";
}

std::string RenderButtons(DialogDriver& d) {
  std::string out;
  int def = d.DefaultButton();
  for (Hwnd h : d.Controls()) {
    UserInterface& ui = d.ui();
    if (ui.GetControlKind(h) != ControlKind::kPushButton || !ui.IsWindowVisible(h)) continue;
    int id = ui.GetDlgCtrlID(h);
    out += "  [" + std::to_string(id) + "] <" + PlainText(ui.GetWindowText(h)) + ">";
    if (id == def) out += "*";
    if (!ui.IsWindowEnabled(h)) out += " (disabled)";
  }
  return out.empty() ? out : out + "\n";
}

// The button whose text, without mnemonics, is `name`.
int ButtonNamed(DialogDriver& d, const std::string& name) {
  for (Hwnd h : d.Controls()) {
    if (d.ui().GetControlKind(h) == ControlKind::kPushButton &&
        EqualsNoCase(PlainText(d.ui().GetWindowText(h)), name)) {
      return d.ui().GetDlgCtrlID(h);
    }
  }
  return 0;
}

// A bare identifier: clicks a button, toggles a check box, chooses a radio button.
bool Activate(DialogDriver& d, int id) {
  Hwnd h = d.Control(id);
  ControlKind kind = h ? d.ui().GetControlKind(h) : ControlKind::kOther;
  if (kind == ControlKind::kCheckBox) return d.Check(id, !d.IsChecked(id));
  if (kind == ControlKind::kRadioButton) return d.Check(id, true);
  return d.Click(id);
}

}  // namespace

const char* const kDialogHelp =
    "Type a button's number or name to press it, \"ID ITEM[,ITEM]\" to choose list items,\n"
    "\"ID=TEXT\" to type into a field, \"page N\" to turn the page, \"close\" to close;\n"
    "an empty line presses the button marked *.\n";

std::string PlainText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::string RenderMessageBox(const MessageBoxRequest& request) {
  std::string out = "--- " + request.caption;
  std::string_view icon = IconName(request.type);
  if (!icon.empty()) out += " (" + std::string(icon) + ")";
  out += " ---\n" + request.text + "\n";
  int def = MessageBoxDefault(request.type);
  std::vector<int> buttons = MessageBoxButtons(request.type);
  for (size_t i = 0; i < buttons.size(); ++i) {
    std::string name(AnswerName(buttons[i]));
    out += (i ? "  " : "") + std::to_string(i + 1) + ") [" + name.substr(0, 1) + "]" + name.substr(1);
    if (buttons[i] == def) out += "*";
  }
  return out + " > ";
}

int ParseAnswer(const std::string& line, const std::vector<int>& buttons, int fallback) {
  std::string answer = Trim(line);
  if (answer.empty()) return fallback;
  int number = 0;
  if (ParseNumber(answer, &number)) {
    return number >= 1 && number <= static_cast<int>(buttons.size()) ? buttons[static_cast<size_t>(number - 1)] : 0;
  }
  for (int b : buttons) {
    std::string name(AnswerName(b));
    if (EqualsNoCase(answer, name) || (answer.size() == 1 && EqualsNoCase(answer, name.substr(0, 1)))) {
      return b;
    }
  }
  return 0;
}

std::string RenderDialog(DialogDriver& d) {
  std::string out = "=== " + d.Caption();
  const DialogTemplate* t = d.Template();
  if (t && !t->id.isEmpty()) out += " [" + t->id.ToString() + "]";
  out += " ===\n";
  if (d.PageCount() > 0) {
    out += "  page " + std::to_string(d.CurrentPage() + 1) + " of " + std::to_string(d.PageCount()) + "\n";
  }
  for (Hwnd h : d.Controls()) {
    if (d.ui().IsWindowVisible(h)) out += RenderControl(d, h);
  }
  return out + RenderButtons(d);
}

bool ExecuteDialogCommand(DialogDriver& d, const std::string& line) {
  std::string command = Trim(line);
  if (command.empty()) {
    int def = d.DefaultButton();
    return def != 0 && d.Click(def);
  }
  if (EqualsNoCase(command, "close")) return d.Close();
  if (command.size() > 5 && EqualsNoCase(command.substr(0, 5), "page ")) {
    int page = 0;
    return ParseNumber(Trim(command.substr(5)), &page) && d.ShowPage(page - 1);
  }
  size_t equals = command.find('=');
  int id = 0;
  if (equals != std::string::npos) {
    return ParseNumber(Trim(command.substr(0, equals)), &id) && d.Type(id, command.substr(equals + 1));
  }
  size_t space = command.find(' ');
  if (space != std::string::npos && ParseNumber(command.substr(0, space), &id)) {
    std::vector<int> items;
    return ParseNumberList(Trim(command.substr(space + 1)), &items) && d.SelectMany(id, items);
  }
  if (ParseNumber(command, &id)) return Activate(d, id);
  int named = ButtonNamed(d, command);
  return named != 0 && d.Click(named);
}

int PercentOf(int low, int high, int position) {
  if (high <= low) return 0;
  long long done = static_cast<long long>(position) - low;
  return static_cast<int>(std::clamp(done * 100 / (static_cast<long long>(high) - low), 0LL, 100LL));
}

std::string RenderBar(const std::string& caption, int low, int high, int position, int width) {
  int percent = PercentOf(low, high, position);
  int filled = percent * width / 100;
  std::string bar = caption.empty() ? "[" : caption + " [";
  bar += std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), '.');
  std::string number = std::to_string(percent);
  return bar + "] " + std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
}

}  // namespace platform
