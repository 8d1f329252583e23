// The supported models: which inquiry identities discovery admits, and the names, sensor types
// and buses it gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scancore/device_info.h"

namespace scancore {

inline constexpr size_t kVendorProductLength = 24;  // inquiry bytes 8-31

// Whether discovery takes a scanner with this vendor and product text (24 characters). The
// OEM models count only where the application's folder holds "Support.oem".
bool IsAdmitted(std::string_view vendorProduct, bool oemSupport);

// Name, sensor type and bus of an admitted scanner whose optical resolution is `resolution`.
// `stiSupport`: the application's folder holds "Support.sti", so the SCSI models are reached
// through the still-image layer.
DEVICEINFO NameModel(std::string_view vendorProduct, uint16_t resolution, bool stiSupport);

// The "Model.ini" section that lists this model's firmware images.
std::string_view FirmwareSection(std::string_view vendorProduct);

// The vendor and product text as the library treats it: the 24 bytes, up to a first NUL.
std::string VendorProductText(const uint8_t* inquiry);

}  // namespace scancore
