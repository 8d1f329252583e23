// What a caller of the USB still-image minidriver needs besides the still-image interfaces: its
// class identifier, its module name and its one vendor escape.
#pragma once

#include <cstdint>

#include "platform/com/com.h"

namespace usbminid {

// {597561AA-4AC6-11D1-B87D-0000E82D3234}
inline constexpr platform::com::CLSID CLSID_UsbMiniDriver = {
    0x597561AA, 0x4AC6, 0x11D1, {0xB8, 0x7D, 0x00, 0x00, 0xE8, 0x2D, 0x32, 0x34}};
inline constexpr const char* kModuleName = "usbminid.dll";

// IStiUSD::Escape with this code copies the last successful self test's page, kTestWidth x
// kTestLines gray bytes, top line first.
inline constexpr uint32_t kEscapeSelfTestPage = 0x00010001;
inline constexpr int kTestWidth = 850;
inline constexpr int kTestLines = 1150;

}  // namespace usbminid
