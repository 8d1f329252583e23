// CScanCore: construction, copies, the version and error queries.
#include "scancore/scan_core.h"
#include "services.h"

#include <cstring>

#include "identity.h"
#include "library_state.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "scancore/error_codes.h"

using namespace scancore;

// The one place where the library meets the host: its services are taken here, once per process
// (LibraryState), and handed down from here.
CScanCore::CScanCore(std::string basePath)
    : library_(&LibraryState::Of(platform::Host::Current())),
      errorCode_(kNoError),
      basePath_(std::move(basePath)) {}

// Copies share the bound transport; the shared owner frees it with the last of them.
CScanCore::CScanCore(const CScanCore& other) = default;
CScanCore& CScanCore::operator=(const CScanCore& other) = default;
CScanCore::~CScanCore() = default;

const ScanCoreServices& CScanCore::services() const { return library_->services(); }

void CScanCore::GetVersion(std::string& version) { version = library_->String(kStrVersion); }

uint32_t CScanCore::GetErrorCode() {
  const uint32_t code = errorCode_;
  errorCode_ = kNoError;
  return code;
}

int CScanCore::Fail(uint32_t code) {
  errorCode_ = code;
  return 0;
}

int CScanCore::FailFrom(CInterface& transport) { return Fail(transport.TakeLastError()); }

std::string CScanCore::GetFwVersion() {
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_ || !transport_->Inquiry(inquiry, kIdentityLength)) return {};
  return FirmwareVersion(inquiry);
}

std::string CScanCore::GetFwDate() {
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_ || !transport_->Inquiry(inquiry, kIdentityLength)) return {};
  return FirmwareDate(inquiry);
}

// The base folder is a Windows path, or a host path when it starts with "/".
std::string CScanCore::FilePath(std::string_view relative) const {
  std::string path = basePath_;
  if (!path.empty() && path.front() == '/') {
    std::string hostRelative(relative);
    for (char& c : hostRelative) {
      if (c == '\\') c = '/';
    }
    if (path.back() != '/') path += '/';
    return path + hostRelative;
  }
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + std::string(relative);
}

// Only whether the marker opens matters; its content is never read.
static int MarkerOpens(platform::FileSystem& files, const std::string& path) {
  return platform::File::Open(files, path, platform::File::Mode::kRead) ? 1 : 0;
}

int CScanCore::CheckSupportOEM() { return MarkerOpens(services().files, FilePath("Support.oem")); }

int CScanCore::CheckSupportSTISCSI() {
  return MarkerOpens(services().files, FilePath("Support.sti"));
}
