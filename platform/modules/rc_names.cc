// Names a resource script may use without defining them: the window system's styles and
// standard identifiers, and the window class names.
#include "rc_names.h"

#include <array>
#include <utility>

#include "platform/files/winpath.h"

namespace platform::rc {
namespace {

using Entry = std::pair<std::string_view, uint32_t>;

constexpr std::array kConstants = {
    // Window styles.
    Entry{"WS_OVERLAPPED", 0x0}, Entry{"WS_POPUP", 0x80000000u}, Entry{"WS_CHILD", 0x40000000u},
    Entry{"WS_MINIMIZE", 0x20000000u}, Entry{"WS_VISIBLE", 0x10000000u},
    Entry{"WS_DISABLED", 0x08000000u}, Entry{"WS_CLIPSIBLINGS", 0x04000000u},
    Entry{"WS_CLIPCHILDREN", 0x02000000u}, Entry{"WS_MAXIMIZE", 0x01000000u},
    Entry{"WS_CAPTION", 0x00C00000u}, Entry{"WS_BORDER", 0x00800000u},
    Entry{"WS_DLGFRAME", 0x00400000u}, Entry{"WS_VSCROLL", 0x00200000u},
    Entry{"WS_HSCROLL", 0x00100000u}, Entry{"WS_SYSMENU", 0x00080000u},
    Entry{"WS_THICKFRAME", 0x00040000u}, Entry{"WS_GROUP", 0x00020000u},
    Entry{"WS_TABSTOP", 0x00010000u}, Entry{"WS_MINIMIZEBOX", 0x00020000u},
    Entry{"WS_MAXIMIZEBOX", 0x00010000u}, Entry{"WS_OVERLAPPEDWINDOW", 0x00CF0000u},
    Entry{"WS_POPUPWINDOW", 0x80880000u}, Entry{"WS_CHILDWINDOW", 0x40000000u},
    Entry{"WS_EX_DLGMODALFRAME", 0x1}, Entry{"WS_EX_NOPARENTNOTIFY", 0x4},
    Entry{"WS_EX_TOPMOST", 0x8}, Entry{"WS_EX_ACCEPTFILES", 0x10},
    Entry{"WS_EX_TRANSPARENT", 0x20}, Entry{"WS_EX_TOOLWINDOW", 0x80},
    Entry{"WS_EX_WINDOWEDGE", 0x100}, Entry{"WS_EX_CLIENTEDGE", 0x200},
    Entry{"WS_EX_CONTEXTHELP", 0x400}, Entry{"WS_EX_RIGHT", 0x1000},
    Entry{"WS_EX_STATICEDGE", 0x20000}, Entry{"WS_EX_APPWINDOW", 0x40000},
    // Dialog styles.
    Entry{"DS_ABSALIGN", 0x1}, Entry{"DS_SYSMODAL", 0x2}, Entry{"DS_3DLOOK", 0x4},
    Entry{"DS_FIXEDSYS", 0x8}, Entry{"DS_NOFAILCREATE", 0x10}, Entry{"DS_LOCALEDIT", 0x20},
    Entry{"DS_SETFONT", 0x40}, Entry{"DS_MODALFRAME", 0x80}, Entry{"DS_NOIDLEMSG", 0x100},
    Entry{"DS_SETFOREGROUND", 0x200}, Entry{"DS_CONTROL", 0x400}, Entry{"DS_CENTER", 0x800},
    Entry{"DS_CENTERMOUSE", 0x1000}, Entry{"DS_CONTEXTHELP", 0x2000}, Entry{"DS_SHELLFONT", 0x48},
    // Static controls.
    Entry{"SS_LEFT", 0x0}, Entry{"SS_CENTER", 0x1}, Entry{"SS_RIGHT", 0x2}, Entry{"SS_ICON", 0x3},
    Entry{"SS_BLACKRECT", 0x4}, Entry{"SS_GRAYRECT", 0x5}, Entry{"SS_WHITERECT", 0x6},
    Entry{"SS_BLACKFRAME", 0x7}, Entry{"SS_GRAYFRAME", 0x8}, Entry{"SS_WHITEFRAME", 0x9},
    Entry{"SS_SIMPLE", 0xB}, Entry{"SS_LEFTNOWORDWRAP", 0xC}, Entry{"SS_BITMAP", 0xE},
    Entry{"SS_ETCHEDHORZ", 0x10}, Entry{"SS_ETCHEDVERT", 0x11}, Entry{"SS_ETCHEDFRAME", 0x12},
    Entry{"SS_NOPREFIX", 0x80}, Entry{"SS_NOTIFY", 0x100}, Entry{"SS_CENTERIMAGE", 0x200},
    Entry{"SS_SUNKEN", 0x1000},
    // Buttons.
    Entry{"BS_PUSHBUTTON", 0x0}, Entry{"BS_DEFPUSHBUTTON", 0x1}, Entry{"BS_CHECKBOX", 0x2},
    Entry{"BS_AUTOCHECKBOX", 0x3}, Entry{"BS_RADIOBUTTON", 0x4}, Entry{"BS_3STATE", 0x5},
    Entry{"BS_AUTO3STATE", 0x6}, Entry{"BS_GROUPBOX", 0x7}, Entry{"BS_USERBUTTON", 0x8},
    Entry{"BS_AUTORADIOBUTTON", 0x9}, Entry{"BS_PUSHBOX", 0xA}, Entry{"BS_OWNERDRAW", 0xB},
    Entry{"BS_LEFTTEXT", 0x20}, Entry{"BS_TEXT", 0x0}, Entry{"BS_ICON", 0x40},
    Entry{"BS_BITMAP", 0x80}, Entry{"BS_LEFT", 0x100}, Entry{"BS_RIGHT", 0x200},
    Entry{"BS_CENTER", 0x300}, Entry{"BS_TOP", 0x400}, Entry{"BS_BOTTOM", 0x800},
    Entry{"BS_VCENTER", 0xC00}, Entry{"BS_PUSHLIKE", 0x1000}, Entry{"BS_MULTILINE", 0x2000},
    Entry{"BS_NOTIFY", 0x4000}, Entry{"BS_FLAT", 0x8000},
    // Edits.
    Entry{"ES_LEFT", 0x0}, Entry{"ES_CENTER", 0x1}, Entry{"ES_RIGHT", 0x2},
    Entry{"ES_MULTILINE", 0x4}, Entry{"ES_UPPERCASE", 0x8}, Entry{"ES_LOWERCASE", 0x10},
    Entry{"ES_PASSWORD", 0x20}, Entry{"ES_AUTOVSCROLL", 0x40}, Entry{"ES_AUTOHSCROLL", 0x80},
    Entry{"ES_NOHIDESEL", 0x100}, Entry{"ES_OEMCONVERT", 0x400}, Entry{"ES_READONLY", 0x800},
    Entry{"ES_WANTRETURN", 0x1000}, Entry{"ES_NUMBER", 0x2000},
    // List boxes.
    Entry{"LBS_NOTIFY", 0x1}, Entry{"LBS_SORT", 0x2}, Entry{"LBS_NOREDRAW", 0x4},
    Entry{"LBS_MULTIPLESEL", 0x8}, Entry{"LBS_OWNERDRAWFIXED", 0x10},
    Entry{"LBS_OWNERDRAWVARIABLE", 0x20}, Entry{"LBS_HASSTRINGS", 0x40},
    Entry{"LBS_USETABSTOPS", 0x80}, Entry{"LBS_NOINTEGRALHEIGHT", 0x100},
    Entry{"LBS_MULTICOLUMN", 0x200}, Entry{"LBS_WANTKEYBOARDINPUT", 0x400},
    Entry{"LBS_EXTENDEDSEL", 0x800}, Entry{"LBS_DISABLENOSCROLL", 0x1000},
    Entry{"LBS_NODATA", 0x2000}, Entry{"LBS_NOSEL", 0x4000}, Entry{"LBS_STANDARD", 0xA00003u},
    // Combo boxes.
    Entry{"CBS_SIMPLE", 0x1}, Entry{"CBS_DROPDOWN", 0x2}, Entry{"CBS_DROPDOWNLIST", 0x3},
    Entry{"CBS_OWNERDRAWFIXED", 0x10}, Entry{"CBS_OWNERDRAWVARIABLE", 0x20},
    Entry{"CBS_AUTOHSCROLL", 0x40}, Entry{"CBS_OEMCONVERT", 0x80}, Entry{"CBS_SORT", 0x100},
    Entry{"CBS_HASSTRINGS", 0x200}, Entry{"CBS_NOINTEGRALHEIGHT", 0x400},
    Entry{"CBS_DISABLENOSCROLL", 0x800}, Entry{"CBS_UPPERCASE", 0x2000},
    Entry{"CBS_LOWERCASE", 0x4000},
    // Scroll bars, progress bars, up-down controls.
    Entry{"SBS_HORZ", 0x0}, Entry{"SBS_VERT", 0x1}, Entry{"PBS_SMOOTH", 0x1},
    Entry{"PBS_VERTICAL", 0x4}, Entry{"UDS_WRAP", 0x1}, Entry{"UDS_SETBUDDYINT", 0x2},
    Entry{"UDS_ALIGNRIGHT", 0x4}, Entry{"UDS_ALIGNLEFT", 0x8}, Entry{"UDS_AUTOBUDDY", 0x10},
    Entry{"UDS_ARROWKEYS", 0x20}, Entry{"UDS_HORZ", 0x40}, Entry{"UDS_NOTHOUSANDS", 0x80},
    // Standard identifiers.
    Entry{"IDOK", 1}, Entry{"IDCANCEL", 2}, Entry{"IDABORT", 3}, Entry{"IDRETRY", 4},
    Entry{"IDIGNORE", 5}, Entry{"IDYES", 6}, Entry{"IDNO", 7}, Entry{"IDCLOSE", 8},
    Entry{"IDHELP", 9}, Entry{"IDC_STATIC", 0xFFFFFFFFu},
};

using ClassEntry = std::pair<std::string_view, std::string_view>;

constexpr std::array kClasses = {
    ClassEntry{"BUTTON", "Button"},         ClassEntry{"STATIC", "Static"},
    ClassEntry{"EDIT", "Edit"},             ClassEntry{"LISTBOX", "ListBox"},
    ClassEntry{"COMBOBOX", "ComboBox"},     ClassEntry{"SCROLLBAR", "ScrollBar"},
    ClassEntry{"WC_BUTTON", "Button"},      ClassEntry{"WC_STATIC", "Static"},
    ClassEntry{"WC_EDIT", "Edit"},          ClassEntry{"WC_LISTBOX", "ListBox"},
    ClassEntry{"WC_COMBOBOX", "ComboBox"},  ClassEntry{"PROGRESS_CLASS", "msctls_progress32"},
    ClassEntry{"UPDOWN_CLASS", "msctls_updown32"},
};

}  // namespace

std::optional<uint32_t> KnownConstant(std::string_view name) {
  for (const Entry& e : kConstants) {
    if (e.first == name) return e.second;
  }
  return std::nullopt;
}

std::string ClassName(std::string_view name) {
  for (const ClassEntry& e : kClasses) {
    if (EqualsNoCase(e.first, name)) return std::string(e.second);
  }
  return std::string(name);
}

bool IsMemoryOption(std::string_view word) {
  for (std::string_view option : {"PRELOAD", "LOADONCALL", "MOVEABLE", "FIXED", "DISCARDABLE",
                                  "PURE", "IMPURE", "SHARED", "NONSHARED"}) {
    if (EqualsNoCase(word, option)) return true;
  }
  return false;
}

}  // namespace platform::rc
