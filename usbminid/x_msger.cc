#include "x_msger.h"

#include <cstdio>
#include <cstring>

namespace usbminid {

namespace {
char kEmpty[1] = "";
constexpr size_t kScratch = 512;  // the formatted text is cut to this, terminator included
}  // namespace

XMsger::XMsger() : text_(kEmpty) {}

XMsger::XMsger(const char* format, ...) : text_(kEmpty) {
  va_list args;
  va_start(args, format);
  SetFormatted(format, args);
  va_end(args);
}

void XMsger::SetFormatted(const char* format, va_list args) {
  char scratch[kScratch];
  std::vsnprintf(scratch, sizeof scratch, format, args);
  Free();
  Keep(scratch);
}

XMsger::XMsger(const XMsger& other) : text_(kEmpty) { Keep(other.text_); }

XMsger& XMsger::operator=(const XMsger& other) {
  if (this != &other) {
    Free();
    Keep(other.text_);
  }
  return *this;
}

XMsger::~XMsger() { Free(); }

void XMsger::Keep(const char* text) {
  if (text[0] == '\0') {
    text_ = kEmpty;
    return;
  }
  size_t n = std::strlen(text);
  text_ = new char[n + 1];
  std::memcpy(text_, text, n + 1);
}

void XMsger::Free() {
  if (text_ != kEmpty) delete[] text_;
  text_ = kEmpty;
}

bool XMsger::GetErrorMessage(char* buffer, size_t size) const {
  if (buffer == nullptr || size == 0) return true;
  std::snprintf(buffer, size, "%s", text_);
  return true;
}

#define USBMINID_EXCEPTION_CTOR(Name)        \
  Name::Name(const char* format, ...) {      \
    va_list args;                            \
    va_start(args, format);                  \
    SetFormatted(format, args);              \
    va_end(args);                            \
  }
USBMINID_EXCEPTION_CTOR(XStiUsdAdaptor)
USBMINID_EXCEPTION_CTOR(XGA1015)
USBMINID_EXCEPTION_CTOR(XScanner)
#undef USBMINID_EXCEPTION_CTOR

}  // namespace usbminid
