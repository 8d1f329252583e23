// List boxes and combo boxes: items, item data and selections.
#include <algorithm>
#include <cstring>

#include "platform/files/winpath.h"
#include "ui_internal.h"

namespace platform {
namespace {

std::string Arg(LParam l) { return l ? std::string(reinterpret_cast<const char*>(l)) : std::string(); }

bool InRange(const ListState& s, WParam index) { return index < s.items.size(); }

LResult Insert(ListState& s, size_t at, std::string text) {
  s.items.insert(s.items.begin() + static_cast<ptrdiff_t>(at), std::move(text));
  s.data.insert(s.data.begin() + static_cast<ptrdiff_t>(at), 0);
  s.selected.insert(s.selected.begin() + static_cast<ptrdiff_t>(at), false);
  if (s.current >= static_cast<int>(at)) ++s.current;
  return static_cast<LResult>(at);
}

// Sorted lists keep their items in order without regard to case; equal items keep arrival order.
LResult Add(ListState& s, std::string text, bool sorted) {
  size_t at = s.items.size();
  if (sorted) {
    auto it = std::upper_bound(s.items.begin(), s.items.end(), text,
                               [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
    at = static_cast<size_t>(it - s.items.begin());
  }
  return Insert(s, at, std::move(text));
}

LResult InsertAt(ListState& s, WParam index, std::string text) {
  if (static_cast<intptr_t>(index) == -1) return Insert(s, s.items.size(), std::move(text));
  if (index > s.items.size()) return LB_ERR;
  return Insert(s, index, std::move(text));
}

LResult Delete(ListState& s, WParam index) {
  if (!InRange(s, index)) return LB_ERR;
  auto at = static_cast<ptrdiff_t>(index);
  s.items.erase(s.items.begin() + at);
  s.data.erase(s.data.begin() + at);
  s.selected.erase(s.selected.begin() + at);
  if (s.current == static_cast<int>(index)) s.current = -1;
  else if (s.current > static_cast<int>(index)) --s.current;
  return static_cast<LResult>(s.items.size());
}

void Reset(ListState& s) {
  s.items.clear();
  s.data.clear();
  s.selected.clear();
  s.current = -1;
}

// The first item after `start` (wrapping round) that begins with `text`, or equals it.
LResult Find(const ListState& s, WParam start, const std::string& text, bool exact) {
  size_t n = s.items.size();
  if (n == 0) return LB_ERR;
  size_t first = static_cast<intptr_t>(start) < 0 || start >= n ? 0 : start + 1;
  for (size_t k = 0; k < n; ++k) {
    const std::string& item = s.items[(first + k) % n];
    bool hit = exact ? EqualsNoCase(item, text)
                     : item.size() >= text.size() && EqualsNoCase(item.substr(0, text.size()), text);
    if (hit) return static_cast<LResult>((first + k) % n);
  }
  return LB_ERR;
}

LResult CopyItem(const ListState& s, WParam index, LParam buffer) {
  if (!InRange(s, index)) return LB_ERR;
  const std::string& item = s.items[index];
  if (buffer) std::memcpy(reinterpret_cast<char*>(buffer), item.c_str(), item.size() + 1);
  return static_cast<LResult>(item.size());
}

// Messages list and combo boxes share, with the list box numbering; -2 when not one of them.
LResult CommonListMessage(ListState& s, bool sorted, uint32_t msg, WParam w, LParam l) {
  switch (msg) {
    case LB_ADDSTRING: return Add(s, Arg(l), sorted);
    case LB_INSERTSTRING: return InsertAt(s, w, Arg(l));
    case LB_DELETESTRING: return Delete(s, w);
    case LB_RESETCONTENT: Reset(s); return 0;
    case LB_GETCOUNT: return static_cast<LResult>(s.items.size());
    case LB_GETTEXT: return CopyItem(s, w, l);
    case LB_GETTEXTLEN: return InRange(s, w) ? static_cast<LResult>(s.items[w].size()) : LB_ERR;
    case LB_FINDSTRING: return Find(s, w, Arg(l), false);
    case LB_FINDSTRINGEXACT: return Find(s, w, Arg(l), true);
    case LB_GETITEMDATA: return InRange(s, w) ? s.data[w] : LB_ERR;
    case LB_SETITEMDATA:
      if (!InRange(s, w)) return LB_ERR;
      s.data[w] = l;
      return 0;
    default: return -2;
  }
}

bool MultiSelect(const Window& w) { return (w.style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

LResult SetCurrent(ListState& s, WParam index) {
  if (!InRange(s, index)) {
    s.current = -1;
    return LB_ERR;
  }
  s.current = static_cast<int>(index);
  return static_cast<LResult>(index);
}

LResult SetSel(ListState& s, WParam select, LParam index) {
  if (index == -1) {
    std::fill(s.selected.begin(), s.selected.end(), select != 0);
    return 0;
  }
  if (index < 0 || !InRange(s, static_cast<WParam>(index))) return LB_ERR;
  s.selected[static_cast<size_t>(index)] = select != 0;
  s.current = static_cast<int>(index);
  return 0;
}

LResult SelectionMessage(Window& box, uint32_t msg, WParam w, LParam l) {
  ListState& s = box.list;
  bool multi = MultiSelect(box);
  switch (msg) {
    case LB_SETCURSEL: return multi ? LB_ERR : SetCurrent(s, w);
    case LB_GETCURSEL: return s.current;
    case LB_SETSEL: return multi ? SetSel(s, w, l) : LB_ERR;
    case LB_GETSEL:
      if (!InRange(s, w)) return LB_ERR;
      return multi ? (s.selected[w] ? 1 : 0) : (s.current == static_cast<int>(w) ? 1 : 0);
    case LB_GETSELCOUNT:
      return multi ? static_cast<LResult>(std::count(s.selected.begin(), s.selected.end(), true)) : LB_ERR;
    case LB_GETSELITEMS: {
      int* out = reinterpret_cast<int*>(l);
      if (!multi || (!out && w > 0)) return LB_ERR;
      LResult n = 0;
      for (size_t i = 0; i < s.selected.size() && static_cast<WParam>(n) < w; ++i) {
        if (s.selected[i]) out[n++] = static_cast<int>(i);
      }
      return n;
    }
    case LB_SELECTSTRING: {
      if (multi) return LB_ERR;
      LResult found = Find(s, w, Arg(l), false);
      if (found != LB_ERR) s.current = static_cast<int>(found);
      return found;
    }
    default: return -2;
  }
}

// Combo box messages in their own numbering, mapped onto the list box ones.
uint32_t ComboToList(uint32_t msg) {
  switch (msg) {
    case CB_ADDSTRING: return LB_ADDSTRING;
    case CB_INSERTSTRING: return LB_INSERTSTRING;
    case CB_DELETESTRING: return LB_DELETESTRING;
    case CB_RESETCONTENT: return LB_RESETCONTENT;
    case CB_GETCOUNT: return LB_GETCOUNT;
    case CB_GETLBTEXT: return LB_GETTEXT;
    case CB_GETLBTEXTLEN: return LB_GETTEXTLEN;
    case CB_FINDSTRING: return LB_FINDSTRING;
    case CB_FINDSTRINGEXACT: return LB_FINDSTRINGEXACT;
    case CB_GETITEMDATA: return LB_GETITEMDATA;
    case CB_SETITEMDATA: return LB_SETITEMDATA;
    default: return 0;
  }
}

void ShowSelection(ListState& s) {
  s.editText = s.current >= 0 ? s.items[static_cast<size_t>(s.current)] : std::string();
}

}  // namespace

LResult ListBoxMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* box = UiInternal::FindQuiet(ui, self);
  if (!box) return 0;
  LResult r = CommonListMessage(box->list, (box->style & LBS_SORT) != 0, msg, w, l);
  if (r != -2) return r;
  r = SelectionMessage(*box, msg, w, l);
  if (r != -2) return r;
  return ui.DefWindowProc(self, msg, w, l);
}

LResult ComboBoxMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* box = UiInternal::FindQuiet(ui, self);
  if (!box) return 0;
  ListState& s = box->list;
  if (uint32_t listMsg = ComboToList(msg)) {
    LResult r = CommonListMessage(s, (box->style & CBS_SORT) != 0, listMsg, w, l);
    if (listMsg == LB_DELETESTRING || listMsg == LB_RESETCONTENT) ShowSelection(s);
    return r;
  }
  switch (msg) {
    case CB_GETCURSEL: return s.current;
    case CB_SETCURSEL: {
      LResult r = SetCurrent(s, w);
      ShowSelection(s);
      UiInternal::TextChanged(ui, self);
      return r;
    }
    case CB_SELECTSTRING: {
      LResult found = Find(s, w, Arg(l), false);
      if (found == CB_ERR) return CB_ERR;
      s.current = static_cast<int>(found);
      ShowSelection(s);
      return found;
    }
    case WM_SETTEXT:
      s.editText = Arg(l);
      UiInternal::TextChanged(ui, self);
      return 1;
    case WM_GETTEXT: return CopyOut(s.editText, reinterpret_cast<char*>(l), w);
    case WM_GETTEXTLENGTH: return static_cast<LResult>(s.editText.size());
    default: return ui.DefWindowProc(self, msg, w, l);
  }
}

LResult EditMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* edit = UiInternal::FindQuiet(ui, self);
  if (!edit) return 0;
  switch (msg) {
    case WM_SETTEXT: {
      // A limit set with EM_LIMITTEXT binds a person's typing, not the program's own text.
      ui.DefWindowProc(self, msg, w, l);
      UiInternal::Notify(ui, self, EN_CHANGE);
      return 1;
    }
    case EM_LIMITTEXT:
      edit->textLimit = w;
      return 0;
    default:
      return ui.DefWindowProc(self, msg, w, l);
  }
}

}  // namespace platform
