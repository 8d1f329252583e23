// Conversions between the kernel's 16-bit names and the platform's text, for ASCII names.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/wdm.h"

namespace platform {

std::string NarrowName(const UNICODE_STRING* name);
// A UNICODE_STRING owning its buffer.
struct OwnedUnicode {
  std::u16string text;
  UNICODE_STRING string;
  explicit OwnedUnicode(std::string_view narrow);
};

}  // namespace platform
