// Controls with a range and a position: progress bars and up-down controls.
#include <algorithm>
#include <cstdio>
#include <string>

#include "ui_internal.h"

namespace platform {
namespace {

int AsInt(uintptr_t v) { return static_cast<int>(static_cast<intptr_t>(v)); }

int Clamp(const RangeState& r, int value) {
  int lo = std::min(r.low, r.high);
  int hi = std::max(r.low, r.high);
  return std::clamp(value, lo, hi);
}

LResult PackedRange(const RangeState& r) {
  return MakeLParam(static_cast<uint16_t>(r.low), static_cast<uint16_t>(r.high));
}

// Sets the range and keeps the position inside it; returns the previous range packed in words.
LResult SetProgressRange(RangeState& r, int low, int high) {
  LResult old = PackedRange(r);
  r.low = low;
  r.high = high;
  r.position = Clamp(r, r.position);
  return old;
}

// The position after a step: past the end the bar starts over from the beginning.
int Stepped(const RangeState& r) {
  long next = static_cast<long>(r.position) + r.step;
  if (next > r.high) return r.low;
  if (next < r.low) return r.high;
  return static_cast<int>(next);
}

bool IsProgressChange(uint32_t msg) {
  return msg == PBM_SETRANGE || msg == PBM_SETRANGE32 || msg == PBM_SETPOS ||
         msg == PBM_DELTAPOS || msg == PBM_SETSTEP || msg == PBM_STEPIT;
}

LResult ProgressChange(RangeState& r, uint32_t msg, WParam w, LParam l, bool* changed) {
  RangeState before = r;
  LResult result = 0;
  switch (msg) {
    case PBM_SETRANGE: result = SetProgressRange(r, LoWord(l), HiWord(l)); break;
    case PBM_SETRANGE32: result = SetProgressRange(r, AsInt(w), static_cast<int>(l)); break;
    case PBM_SETPOS: result = r.position; r.position = Clamp(r, AsInt(w)); break;
    case PBM_DELTAPOS: result = r.position; r.position = Clamp(r, r.position + AsInt(w)); break;
    case PBM_SETSTEP: result = r.step; r.step = AsInt(w); break;
    case PBM_STEPIT: result = r.position; r.position = Stepped(r); break;
    default: break;
  }
  *changed = before.low != r.low || before.high != r.high || before.position != r.position;
  return result;
}

void ShowInBuddy(UserInterface& ui, const Window& updown) {
  if (!(updown.style & UDS_SETBUDDYINT) || !updown.range.buddy) return;
  int pos = updown.range.position;
  char text[32];
  if (updown.range.base == 16) std::snprintf(text, sizeof text, "0x%04X", pos & 0xFFFF);
  else std::snprintf(text, sizeof text, "%d", pos);
  ui.SetWindowText(updown.range.buddy, text);
}

}  // namespace

LResult ProgressMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* bar = UiInternal::FindQuiet(ui, self);
  if (!bar) return 0;
  RangeState& r = bar->range;
  if (msg == PBM_GETPOS) return r.position;
  if (msg == PBM_GETRANGE) {
    if (l) *reinterpret_cast<PBRange*>(l) = PBRange{r.low, r.high};
    return w ? r.low : r.high;
  }
  if (!IsProgressChange(msg)) return ui.DefWindowProc(self, msg, w, l);
  bool changed = false;
  LResult result = ProgressChange(r, msg, w, l, &changed);
  if (changed) UiInternal::Progress(ui, self, r);
  return result;
}

LResult UpDownMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* ud = UiInternal::FindQuiet(ui, self);
  if (!ud) return 0;
  RangeState& r = ud->range;
  switch (msg) {
    case UDM_SETRANGE:  // upper limit in the low word
      r.high = static_cast<int16_t>(LoWord(l));
      r.low = static_cast<int16_t>(HiWord(l));
      r.position = Clamp(r, r.position);
      return 0;
    case UDM_GETRANGE:
      return MakeLParam(static_cast<uint16_t>(r.high), static_cast<uint16_t>(r.low));
    case UDM_SETRANGE32:
      r.low = AsInt(w);
      r.high = static_cast<int>(l);
      r.position = Clamp(r, r.position);
      return 0;
    case UDM_GETRANGE32:
      if (w) *reinterpret_cast<int*>(w) = r.low;
      if (l) *reinterpret_cast<int*>(l) = r.high;
      return 0;
    case UDM_SETPOS: {
      LResult old = r.position;
      r.position = Clamp(r, static_cast<int16_t>(LoWord(l)));
      ShowInBuddy(ui, *ud);
      return old;
    }
    case UDM_GETPOS:
      return MakeLParam(static_cast<uint16_t>(r.position), 0);
    case UDM_SETBUDDY: {
      LResult old = static_cast<LResult>(r.buddy);
      r.buddy = static_cast<Hwnd>(w);
      ShowInBuddy(ui, *ud);
      return old;
    }
    case UDM_GETBUDDY:
      return static_cast<LResult>(r.buddy);
    case UDM_SETBASE: {
      if (w != 10 && w != 16) return 0;
      LResult old = r.base;
      r.base = static_cast<int>(w);
      return old;
    }
    case UDM_GETBASE:
      return r.base;
    default:
      return ui.DefWindowProc(self, msg, w, l);
  }
}

}  // namespace platform
