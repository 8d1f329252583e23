// Resource identifiers, control kinds and the dialog template's lookups.
#include "platform/modules/dialog_template.h"

#include <cctype>

#include "platform/ui/ui_constants.h"
#include "platform/files/winpath.h"

namespace platform {
namespace {

// "#123" names the number 123; anything else is a name.
bool ParseNumberName(std::string_view name, uint32_t* number) {
  if (name.size() < 2 || name.size() > 6 || name[0] != '#') return false;
  uint32_t v = 0;
  for (char c : name.substr(1)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v > 0xFFFF) return false;
  *number = v;
  return true;
}

}  // namespace

ResourceId::ResourceId(std::string_view name) {
  if (!ParseNumberName(name, &number_)) name_ = std::string(name);
}

std::string ResourceId::ToString() const { return isName() ? name_ : std::to_string(number_); }

bool ResourceId::operator==(const ResourceId& other) const {
  if (isName() != other.isName()) return false;
  return isName() ? EqualsNoCase(name_, other.name_) : number_ == other.number_;
}

ControlKind ControlKindOf(std::string_view className, uint32_t style) {
  if (EqualsNoCase(className, kButtonClass)) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
        return ControlKind::kCheckBox;
      case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
        return ControlKind::kRadioButton;
      case BS_GROUPBOX:
        return ControlKind::kGroupBox;
      default:
        return ControlKind::kPushButton;
    }
  }
  if (EqualsNoCase(className, kStaticClass)) return ControlKind::kStatic;
  if (EqualsNoCase(className, kEditClass)) return ControlKind::kEdit;
  if (EqualsNoCase(className, kListBoxClass)) return ControlKind::kListBox;
  if (EqualsNoCase(className, kComboBoxClass)) return ControlKind::kComboBox;
  if (EqualsNoCase(className, kProgressClass)) return ControlKind::kProgressBar;
  if (EqualsNoCase(className, kUpDownClass)) return ControlKind::kUpDown;
  return ControlKind::kOther;
}

std::string_view ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kStatic: return "text";
    case ControlKind::kPushButton: return "button";
    case ControlKind::kCheckBox: return "check box";
    case ControlKind::kRadioButton: return "radio button";
    case ControlKind::kGroupBox: return "group box";
    case ControlKind::kEdit: return "edit";
    case ControlKind::kListBox: return "list";
    case ControlKind::kComboBox: return "combo box";
    case ControlKind::kProgressBar: return "progress bar";
    case ControlKind::kUpDown: return "up-down";
    case ControlKind::kOther: return "control";
  }
  return "control";
}

const ControlTemplate* DialogTemplate::Control(int controlId) const {
  for (const ControlTemplate& c : controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}

std::string DialogTemplate::Describe() const {
  std::string out = id.isEmpty() ? std::string() : id.ToString();
  if (!caption.empty()) out += (out.empty() ? "\"" : " \"") + caption + "\"";
  return out.empty() ? "(untitled)" : out;
}

}  // namespace platform
