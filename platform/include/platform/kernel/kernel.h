// The kernel-mode layer of one host: the I/O manager's objects (drivers, named devices,
// symbolic links), the accounted non-paged pool, the system worker thread, the bug checks, and
// the buses and Plug and Play manager that kernel subsystems attach. Drivers reach it through
// the interfaces of wdm.h, which act on the kernel of the current host.
//
// Pool is counted per tag; a test checks Kernel::PoolBlocks("Wdm ") after unloading a driver.
// Bug checks go to the handler: the default prints the check and aborts the process (a driver
// fault in a program is fatal, as on Windows); the GoogleTest glue of kernel tests records it as
// a failure naming the check, so the test that caused it fails by name.
//
// Threads: every member may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/host/host.h"
#include "platform/kernel/wdm.h"

namespace platform {

// The fault point that pool allocations check, one point per tag under it: "kernel.pool.Wdm"
// for the tag "Wdm " (trailing blanks dropped), with the tag's four characters as the subject.
inline constexpr std::string_view kFaultKernelPool = "kernel.pool";

struct BugCheck {
  ULONG code = 0;
  std::string name;  // "MULTIPLE_IRP_COMPLETE_REQUESTS", ...
  std::string detail;
};
using BugCheckHandler = std::function<void(const BugCheck& check)>;

// Something the kernel shuts down before itself (a bus with its thread, the PnP manager).
class KernelPart {
 public:
  virtual ~KernelPart() = default;
  virtual void Shutdown() {}
  // Parts that take the devices' stacks down (the PnP manager) go before the buses under them.
  virtual bool ShutsDownFirst() const { return false; }
};

class Kernel : public HostService {
 public:
  explicit Kernel(Host& host);
  ~Kernel() override;

  // The kernel of `host`, made on first use.
  static Kernel& Of(Host& host);
  // The kernel the calling thread works for: the one a KernelScope names (the kernel's own
  // threads, and every call the kernel makes into a driver), else the current host's.
  static Kernel& Current();

  Host& host() { return host_; }
  Clock& clock();
  // Alive until the kernel starts going: a handle closed later has no device left to tell.
  std::weak_ptr<int> Alive() const { return alive_; }

  // --- Pool ---
  void* Allocate(size_t bytes, ULONG tag);
  void Free(void* block, bool checkTag = false, ULONG tag = 0);
  size_t PoolBlocks(std::string_view tag) const;  // blocks now allocated with this tag
  size_t PoolBytes(std::string_view tag) const;
  static std::string TagText(ULONG tag);

  // --- Bug checks ---
  void SetBugCheckHandler(BugCheckHandler handler);  // null: the default (print and abort)
  void RaiseBugCheck(ULONG code, std::string detail);
  std::vector<BugCheck> BugChecks() const;
  // Replaces the handler of every kernel made from now on (the GoogleTest glue calls it).
  static void SetDefaultBugCheckHandler(BugCheckHandler handler);

  // --- Named objects ---
  // The device registered under "\Device\NAME" (case-insensitive), or null.
  DEVICE_OBJECT* NamedDevice(std::string_view name) const;
  bool AddNamedDevice(const std::string& name, DEVICE_OBJECT* device);
  void RemoveDevice(DEVICE_OBJECT* device);
  bool AddLink(const std::string& link, const std::string& device);
  bool RemoveLink(const std::string& link);
  std::string LinkTarget(std::string_view link) const;  // empty when there is none

  // --- Work items ---
  void QueueWork(std::function<void()> work);
  // Runs `work` on the I/O manager's own thread, apart from the drivers' work items: what a
  // completion thread hands off (a handle's last close) may wait for those.
  void QueueDeferred(std::function<void()> work);
  // Waits until every work item and deferred piece queued so far has run (tests, unload).
  void DrainWork();

  // Threads that complete requests (the buses') must never wait for a request themselves: what
  // would wait there (a handle's last close) is handed to the worker thread instead.
  static void MarkCompletionThread();
  static bool OnCompletionThread();

  // --- The cancel spin lock ---
  void AcquireCancelLock();
  void ReleaseCancelLock();

  // --- Parts attached by kernel subsystems (the USB bus, the PnP manager), shut down first,
  // in the reverse order of attaching. ---
  template <class T, class Make>
  T& FindOrAddPart(Make make) {
    std::lock_guard lock(partsMutex_);
    for (auto& p : parts_) {
      if (auto* t = dynamic_cast<T*>(p.get())) return *t;
    }
    parts_.push_back(make());
    return static_cast<T&>(*parts_.back());
  }
  template <class T>
  T* FindPart() {
    std::lock_guard lock(partsMutex_);
    for (auto& p : parts_) {
      if (auto* t = dynamic_cast<T*>(p.get())) return t;
    }
    return nullptr;
  }

  // Open file objects per device stack (the user-mode handles of the device paths), counted at
  // the device the link names; the hook runs when the last one of a device closes.
  void FileOpened(DEVICE_OBJECT* device);
  void FileClosed(DEVICE_OBJECT* device);
  int OpenFiles(DEVICE_OBJECT* device) const;
  void SetLastCloseHook(std::function<void(DEVICE_OBJECT*)> hook);

  // Registry key of a device's driver (IoOpenDeviceRegistryKey), under HKEY_LOCAL_MACHINE; the
  // PnP manager sets it when it builds the device's stack.
  void SetDriverKey(DEVICE_OBJECT* physicalDevice, std::string key);
  std::string DriverKey(DEVICE_OBJECT* physicalDevice) const;

 private:
  Host& host_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  mutable std::mutex poolMutex_;
  std::map<void*, std::pair<ULONG, size_t>> blocks_;
  mutable std::mutex bugMutex_;
  BugCheckHandler bugHandler_;
  std::vector<BugCheck> bugChecks_;

  mutable std::mutex namesMutex_;
  std::map<std::string, DEVICE_OBJECT*> devices_;  // lower-case name without "\Device\"
  std::map<std::string, std::string> links_;       // lower-case link name -> device name
  std::map<DEVICE_OBJECT*, std::string> driverKeys_;
  std::map<DEVICE_OBJECT*, int> openFiles_;
  std::function<void(DEVICE_OBJECT*)> lastCloseHook_;

  class WorkQueue;
  std::unique_ptr<WorkQueue> worker_;
  std::unique_ptr<WorkQueue> deferred_;

  std::mutex cancelMutex_;

  std::mutex partsMutex_;
  std::vector<std::unique_ptr<KernelPart>> parts_;
};

// Makes `kernel` the calling thread's kernel for the scope's lifetime.
class KernelScope {
 public:
  explicit KernelScope(Kernel& kernel);
  ~KernelScope();
  KernelScope(const KernelScope&) = delete;
  KernelScope& operator=(const KernelScope&) = delete;

 private:
  Kernel* previous_;
};

}  // namespace platform
