// Dialog templates: the layout a dialog is made from, as a resource script describes it or as a
// program builds it in code. The window system creates one control per entry, addressed by its
// identifier.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A resource is named by a 16-bit number or by a name; names match without regard to case, and
// the name "#123" stands for the number 123, as the resource functions read it.
class ResourceId {
 public:
  ResourceId() = default;
  ResourceId(uint32_t number) : number_(number) {}  // NOLINT: ids are written as plain numbers
  ResourceId(int number) : number_(static_cast<uint32_t>(number)) {}  // NOLINT
  ResourceId(std::string_view name);                                 // NOLINT
  ResourceId(const char* name) : ResourceId(std::string_view(name)) {}  // NOLINT
  ResourceId(const std::string& name) : ResourceId(std::string_view(name)) {}  // NOLINT

  bool isName() const { return !name_.empty(); }
  bool isEmpty() const { return name_.empty() && number_ == 0; }
  uint32_t number() const { return number_; }
  const std::string& name() const { return name_; }
  std::string ToString() const;  // "123" or the name
  bool operator==(const ResourceId& other) const;

 private:
  uint32_t number_ = 0;
  std::string name_;
};

// What a control behaves as, from its window class and style.
enum class ControlKind {
  kStatic,
  kPushButton,   // push buttons, default push buttons included
  kCheckBox,     // two- and three-state check boxes, automatic or not
  kRadioButton,
  kGroupBox,
  kEdit,
  kListBox,
  kComboBox,
  kProgressBar,
  kUpDown,
  kOther,        // a class the window system does not model: it keeps a text only
};
ControlKind ControlKindOf(std::string_view className, uint32_t style);
std::string_view ControlKindName(ControlKind kind);

struct ControlTemplate {
  std::string className;  // "Button", "Static", "Edit", "ListBox", "ComboBox", "msctls_progress32"
  std::string text;
  int id = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int line = 0;                      // where a resource script declared it; 0 when made in code

  ControlKind kind() const { return ControlKindOf(className, style); }
};

struct DialogTemplate {
  ResourceId id;
  std::string caption;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string fontFace;
  int fontSize = 0;
  bool extended = false;  // DIALOGEX
  std::vector<ControlTemplate> controls;

  // The first control with this identifier, or null.
  const ControlTemplate* Control(int controlId) const;
  // A name for messages: the id, then the caption in quotes.
  std::string Describe() const;
};

}  // namespace platform
