// The backend's entry points, under the prefix SANE's dll meta-backend looks up. Nothing else
// leaves the library (exports.map). No exception crosses an entry point.
#include <sane/sane.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "backend_config.h"
#include "backend_host.h"
#include "device_list.h"
#include "scanner_session.h"

#define SCANSUITE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace sanebackend;

constexpr SANE_Int kBuild = 1;

struct Backend {
  std::unique_ptr<BackendHost> host;
  std::vector<FoundScanner> found;
  std::vector<SANE_Device> devices;
  std::vector<const SANE_Device*> list;
  std::vector<std::unique_ptr<ScannerSession>> open;
};

std::mutex gMutex;  // guards gBackend and its lists
std::unique_ptr<Backend> gBackend;

// The session behind a handle, or null for a handle this backend did not give out.
ScannerSession* SessionOf(SANE_Handle handle) {
  if (!gBackend || handle == nullptr) return nullptr;
  for (const auto& s : gBackend->open) {
    if (s.get() == handle) return s.get();
  }
  return nullptr;
}

template <class F>
SANE_Status Guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return SANE_STATUS_NO_MEM;
  } catch (...) {
    return SANE_STATUS_IO_ERROR;
  }
}

}  // namespace

SCANSUITE_EXPORT SANE_Status sane_scansuite_init(SANE_Int* version, SANE_Auth_Callback) {
  return Guarded([&] {
    if (version) *version = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR, kBuild);
    std::lock_guard lock(gMutex);
    if (gBackend) return SANE_STATUS_GOOD;
    auto backend = std::make_unique<Backend>();
    const BackendConfig config =
        LoadConfig(ConfigFolders(std::getenv("SANE_CONFIG_DIR"), SCANSUITE_SANE_CONFIG_FOLDER));
    backend->host = TakeHost(config);
    gBackend = std::move(backend);
    return SANE_STATUS_GOOD;
  });
}

SCANSUITE_EXPORT void sane_scansuite_exit(void) {
  std::lock_guard lock(gMutex);
  try {
    if (gBackend) {
      gBackend->open.clear();  // closes what the front end left open
      ReturnHost(std::move(gBackend->host));
    }
    gBackend.reset();
  } catch (...) {
  }
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_get_devices(const SANE_Device*** list, SANE_Bool) {
  return Guarded([&] {
    if (list == nullptr) return SANE_STATUS_INVAL;
    std::lock_guard lock(gMutex);
    if (!gBackend) return SANE_STATUS_INVAL;
    Backend& b = *gBackend;
    b.list.clear();
    b.devices.clear();
    if (!FindScanners(*b.host, true, &b.found)) b.found.clear();  // no transport: no devices
    for (const FoundScanner& s : b.found) {
      b.devices.push_back({s.name.c_str(), s.vendor.c_str(), s.model.c_str(), s.type.c_str()});
    }
    for (const SANE_Device& d : b.devices) b.list.push_back(&d);
    b.list.push_back(nullptr);
    *list = b.list.data();
    return SANE_STATUS_GOOD;
  });
}

namespace {
// A device of the last list, bound where it was listed: front ends list before they open, and a
// search asks every target of every bus. Null when the name is not in the list or the device no
// longer answers as listed (gone, or another model in its place): the caller searches then.
template <class Named>
std::unique_ptr<ScannerSession> OpenAsListed(Backend& b, Named named) {
  auto it = std::find_if(b.found.begin(), b.found.end(), named);
  if (it == b.found.end()) return nullptr;
  PrepareForScanners(*b.host);
  SANE_Status status = SANE_STATUS_GOOD;
  auto session = ScannerSession::Open(*b.host, it->device, &status);
  if (!session || session->ModelName() != it->model) return nullptr;
  return session;
}
}  // namespace

SCANSUITE_EXPORT SANE_Status sane_scansuite_open(SANE_String_Const name, SANE_Handle* handle) {
  return Guarded([&] {
    if (handle == nullptr) return SANE_STATUS_INVAL;
    *handle = nullptr;
    std::lock_guard lock(gMutex);
    if (!gBackend) return SANE_STATUS_INVAL;
    const std::string wanted = name ? name : "";
    auto named = [&](const FoundScanner& s) { return wanted.empty() || s.name == wanted; };
    std::unique_ptr<ScannerSession> session = OpenAsListed(*gBackend, named);
    if (!session) {
      std::vector<FoundScanner> found;
      if (!FindScanners(*gBackend->host, false, &found)) return SANE_STATUS_IO_ERROR;
      auto it = std::find_if(found.begin(), found.end(), named);
      if (it == found.end()) return SANE_STATUS_INVAL;
      SANE_Status status = SANE_STATUS_GOOD;
      session = ScannerSession::Open(*gBackend->host, it->device, &status);
      if (!session) return status;
    }
    *handle = session.get();
    gBackend->open.push_back(std::move(session));
    return SANE_STATUS_GOOD;
  });
}

SCANSUITE_EXPORT void sane_scansuite_close(SANE_Handle handle) {
  std::unique_ptr<ScannerSession> closing;
  {
    std::lock_guard lock(gMutex);
    if (!gBackend) return;
    auto& open = gBackend->open;
    auto it = std::find_if(open.begin(), open.end(), [&](const auto& s) { return s.get() == handle; });
    if (it == open.end()) return;
    closing = std::move(*it);
    open.erase(it);
  }
  try {
    closing.reset();  // ends a scan in progress first
  } catch (...) {
  }
}

SCANSUITE_EXPORT const SANE_Option_Descriptor* sane_scansuite_get_option_descriptor(
    SANE_Handle handle, SANE_Int option) {
  std::lock_guard lock(gMutex);
  ScannerSession* s = SessionOf(handle);
  return s ? s->Descriptor(option) : nullptr;
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_control_option(SANE_Handle handle, SANE_Int option,
                                                           SANE_Action action, void* value,
                                                           SANE_Int* info) {
  return Guarded([&] {
    ScannerSession* s;
    {
      std::lock_guard lock(gMutex);
      s = SessionOf(handle);
    }
    return s ? s->ControlOption(option, action, value, info) : SANE_STATUS_INVAL;
  });
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_get_parameters(SANE_Handle handle,
                                                           SANE_Parameters* params) {
  return Guarded([&] {
    ScannerSession* s;
    {
      std::lock_guard lock(gMutex);
      s = SessionOf(handle);
    }
    return s ? s->GetParameters(params) : SANE_STATUS_INVAL;
  });
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_start(SANE_Handle handle) {
  return Guarded([&] {
    ScannerSession* s;
    {
      std::lock_guard lock(gMutex);
      s = SessionOf(handle);
    }
    return s ? s->Start() : SANE_STATUS_INVAL;
  });
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_read(SANE_Handle handle, SANE_Byte* data,
                                                 SANE_Int maxLength, SANE_Int* length) {
  return Guarded([&] {
    ScannerSession* s;
    {
      std::lock_guard lock(gMutex);
      s = SessionOf(handle);
    }
    if (s == nullptr) {
      if (length) *length = 0;
      return SANE_STATUS_INVAL;
    }
    return s->Read(data, maxLength, length);
  });
}

// May come from another thread or a signal handler: it takes no lock it could wait on.
SCANSUITE_EXPORT void sane_scansuite_cancel(SANE_Handle handle) {
  std::unique_lock lock(gMutex, std::try_to_lock);
  ScannerSession* s = lock.owns_lock() ? SessionOf(handle) : static_cast<ScannerSession*>(handle);
  if (lock.owns_lock()) lock.unlock();
  if (s == nullptr) return;
  try {
    s->Cancel();
  } catch (...) {
  }
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_set_io_mode(SANE_Handle handle, SANE_Bool nonBlocking) {
  return Guarded([&] {
    std::lock_guard lock(gMutex);
    ScannerSession* s = SessionOf(handle);
    return s ? s->SetIoMode(nonBlocking) : SANE_STATUS_INVAL;
  });
}

SCANSUITE_EXPORT SANE_Status sane_scansuite_get_select_fd(SANE_Handle handle, SANE_Int* fd) {
  return Guarded([&] {
    std::lock_guard lock(gMutex);
    ScannerSession* s = SessionOf(handle);
    return s ? s->GetSelectFd(fd) : SANE_STATUS_INVAL;
  });
}
