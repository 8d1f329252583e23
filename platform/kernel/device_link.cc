#include "device_link.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "kernel_names.h"
#include "platform/kernel/hand_off.h"
#include "platform/devices/device_paths.h"
#include "platform/kernel/kernel.h"

namespace platform {

namespace {
constexpr ULONG kSystemBufferTag = MakePoolTag("IoSB");
constexpr uint32_t kErrorNoSystemResources = 1450;

DEVICE_OBJECT* TopOfStack(DEVICE_OBJECT* device) {
  while (device->AttachedDevice) device = device->AttachedDevice;
  return device;
}

IoStatus ToIoStatus(NTSTATUS status, ULONG_PTR information, size_t limit) {
  IoStatus result;
  result.error = NT_SUCCESS(status) ? kErrorSuccess : Win32ErrorFromStatus(status);
  result.information = static_cast<uint32_t>(std::min<ULONG_PTR>(information, limit));
  return result;
}

// One synchronous request's completion as its caller waits for it.
struct Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  IoStatus status;
  void Set(IoStatus s) {
    std::lock_guard lock(mutex);
    status = s;
    done = true;
    cv.notify_all();
  }
  IoStatus Wait() {
    std::unique_lock lock(mutex);
    WaitForHandOff(cv, lock, [&] { return done; });
    return status;
  }
};

using Done = std::function<void(IoStatus)>;

// A request in flight as a caller's cancel reaches it: the IRP while it is the I/O manager's
// to cancel, null once it has completed.
struct InFlight {
  std::recursive_mutex mutex;  // a cancel may complete the request on the cancelling thread
  IRP* irp = nullptr;
};

// The file object and what its close needs; it outlives the handle when the last reference
// goes on a bus thread and the close runs on the worker.
struct FileState {
  Kernel& kernel;
  DEVICE_OBJECT* device;   // top of the stack
  DEVICE_OBJECT* counted;  // the named device the link leads to
  OwnedUnicode name;
  FILE_OBJECT file;
  std::weak_ptr<int> alive;  // the kernel's
  FileState(Kernel& k, DEVICE_OBJECT* top, DEVICE_OBJECT* named, const std::string& fileName)
      : kernel(k), device(top), counted(named), name(fileName), alive(k.Alive()) {
    file.DeviceObject = top;
    if (!name.text.empty()) file.FileName = name.string;
  }
};

class KernelFile final : public DeviceFile {
 public:
  KernelFile(Kernel& kernel, DEVICE_OBJECT* device, DEVICE_OBJECT* counted, const std::string& fileName)
      : state_(std::make_shared<FileState>(kernel, device, counted, fileName)) {}

  ~KernelFile() override {
    if (!open_) return;
    std::shared_ptr<FileState> state = state_;
    std::weak_ptr<int> alive = state->alive;
    auto close = [state, alive] {
      std::shared_ptr<int> kernelAlive = alive.lock();
      if (!kernelAlive) return;
      KernelScope scope(state->kernel);
      SendSimple(*state, IRP_MJ_CLEANUP);
      SendSimple(*state, IRP_MJ_CLOSE);
      state->kernel.FileClosed(state->counted);
    };
    if (alive.expired()) return;
    if (Kernel::OnCompletionThread()) {
      state->kernel.QueueDeferred(close);
    } else {
      close();
    }
  }

  // The create request: kErrorSuccess, or the error the driver refused the open with.
  uint32_t Create() {
    KernelScope scope(state_->kernel);
    IoStatus status = SendSimple(*state_, IRP_MJ_CREATE);
    if (status.error != kErrorSuccess) return status.error;
    open_ = true;
    state_->kernel.FileOpened(state_->counted);
    return kErrorSuccess;
  }

  IoStatus Read(std::span<uint8_t> buffer) override {
    return Sync([&](Done d) { StartIo(IRP_MJ_READ, buffer.data(), buffer.size(), std::move(d), nullptr); });
  }
  IoStatus Write(std::span<const uint8_t> data) override {
    return Sync([&](Done d) {
      StartIo(IRP_MJ_WRITE, const_cast<uint8_t*>(data.data()), data.size(), std::move(d), nullptr);
    });
  }
  IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    return Sync([&](Done d) { StartIoControl(code, in, out, std::move(d), nullptr); });
  }

  void StartRead(std::span<uint8_t> buffer, std::shared_ptr<PendingRequest> request) override {
    KernelScope scope(state_->kernel);
    StartIo(IRP_MJ_READ, buffer.data(), buffer.size(), Completer(request), request);
  }
  void StartWrite(std::span<const uint8_t> data, std::shared_ptr<PendingRequest> request) override {
    KernelScope scope(state_->kernel);
    StartIo(IRP_MJ_WRITE, const_cast<uint8_t*>(data.data()), data.size(), Completer(request), request);
  }
  void StartControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                    std::shared_ptr<PendingRequest> request) override {
    KernelScope scope(state_->kernel);
    StartIoControl(code, in, out, Completer(request), request);
  }

 private:
  static Done Completer(const std::shared_ptr<PendingRequest>& request) {
    return [request](IoStatus s) { request->Complete(s); };
  }

  IoStatus Sync(const std::function<void(Done)>& start) {
    KernelScope scope(state_->kernel);
    auto waiter = std::make_shared<Waiter>();
    start([waiter](IoStatus s) { waiter->Set(s); });
    return waiter->Wait();
  }

  static IRP* NewIrp(FileState& state, UCHAR major) {
    IRP* irp = IoAllocateIrp(state.device->StackSize, FALSE);
    if (!irp) return nullptr;
    irp->RequestorMode = UserMode;
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->FileObject = &state.file;
    return irp;
  }

  static IoStatus SendSimple(FileState& state, UCHAR major) {
    auto waiter = std::make_shared<Waiter>();
    IRP* irp = NewIrp(state, major);
    if (!irp) return IoStatus{kErrorNoSystemResources, 0};
    irp->finisher = [waiter](IRP* finished) {
      IoStatus s = ToIoStatus(finished->IoStatus.Status, 0, 0);
      IoFreeIrp(finished);
      waiter->Set(s);
    };
    IoCallDriver(state.device, irp);
    return waiter->Wait();
  }

  // Sends the request; an overlapped one can be cancelled from then until it completes.
  void Dispatch(IRP* irp, const std::shared_ptr<PendingRequest>& request) {
    if (request) {
      auto flight = std::make_shared<InFlight>();
      flight->irp = irp;
      IrpFinisher finish = std::move(irp->finisher);
      irp->finisher = [flight, finish](IRP* finished) {
        {
          std::lock_guard lock(flight->mutex);
          flight->irp = nullptr;
        }
        finish(finished);
      };
      Kernel* kernel = &state_->kernel;
      request->SetCancelRoutine([flight, kernel] {
        KernelScope scope(*kernel);
        std::lock_guard lock(flight->mutex);
        if (flight->irp) IoCancelIrp(flight->irp);
      });
    }
    IoCallDriver(state_->device, irp);
  }

  void StartIo(UCHAR major, uint8_t* buffer, size_t length, Done done,
               const std::shared_ptr<PendingRequest>& request) {
    FileState& state = *state_;
    IRP* irp = NewIrp(state, major);
    if (!irp) return done(IoStatus{kErrorNoSystemResources, 0});
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->Parameters.Read.Length = static_cast<ULONG>(length);
    irp->UserBuffer = buffer;
    void* systemBuffer = nullptr;
    if ((state.device->Flags & DO_DIRECT_IO) && length > 0) {
      if (!IoAllocateMdl(buffer, static_cast<ULONG>(length), FALSE, FALSE, irp)) {
        IoFreeIrp(irp);
        return done(IoStatus{kErrorNoSystemResources, 0});
      }
    } else if (state.device->Flags & DO_BUFFERED_IO) {
      systemBuffer = state.kernel.Allocate(length, kSystemBufferTag);
      if (!systemBuffer) {
        IoFreeIrp(irp);
        return done(IoStatus{kErrorNoSystemResources, 0});
      }
      if (major == IRP_MJ_WRITE && length) std::memcpy(systemBuffer, buffer, length);
      irp->AssociatedIrp.SystemBuffer = systemBuffer;
    }
    Kernel* kernel = &state.kernel;
    irp->finisher = [kernel, done, major, buffer, length, systemBuffer](IRP* finished) {
      IoStatus s = ToIoStatus(finished->IoStatus.Status, finished->IoStatus.Information, length);
      if (systemBuffer) {
        if (major == IRP_MJ_READ && s.information) std::memcpy(buffer, systemBuffer, s.information);
        kernel->Free(systemBuffer);
      }
      if (finished->MdlAddress) IoFreeMdl(finished->MdlAddress);
      finished->MdlAddress = nullptr;
      IoFreeIrp(finished);
      done(s);
    };
    Dispatch(irp, request);
  }

  void StartIoControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out, Done done,
                      const std::shared_ptr<PendingRequest>& request) {
    FileState& state = *state_;
    IRP* irp = NewIrp(state, IRP_MJ_DEVICE_CONTROL);
    if (!irp) return done(IoStatus{kErrorNoSystemResources, 0});
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.InputBufferLength = static_cast<ULONG>(in.size());
    next->Parameters.DeviceIoControl.OutputBufferLength = static_cast<ULONG>(out.size());
    void* systemBuffer = nullptr;
    if ((code & 3) == METHOD_NEITHER) {
      next->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<uint8_t*>(in.data());
      irp->UserBuffer = out.data();
    } else {
      // Buffered: one system buffer as long as the longer of the two, holding the input.
      size_t length = std::max(in.size(), out.size());
      if (length) {
        systemBuffer = state.kernel.Allocate(length, kSystemBufferTag);
        if (!systemBuffer) {
          IoFreeIrp(irp);
          return done(IoStatus{kErrorNoSystemResources, 0});
        }
        std::memset(systemBuffer, 0, length);
        if (!in.empty()) std::memcpy(systemBuffer, in.data(), in.size());
      }
      irp->AssociatedIrp.SystemBuffer = systemBuffer;
    }
    Kernel* kernel = &state.kernel;
    uint8_t* outData = out.data();
    size_t outSize = out.size();
    irp->finisher = [kernel, done, systemBuffer, outData, outSize](IRP* finished) {
      IoStatus s = ToIoStatus(finished->IoStatus.Status, finished->IoStatus.Information, outSize);
      if (systemBuffer) {
        if (s.information) std::memcpy(outData, systemBuffer, s.information);
        kernel->Free(systemBuffer);
      }
      IoFreeIrp(finished);
      done(s);
    };
    Dispatch(irp, request);
  }

  std::shared_ptr<FileState> state_;
  bool open_ = false;
};

class KernelLink final : public DeviceObject {
 public:
  KernelLink(Kernel& kernel, std::string link) : kernel_(kernel), link_(std::move(link)) {}

  std::unique_ptr<DeviceFile> Open(const DeviceOpen& how, uint32_t* error) override {
    KernelScope scope(kernel_);
    DEVICE_OBJECT* named = kernel_.NamedDevice(kernel_.LinkTarget(link_));
    if (!named) {
      *error = kErrorFileNotFound;
      return nullptr;
    }
    auto file = std::make_unique<KernelFile>(kernel_, TopOfStack(named), named, how.fileName);
    *error = file->Create();
    if (*error != kErrorSuccess) return nullptr;
    return file;
  }

 private:
  Kernel& kernel_;
  std::string link_;
};
}  // namespace

std::shared_ptr<DeviceObject> MakeKernelLink(Kernel& kernel, std::string link) {
  return std::make_shared<KernelLink>(kernel, std::move(link));
}

}  // namespace platform
