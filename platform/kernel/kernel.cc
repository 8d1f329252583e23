#include "platform/kernel/kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock/clock.h"
#include "platform/faults/faults.h"
#include "platform/files/winpath.h"

namespace platform {

namespace {
std::mutex gDefaultHandlerMutex;
BugCheckHandler gDefaultHandler;

std::string BugCheckName(ULONG code) {
  switch (code) {
    case IRQL_NOT_LESS_OR_EQUAL: return "IRQL_NOT_LESS_OR_EQUAL";
    case MULTIPLE_IRP_COMPLETE_REQUESTS: return "MULTIPLE_IRP_COMPLETE_REQUESTS";
    case NO_MORE_IRP_STACK_LOCATIONS: return "NO_MORE_IRP_STACK_LOCATIONS";
    case BAD_POOL_CALLER: return "BAD_POOL_CALLER";
    case DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS:
      return "DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS";
    case DRIVER_VERIFIER_DETECTED_VIOLATION: return "DRIVER_VERIFIER_DETECTED_VIOLATION";
    default: return "BUGCHECK_" + std::to_string(code);
  }
}
}  // namespace

Kernel::Kernel(Host& host) : host_(host) {
  {
    std::lock_guard lock(gDefaultHandlerMutex);
    bugHandler_ = gDefaultHandler;
  }
  worker_ = std::make_unique<WorkQueue>(*this);
  deferred_ = std::make_unique<WorkQueue>(*this);
}

Kernel::~Kernel() {
  // Handles closed on the way out finish their close while the devices are there; later ones
  // find the kernel going and leave the devices alone.
  DrainWork();
  alive_.reset();
  // Buses and the PnP manager first: they remove devices and unload drivers, which may still
  // queue work and free pool.
  std::vector<std::unique_ptr<KernelPart>> parts;
  {
    std::lock_guard lock(partsMutex_);
    parts.swap(parts_);
  }
  for (auto& part : parts) {
    if (part->ShutsDownFirst()) part->Shutdown();
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    if (!(*it)->ShutsDownFirst()) (*it)->Shutdown();
  }
  DrainWork();
  deferred_.reset();
  worker_.reset();
  parts.clear();
  std::lock_guard lock(poolMutex_);
  for (auto& [block, info] : blocks_) std::free(block);
}

Kernel& Kernel::Of(Host& host) {
  return host.FindOrAttach<Kernel>([&] { return std::make_unique<Kernel>(host); });
}

namespace {
thread_local Kernel* tKernel = nullptr;
thread_local bool tCompletionThread = false;
}

void Kernel::MarkCompletionThread() { tCompletionThread = true; }
bool Kernel::OnCompletionThread() { return tCompletionThread; }

Kernel& Kernel::Current() { return tKernel ? *tKernel : Of(Host::Current()); }

KernelScope::KernelScope(Kernel& kernel) : previous_(tKernel) { tKernel = &kernel; }
KernelScope::~KernelScope() { tKernel = previous_; }

Clock& Kernel::clock() { return host_.clock(); }

std::string Kernel::TagText(ULONG tag) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((tag >> (8 * i)) & 0xFF);
  return text;
}

void* Kernel::Allocate(size_t bytes, ULONG tag) {
  std::string text = TagText(tag);
  std::string point = std::string(kFaultKernelPool) + "." + text.substr(0, text.find_last_not_of(' ') + 1);
  if (host_.faults().Check(point, text)) return nullptr;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) return nullptr;
  std::lock_guard lock(poolMutex_);
  blocks_[block] = {tag, bytes};
  return block;
}

void Kernel::Free(void* block, bool checkTag, ULONG tag) {
  if (!block) {
    RaiseBugCheck(BAD_POOL_CALLER, "a null pool block freed");
    return;
  }
  {
    std::lock_guard lock(poolMutex_);
    auto it = blocks_.find(block);
    if (it != blocks_.end() && (!checkTag || it->second.first == tag)) {
      blocks_.erase(it);
      std::free(block);
      return;
    }
  }
  RaiseBugCheck(BAD_POOL_CALLER, "a pool block freed twice, or not from the pool, or with another tag");
}

size_t Kernel::PoolBlocks(std::string_view tag) const {
  std::lock_guard lock(poolMutex_);
  size_t n = 0;
  for (auto& [block, info] : blocks_) n += TagText(info.first) == tag;
  return n;
}

size_t Kernel::PoolBytes(std::string_view tag) const {
  std::lock_guard lock(poolMutex_);
  size_t n = 0;
  for (auto& [block, info] : blocks_) n += TagText(info.first) == tag ? info.second : 0;
  return n;
}

void Kernel::SetBugCheckHandler(BugCheckHandler handler) {
  std::lock_guard lock(bugMutex_);
  bugHandler_ = std::move(handler);
}

void Kernel::SetDefaultBugCheckHandler(BugCheckHandler handler) {
  std::lock_guard lock(gDefaultHandlerMutex);
  gDefaultHandler = std::move(handler);
}

void Kernel::RaiseBugCheck(ULONG code, std::string detail) {
  BugCheck check{code, BugCheckName(code), std::move(detail)};
  BugCheckHandler handler;
  {
    std::lock_guard lock(bugMutex_);
    bugChecks_.push_back(check);
    handler = bugHandler_;
  }
  if (handler) {
    handler(check);
    return;
  }
  std::fprintf(stderr, "*** STOP: 0x%08X %s: %s\n", code, check.name.c_str(), check.detail.c_str());
  std::abort();
}

std::vector<BugCheck> Kernel::BugChecks() const {
  std::lock_guard lock(bugMutex_);
  return bugChecks_;
}

DEVICE_OBJECT* Kernel::NamedDevice(std::string_view name) const {
  std::lock_guard lock(namesMutex_);
  auto it = devices_.find(ToLowerAscii(name));
  return it == devices_.end() ? nullptr : it->second;
}

bool Kernel::AddNamedDevice(const std::string& name, DEVICE_OBJECT* device) {
  std::lock_guard lock(namesMutex_);
  return devices_.emplace(ToLowerAscii(name), device).second;
}

void Kernel::RemoveDevice(DEVICE_OBJECT* device) {
  std::lock_guard lock(namesMutex_);
  for (auto it = devices_.begin(); it != devices_.end();) {
    it = it->second == device ? devices_.erase(it) : std::next(it);
  }
  driverKeys_.erase(device);
}

bool Kernel::AddLink(const std::string& link, const std::string& device) {
  std::lock_guard lock(namesMutex_);
  return links_.emplace(ToLowerAscii(link), device).second;
}

bool Kernel::RemoveLink(const std::string& link) {
  std::lock_guard lock(namesMutex_);
  return links_.erase(ToLowerAscii(link)) > 0;
}

std::string Kernel::LinkTarget(std::string_view link) const {
  std::lock_guard lock(namesMutex_);
  auto it = links_.find(ToLowerAscii(link));
  return it == links_.end() ? std::string() : it->second;
}

void Kernel::SetDriverKey(DEVICE_OBJECT* physicalDevice, std::string key) {
  std::lock_guard lock(namesMutex_);
  driverKeys_[physicalDevice] = std::move(key);
}

std::string Kernel::DriverKey(DEVICE_OBJECT* physicalDevice) const {
  std::lock_guard lock(namesMutex_);
  auto it = driverKeys_.find(physicalDevice);
  return it == driverKeys_.end() ? std::string() : it->second;
}

void Kernel::FileOpened(DEVICE_OBJECT* device) {
  std::lock_guard lock(namesMutex_);
  ++openFiles_[device];
}

void Kernel::FileClosed(DEVICE_OBJECT* device) {
  std::function<void(DEVICE_OBJECT*)> hook;
  {
    std::lock_guard lock(namesMutex_);
    auto it = openFiles_.find(device);
    if (it == openFiles_.end()) return;
    if (--it->second > 0) return;
    openFiles_.erase(it);
    hook = lastCloseHook_;
  }
  if (hook) hook(device);
}

int Kernel::OpenFiles(DEVICE_OBJECT* device) const {
  std::lock_guard lock(namesMutex_);
  auto it = openFiles_.find(device);
  return it == openFiles_.end() ? 0 : it->second;
}

void Kernel::SetLastCloseHook(std::function<void(DEVICE_OBJECT*)> hook) {
  std::lock_guard lock(namesMutex_);
  lastCloseHook_ = std::move(hook);
}

// One thread running queued work in order.
class Kernel::WorkQueue {
 public:
  explicit WorkQueue(Kernel& kernel) {
    thread_ = std::thread([this, &kernel] {
      KernelScope scope(kernel);
      Loop();
    });
  }
  ~WorkQueue() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Queue(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      work_.push_back(std::move(work));
    }
    cv_.notify_all();
  }
  bool OnThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  void Drain() {
    if (OnThread()) return;
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return work_.empty() && !working_; });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      cv_.wait(lock, [&] { return stopping_ || !work_.empty(); });
      if (work_.empty()) return;
      std::function<void()> work = std::move(work_.front());
      work_.pop_front();
      working_ = true;
      lock.unlock();
      work();
      lock.lock();
      working_ = false;
      if (work_.empty()) idle_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_, idle_;
  std::deque<std::function<void()>> work_;
  bool working_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

void Kernel::QueueWork(std::function<void()> work) { worker_->Queue(std::move(work)); }
void Kernel::QueueDeferred(std::function<void()> work) { deferred_->Queue(std::move(work)); }

void Kernel::DrainWork() {
  // Deferred closes queue work items, and work items may hand off closes: twice round.
  for (int i = 0; i < 2; ++i) {
    deferred_->Drain();
    worker_->Drain();
  }
}

void Kernel::AcquireCancelLock() { cancelMutex_.lock(); }
void Kernel::ReleaseCancelLock() { cancelMutex_.unlock(); }

}  // namespace platform
