// The minidriver's exceptions: one class per layer, each carrying one message text. A layer
// catches the class of the layer below and throws its own with its own text, so a failure
// reaches the top with the text of the highest layer that handled it.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace usbminid {

class XMsger {
 public:
  XMsger();  // no text: the shared empty string
  explicit XMsger(const char* format, ...) __attribute__((format(printf, 2, 3)));
  XMsger(const XMsger& other);
  XMsger& operator=(const XMsger& other);
  virtual ~XMsger();

  // Copies the text into `buffer` (cut to size - 1 characters and terminated); true.
  bool GetErrorMessage(char* buffer, size_t size) const;
  // Reporting to the user is left to the caller's diagnostic record; true.
  bool ReportError() const { return true; }
  const char* text() const { return text_; }

 protected:
  // Formats into the 512-byte scratch buffer and keeps an exact-size copy.
  void SetFormatted(const char* format, va_list args);

 private:
  void Keep(const char* text);
  void Free();
  char* text_;
};

#define USBMINID_EXCEPTION(Name)                                                        \
  class Name : public XMsger {                                                          \
   public:                                                                              \
    Name() = default;                                                                   \
    explicit Name(const char* format, ...) __attribute__((format(printf, 2, 3)));       \
  };
USBMINID_EXCEPTION(XStiUsdAdaptor)
USBMINID_EXCEPTION(XGA1015)
USBMINID_EXCEPTION(XScanner)
#undef USBMINID_EXCEPTION

}  // namespace usbminid
