#include "platform/usb/usb_bus.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/clock/clock.h"
#include "platform/faults/faults.h"
#include "platform/kernel/hand_off.h"
#include "platform/kernel/pnp_manager.h"

namespace platform {

namespace {

NTSTATUS IrpStatusFor(USBD_STATUS status) {
  if (USBD_SUCCESS(status)) return STATUS_SUCCESS;
  switch (status) {
    case USBD_STATUS_CANCELED: return STATUS_CANCELLED;
    case USBD_STATUS_DEVICE_GONE: return STATUS_DEVICE_NOT_CONNECTED;
    case USBD_STATUS_TIMEOUT: return STATUS_IO_TIMEOUT;
    case USBD_STATUS_INVALID_PARAMETER:
    case USBD_STATUS_INVALID_URB_FUNCTION:
    case USBD_STATUS_INVALID_PIPE_HANDLE: return STATUS_INVALID_PARAMETER;
    case USBD_STATUS_NO_MEMORY: return STATUS_INSUFFICIENT_RESOURCES;
    default: return STATUS_UNSUCCESSFUL;
  }
}

size_t MinimumLength(USHORT function) {
  switch (function) {
    case URB_FUNCTION_SELECT_CONFIGURATION: return offsetof(_URB_SELECT_CONFIGURATION, Interface);
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_RESET_PIPE: return sizeof(_URB_PIPE_REQUEST);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE: return sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
    case URB_FUNCTION_VENDOR_DEVICE:
    case URB_FUNCTION_VENDOR_INTERFACE:
    case URB_FUNCTION_VENDOR_ENDPOINT: return sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
    default: return 0;
  }
}

uint8_t* TransferData(PVOID buffer, MDL* mdl) {
  if (buffer) return static_cast<uint8_t*>(buffer);
  return mdl ? static_cast<uint8_t*>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority)) : nullptr;
}

class Bus final : public UsbBus {
 public:
  explicit Bus(Kernel& kernel) : kernel_(kernel) {
    driver_.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = &Bus::DispatchInternal;
    driver_.MajorFunction[IRP_MJ_PNP] = &Bus::DispatchPnp;
    driver_.DriverExtension = &driver_.extension;
    thread_ = std::thread([this] {
      KernelScope scope(kernel_);
      Kernel::MarkCompletionThread();
      Loop();
    });
  }
  ~Bus() override { Shutdown(); }

  void Shutdown() override {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      for (auto& port : ports_) port->connected = false;
      stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
    KernelScope scope(kernel_);
    for (auto& port : ports_) {
      port->device->SetWakeup(nullptr);
      IoDeleteDevice(port->pdo);
    }
    ports_.clear();
  }

  DEVICE_OBJECT* Plug(std::shared_ptr<UsbDevice> device) override {
    KernelScope scope(kernel_);
    auto port = std::make_unique<Slot>();
    port->bus = this;
    port->device = std::move(device);
    port->hardwareId = port->device->HardwareId();
    DEVICE_OBJECT* pdo = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(&driver_, sizeof(Slot*), nullptr, FILE_DEVICE_BUS_EXTENDER, 0, FALSE, &pdo))) {
      return nullptr;
    }
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    Slot* raw = port.get();
    *static_cast<Slot**>(pdo->DeviceExtension) = raw;
    port->pdo = pdo;
    port->device->SetWakeup([this] { Wake(); });
    {
      std::lock_guard lock(mutex_);
      raw->number = static_cast<int>(ports_.size());
      ports_.push_back(std::move(port));
    }
    PnpManager::Of(kernel_).DeviceArrived(pdo, raw->hardwareId);
    return pdo;
  }

  void Unplug(DEVICE_OBJECT* physicalDevice) override {
    KernelScope scope(kernel_);
    {
      std::lock_guard lock(mutex_);
      Slot* port = PortOf(physicalDevice);
      if (!port || !port->connected) return;
      port->connected = false;
      port->device->SetWakeup(nullptr);
      woken_ = true;
    }
    cv_.notify_all();
    PnpManager::Of(kernel_).DeviceLeft(physicalDevice);
  }

  std::vector<DEVICE_OBJECT*> Devices() const override {
    std::lock_guard lock(mutex_);
    std::vector<DEVICE_OBJECT*> out;
    for (auto& port : ports_) out.push_back(port->pdo);
    return out;
  }

  std::string HardwareId(DEVICE_OBJECT* physicalDevice) const override {
    std::lock_guard lock(mutex_);
    const Slot* port = PortOf(physicalDevice);
    return port ? port->hardwareId : std::string();
  }

  int Port(DEVICE_OBJECT* physicalDevice) const override {
    std::lock_guard lock(mutex_);
    const Slot* port = PortOf(physicalDevice);
    return port ? port->number : -1;
  }

  size_t Outstanding() const override { return outstanding_.load(); }

 private:
  struct Pipe {
    uint8_t address = 0;
    uint8_t type = 0;
    uint16_t maxPacket = 0;
    bool halted = false;
  };
  struct Slot {
    int number = 0;
    Bus* bus = nullptr;
    std::shared_ptr<UsbDevice> device;
    std::string hardwareId;
    DEVICE_OBJECT* pdo = nullptr;
    bool connected = true;
    uint8_t configuration = 0;
    std::map<USBD_PIPE_HANDLE, std::unique_ptr<Pipe>> pipes;  // touched by the bus thread only
  };
  struct Job {
    IRP* irp = nullptr;
    URB* urb = nullptr;
    Slot* port = nullptr;
    bool endless = false;       // a fault keeps it from ever completing
    uint64_t deadline = 0;      // control transfers: when USB's limit runs out
    bool control = false;
  };
  enum class Outcome { kDone, kPark };


  static NTSTATUS DispatchPnp(DEVICE_OBJECT*, IRP* irp) {
    NTSTATUS status = irp->IoStatus.Status;
    if (status == STATUS_NOT_IMPLEMENTED || status == STATUS_PENDING) status = STATUS_SUCCESS;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
  }

  static NTSTATUS DispatchInternal(DEVICE_OBJECT* pdo, IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    auto* urb = static_cast<URB*>(stack->Parameters.Others.Argument1);
    NTSTATUS refusal = STATUS_SUCCESS;
    if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB) {
      refusal = STATUS_INVALID_DEVICE_REQUEST;
    } else if (!urb) {
      refusal = STATUS_INVALID_PARAMETER;
    }
    if (refusal != STATUS_SUCCESS) {
      irp->IoStatus.Status = refusal;
      IoCompleteRequest(irp, IO_NO_INCREMENT);
      return refusal;
    }
    IoMarkIrpPending(irp);
    Slot* port = *static_cast<Slot**>(pdo->DeviceExtension);
    port->bus->Submit(Job{irp, urb, port});
    return STATUS_PENDING;
  }

  void Submit(Job job) {
    ++outstanding_;
    {
      std::lock_guard lock(mutex_);
      inbox_.push_back(job);
    }
    cv_.notify_all();
  }

  void Wake() {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    cv_.notify_all();
  }

  Slot* PortOf(DEVICE_OBJECT* pdo) const {
    for (auto& port : ports_) {
      if (port->pdo == pdo) return port.get();
    }
    return nullptr;
  }

  void Complete(const Job& job, USBD_STATUS status) {
    job.urb->UrbHeader.Status = status;
    job.irp->IoStatus.Status = IrpStatusFor(status);
    job.irp->IoStatus.Information = 0;
    --outstanding_;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    IoCompleteRequest(job.irp, IO_NO_INCREMENT);
    KeLowerIrql(old);
  }

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (stopping_ && inbox_.empty()) break;
      std::deque<Job> fresh;
      fresh.swap(inbox_);
      bool woken = std::exchange(woken_, false);
      running_ = fresh.size();
      lock.unlock();
      for (Job& job : fresh) {
        if (Run(job) == Outcome::kPark) parked_.push_back(job);
        std::lock_guard count(mutex_);
        --running_;
      }
      RetryParked(woken || !fresh.empty());
      lock.lock();
      if (stopping_ || !inbox_.empty() || woken_) continue;
      std::optional<uint64_t> deadline;
      for (const Job& job : parked_) {
        if (job.control) deadline = std::min(deadline.value_or(job.deadline), job.deadline);
      }
      if (!deadline) {
        WaitForHandOff(cv_, lock, [&] { return stopping_ || !inbox_.empty() || woken_; });
        continue;
      }
      Clock& clock = kernel_.clock();
      uint64_t now = clock.NowMs();
      if (now >= *deadline) continue;
      auto real = clock.IsVirtual() ? VirtualClock::kRealGrace : std::chrono::milliseconds(*deadline - now);
      if (!cv_.wait_for(lock, real, [&] { return stopping_ || !inbox_.empty() || woken_; })) {
        clock.AdvanceTo(*deadline);
      }
    }
    // Stopping: whatever still waits ends as the device going away.
    lock.unlock();
    for (Job& job : parked_) Complete(job, USBD_STATUS_DEVICE_GONE);
    parked_.clear();
  }

  // Parked transfers: gone devices end them, control transfers past USB's limit time out, and
  // IN transfers are tried again when a device woke the bus.
  void RetryParked(bool tryAgain) {
    uint64_t now = kernel_.clock().NowMs();
    for (auto it = parked_.begin(); it != parked_.end();) {
      Job& job = *it;
      std::optional<USBD_STATUS> end;
      if (!Connected(job.port)) {
        end = USBD_STATUS_DEVICE_GONE;
      } else if (job.control && now >= job.deadline) {
        end = USBD_STATUS_TIMEOUT;
      } else if (tryAgain && !job.endless && !job.control) {
        if (RunTransfer(job) == Outcome::kDone) {
          it = parked_.erase(it);
          continue;
        }
      }
      if (end) {
        Job done = job;
        it = parked_.erase(it);
        if (*end == USBD_STATUS_DEVICE_GONE && done.urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
          done.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
        }
        Complete(done, *end);
        continue;
      }
      ++it;
    }
  }

  bool Connected(Slot* port) {
    std::lock_guard lock(mutex_);
    return port->connected && !stopping_;
  }

  Outcome Run(Job& job) {
    URB* urb = job.urb;
    USHORT function = urb->UrbHeader.Function;
    size_t minimum = MinimumLength(function);
    if (minimum == 0) return Finish(job, USBD_STATUS_INVALID_URB_FUNCTION);
    if (urb->UrbHeader.Length < minimum) return Finish(job, USBD_STATUS_INVALID_PARAMETER);
    if (!Connected(job.port)) return Finish(job, USBD_STATUS_DEVICE_GONE);
    switch (function) {
      case URB_FUNCTION_SELECT_CONFIGURATION: return Finish(job, SelectConfiguration(*job.port, urb));
      case URB_FUNCTION_ABORT_PIPE: return Finish(job, AbortPipe(*job.port, urb->UrbPipeRequest.PipeHandle));
      case URB_FUNCTION_RESET_PIPE: return Finish(job, ResetPipe(*job.port, urb->UrbPipeRequest.PipeHandle));
      case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return RunTransfer(job);
      default: return RunControl(job);
    }
  }

  Outcome Finish(const Job& job, USBD_STATUS status) {
    Complete(job, status);
    return Outcome::kDone;
  }

  DeviceFaults& FaultsOf(const Slot& port) { return kernel_.host().faults().Device("usb", port.number); }

  Outcome RunControl(Job& job) {
    URB* urb = job.urb;
    UsbSetup setup;
    uint8_t* data;
    ULONG* length;
    if (urb->UrbHeader.Function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE) {
      auto& r = urb->UrbControlDescriptorRequest;
      setup = {0x80, 6, static_cast<uint16_t>(r.DescriptorType << 8 | r.Index), r.LanguageId, 0};
      data = TransferData(r.TransferBuffer, r.TransferBufferMDL);
      length = &r.TransferBufferLength;
    } else {
      auto& r = urb->UrbControlVendorClassRequest;
      uint8_t recipient = urb->UrbHeader.Function == URB_FUNCTION_VENDOR_INTERFACE ? 1
                          : urb->UrbHeader.Function == URB_FUNCTION_VENDOR_ENDPOINT ? 2 : 0;
      uint8_t direction = (r.TransferFlags & USBD_TRANSFER_DIRECTION_IN) ? 0x80 : 0;
      setup = {static_cast<uint8_t>(direction | 0x40 | recipient), r.Request, r.Value, r.Index, 0};
      data = TransferData(r.TransferBuffer, r.TransferBufferMDL);
      length = &r.TransferBufferLength;
    }
    if (*length > 0xFFFF || (*length && !data)) return Finish(job, USBD_STATUS_INVALID_PARAMETER);
    setup.length = static_cast<uint16_t>(*length);
    std::optional<DeviceFault> fault = FaultsOf(*job.port).Take(0);
    uint32_t limit = *length;
    if (fault) {
      if (fault->kind == DeviceFault::Kind::kNeverComplete) return ParkControl(job);
      if (fault->kind == DeviceFault::Kind::kHostStatus) {
        *length = 0;
        return Finish(job, USBD_STATUS_STALL_PID);
      }
      if (fault->kind == DeviceFault::Kind::kShortData) limit = std::min(limit, fault->length);
    }
    UsbResult result = job.port->device->Control(setup, std::span<uint8_t>(data, limit));
    if (result.pending) return ParkControl(job);
    *length = std::min(result.length, limit);
    if (fault && fault->kind == DeviceFault::Kind::kNulData && (setup.requestType & 0x80) && data) {
      std::memset(data, 0, *length);
    }
    return Finish(job, result.status);
  }

  Outcome ParkControl(Job& job) {
    job.control = true;
    job.deadline = kernel_.clock().NowMs() + kControlTimeoutMs;
    return Outcome::kPark;
  }

  Pipe* PipeOf(Slot& port, USBD_PIPE_HANDLE handle) {
    auto it = port.pipes.find(handle);
    return it == port.pipes.end() ? nullptr : it->second.get();
  }

  Outcome RunTransfer(Job& job) {
    auto& r = job.urb->UrbBulkOrInterruptTransfer;
    Pipe* pipe = PipeOf(*job.port, r.PipeHandle);
    if (!pipe) return Finish(job, USBD_STATUS_INVALID_PIPE_HANDLE);
    uint8_t* data = TransferData(r.TransferBuffer, r.TransferBufferMDL);
    if (r.TransferBufferLength && !data) return Finish(job, USBD_STATUS_INVALID_PARAMETER);
    if (pipe->halted) {
      r.TransferBufferLength = 0;
      return Finish(job, USBD_STATUS_ENDPOINT_HALTED);
    }
    bool in = (pipe->address & 0x80) != 0;
    uint32_t requested = r.TransferBufferLength;
    uint32_t limit = requested;
    std::optional<DeviceFault> fault;
    if (!job.endless) fault = FaultsOf(*job.port).Take(pipe->address);
    if (fault) {
      if (fault->kind == DeviceFault::Kind::kNeverComplete) {
        job.endless = true;
        return Outcome::kPark;
      }
      if (fault->kind == DeviceFault::Kind::kHostStatus) {
        pipe->halted = true;
        r.TransferBufferLength = 0;
        return Finish(job, USBD_STATUS_STALL_PID);
      }
      if (fault->kind == DeviceFault::Kind::kShortData) limit = std::min(limit, fault->length);
    }
    UsbResult result = job.port->device->Transfer(pipe->address, std::span<uint8_t>(data, limit));
    if (result.pending) {
      r.TransferBufferLength = requested;
      return Outcome::kPark;
    }
    uint32_t moved = std::min(result.length, limit);  // a device never moves more than asked
    r.TransferBufferLength = moved;
    if (!USBD_SUCCESS(result.status)) {
      pipe->halted = true;
      return Finish(job, result.status);
    }
    if (fault && fault->kind == DeviceFault::Kind::kNulData && in && moved) std::memset(data, 0, moved);
    if (in && moved < requested && !(r.TransferFlags & USBD_SHORT_TRANSFER_OK)) {
      pipe->halted = true;
      return Finish(job, USBD_STATUS_ERROR_SHORT_TRANSFER);
    }
    return Finish(job, USBD_STATUS_SUCCESS);
  }

  USBD_STATUS AbortPipe(Slot& port, USBD_PIPE_HANDLE handle) {
    if (!PipeOf(port, handle)) return USBD_STATUS_INVALID_PIPE_HANDLE;
    for (auto it = parked_.begin(); it != parked_.end();) {
      bool match = it->port == &port && it->urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER &&
                   it->urb->UrbBulkOrInterruptTransfer.PipeHandle == handle;
      if (!match) {
        ++it;
        continue;
      }
      Job job = *it;
      it = parked_.erase(it);
      job.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
      Complete(job, USBD_STATUS_CANCELED);
    }
    return USBD_STATUS_SUCCESS;
  }

  USBD_STATUS ResetPipe(Slot& port, USBD_PIPE_HANDLE handle) {
    Pipe* pipe = PipeOf(port, handle);
    if (!pipe) return USBD_STATUS_INVALID_PIPE_HANDLE;
    pipe->halted = false;
    port.device->ResetEndpoint(pipe->address);
    return USBD_STATUS_SUCCESS;
  }

  // The device's own configuration descriptor set, read through its control pipe.
  std::vector<uint8_t> DeviceConfiguration(Slot& port) {
    std::vector<uint8_t> head(9);
    UsbResult r = port.device->Control({0x80, 6, 0x0200, 0, 9}, head);
    if (!USBD_SUCCESS(r.status) || r.pending || r.length < 9) return {};
    uint16_t total = static_cast<uint16_t>(head[2] | head[3] << 8);
    std::vector<uint8_t> all(total);
    r = port.device->Control({0x80, 6, 0x0200, 0, total}, all);
    if (!USBD_SUCCESS(r.status) || r.pending) return {};
    all.resize(std::min<size_t>(r.length, total));
    return all;
  }

  USBD_STATUS SelectConfiguration(Slot& port, URB* urb) {
    auto& select = urb->UrbSelectConfiguration;
    // Every pipe of the old configuration goes; its waiting transfers end cancelled.
    for (auto& [handle, pipe] : port.pipes) AbortPipe(port, handle);
    port.pipes.clear();
    if (!select.ConfigurationDescriptor) {
      port.configuration = 0;
      port.device->Configure(0);
      select.ConfigurationHandle = nullptr;
      return USBD_STATUS_SUCCESS;
    }
    size_t header = offsetof(_URB_SELECT_CONFIGURATION, Interface);
    USBD_INTERFACE_INFORMATION& info = select.Interface;
    size_t infoHeader = offsetof(USBD_INTERFACE_INFORMATION, Pipes);
    if (urb->UrbHeader.Length < header + infoHeader || info.Length < infoHeader ||
        urb->UrbHeader.Length < header + info.Length) {
      return USBD_STATUS_INVALID_PARAMETER;
    }
    std::vector<uint8_t> set = DeviceConfiguration(port);
    // The first interface and the endpoint descriptors that follow it.
    std::vector<const USB_ENDPOINT_DESCRIPTOR*> endpoints;
    const USB_INTERFACE_DESCRIPTOR* interface = nullptr;
    for (size_t at = 0; at + 2 <= set.size();) {
      uint8_t length = set[at];
      if (length < 2 || at + length > set.size()) break;
      uint8_t type = set[at + 1];
      if (type == USB_INTERFACE_DESCRIPTOR_TYPE && length >= 9) {
        if (interface) break;
        interface = reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(&set[at]);
      } else if (type == USB_ENDPOINT_DESCRIPTOR_TYPE && length >= 7 && interface) {
        endpoints.push_back(reinterpret_cast<const USB_ENDPOINT_DESCRIPTOR*>(&set[at]));
      }
      at += length;
    }
    if (!interface || set.size() < 9) return USBD_STATUS_INVALID_PARAMETER;
    if (info.NumberOfPipes != endpoints.size() ||
        info.Length < infoHeader + sizeof(USBD_PIPE_INFORMATION) * endpoints.size()) {
      return USBD_STATUS_INVALID_PARAMETER;
    }
    for (size_t i = 0; i < endpoints.size(); ++i) {
      auto pipe = std::make_unique<Pipe>();
      pipe->address = endpoints[i]->bEndpointAddress;
      pipe->type = endpoints[i]->bmAttributes & 3;
      pipe->maxPacket = endpoints[i]->wMaxPacketSize;
      USBD_PIPE_INFORMATION& p = info.Pipes[i];
      p.MaximumPacketSize = pipe->maxPacket;
      p.EndpointAddress = pipe->address;
      p.Interval = endpoints[i]->bInterval;
      p.PipeType = static_cast<USBD_PIPE_TYPE>(pipe->type);
      p.PipeHandle = pipe.get();
      p.PipeFlags = 0;
      port.pipes.emplace(pipe.get(), std::move(pipe));
    }
    info.InterfaceHandle = &port;
    info.Class = interface->bInterfaceClass;
    info.SubClass = interface->bInterfaceSubClass;
    info.Protocol = interface->bInterfaceProtocol;
    port.configuration = set[5];
    port.device->Configure(port.configuration);
    select.ConfigurationHandle = &port;
    return USBD_STATUS_SUCCESS;
  }

  Kernel& kernel_;
  DRIVER_OBJECT driver_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::unique_ptr<Slot>> ports_;
  std::deque<Job> inbox_;
  std::list<Job> parked_;  // the bus thread's own
  size_t running_ = 0;
  std::atomic<size_t> outstanding_{0};
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace

UsbBus& UsbBus::Of(Kernel& kernel) {
  bool made = false;
  UsbBus& bus = kernel.FindOrAddPart<UsbBus>([&] {
    made = true;
    return std::make_unique<Bus>(kernel);
  });
  // Plugged in outside the kernel's lock: the PnP manager the devices announce is a part too.
  if (made) {
    if (UsbHardware* hardware = kernel.host().Find<UsbHardware>()) {
      for (auto& device : hardware->Devices()) bus.Plug(device);
    }
  }
  return bus;
}

}  // namespace platform
