// Host-adapter inquiries: the manager and adapter names, and the largest transfer.
#include <algorithm>
#include <cstring>

#include "platform/files/winpath.h"
#include "scancore/interface.h"

namespace {

// A fixed 16-character field, up to its first NUL.
std::string FieldText(const uint8_t* field, size_t size) {
  const auto* begin = reinterpret_cast<const char*>(field);
  return std::string(begin, std::find(begin, begin + size, '\0'));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Adapters whose drivers report their own limit, which is honoured up to 128 KB.
constexpr std::string_view kLimitedAdapters[] = {"dtc328x", "sparrow", "rqb4820d", "wlq4820s"};
// The parallel and still-image layers move up to 4 MB per command.
constexpr std::string_view kLargeTransferAdapters[] = {"eppscsi", "stiaspi"};

}  // namespace

bool CInterface::HostAdapterInquiry(platform::SRB_HAInquiry* srb) {
  std::memset(srb, 0, sizeof *srb);
  srb->SRB_Cmd = platform::SC_HA_INQUIRY;
  srb->SRB_HaId = adapter_;
  if (!sendCommand_) return false;
  return sendCommand_(srb) == platform::SS_COMP;
}

std::string CInterface::GetManagerId() {
  platform::SRB_HAInquiry srb;
  if (!HostAdapterInquiry(&srb)) return {};
  return FieldText(srb.HA_ManagerId, sizeof srb.HA_ManagerId);
}

std::string CInterface::GetAdapterIdentifier() {
  platform::SRB_HAInquiry srb;
  if (!HostAdapterInquiry(&srb)) return {};
  return FieldText(srb.HA_Identifier, sizeof srb.HA_Identifier);
}

uint32_t CInterface::GetMaxTransfer() {
  platform::SRB_HAInquiry srb;
  if (!HostAdapterInquiry(&srb)) return 0x10000;
  const std::string id = FieldText(srb.HA_Identifier, sizeof srb.HA_Identifier);
  for (std::string_view prefix : kLimitedAdapters) {
    if (!StartsWith(id, prefix)) continue;
    const uint8_t* u = srb.HA_Unique + 4;
    const uint32_t reported = u[0] | (u[1] << 8) | (u[2] << 16) | (uint32_t{u[3]} << 24);
    return std::min<uint32_t>(0x20000, reported);
  }
  for (std::string_view prefix : kLargeTransferAdapters) {
    if (StartsWithNoCase(id, prefix)) return 0x400000;
  }
  return 0x10000;
}
