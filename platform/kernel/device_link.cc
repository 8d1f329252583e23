#include "device_link.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "kernel_names.h"
#include "platform/devices/device_paths.h"
#include "platform/kernel/kernel.h"

namespace platform {

namespace {
constexpr ULONG kSystemBufferTag = MakePoolTag("IoSB");

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

// One request's completion as its caller waits for it.
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
    cv.wait(lock, [&] { return done; });
    return status;
  }
};

using Done = std::function<void(IoStatus)>;

class KernelFile final : public DeviceFile {
 public:
  KernelFile(Kernel& kernel, DEVICE_OBJECT* device, DEVICE_OBJECT* counted, const std::string& fileName)
      : kernel_(kernel), device_(device), counted_(counted), name_(fileName) {
    file_.DeviceObject = device;
    file_.FileName = name_.string;
    if (name_.text.empty()) file_.FileName = UNICODE_STRING{};
  }
  ~KernelFile() override {
    if (!open_) return;
    KernelScope scope(kernel_);
    SendSimple(IRP_MJ_CLEANUP);
    SendSimple(IRP_MJ_CLOSE);
    kernel_.FileClosed(counted_);
  }

  // The create request; false with the Win32 error when the driver refuses the open.
  uint32_t Create() {
    IoStatus status = SendSimple(IRP_MJ_CREATE);
    if (status.error != kErrorSuccess) return status.error;
    open_ = true;
    kernel_.FileOpened(counted_);
    return kErrorSuccess;
  }

  IoStatus Read(std::span<uint8_t> buffer) override { return Sync([&](Done d) { StartIo(IRP_MJ_READ, buffer.data(), buffer.size(), std::move(d)); }); }
  IoStatus Write(std::span<const uint8_t> data) override {
    return Sync([&](Done d) { StartIo(IRP_MJ_WRITE, const_cast<uint8_t*>(data.data()), data.size(), std::move(d)); });
  }
  IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    return Sync([&](Done d) { StartControl(code, in, out, std::move(d)); });
  }

 private:
  IoStatus Sync(const std::function<void(Done)>& start) {
    KernelScope scope(kernel_);
    auto waiter = std::make_shared<Waiter>();
    start([waiter](IoStatus s) { waiter->Set(s); });
    return waiter->Wait();
  }

  IRP* NewIrp(UCHAR major) {
    IRP* irp = IoAllocateIrp(device_->StackSize, FALSE);
    if (!irp) return nullptr;
    irp->RequestorMode = UserMode;
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->FileObject = &file_;
    return irp;
  }

  static IoStatus NoResources() { return IoStatus{1450, 0}; }  // ERROR_NO_SYSTEM_RESOURCES

  IoStatus SendSimple(UCHAR major) {
    return Sync([&](Done done) {
      IRP* irp = NewIrp(major);
      if (!irp) return done(NoResources());
      irp->finisher = [done](IRP* finished) {
        IoStatus s = ToIoStatus(finished->IoStatus.Status, 0, 0);
        IoFreeIrp(finished);
        done(s);
      };
      Dispatch(irp);
    });
  }

  void StartIo(UCHAR major, uint8_t* buffer, size_t length, Done done) {
    IRP* irp = NewIrp(major);
    if (!irp) return done(NoResources());
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->Parameters.Read.Length = static_cast<ULONG>(length);
    irp->UserBuffer = buffer;
    void* systemBuffer = nullptr;
    if ((device_->Flags & DO_DIRECT_IO) && length > 0) {
      if (!IoAllocateMdl(buffer, static_cast<ULONG>(length), FALSE, FALSE, irp)) {
        IoFreeIrp(irp);
        return done(NoResources());
      }
    } else if (device_->Flags & DO_BUFFERED_IO) {
      systemBuffer = kernel_.Allocate(length, kSystemBufferTag);
      if (!systemBuffer) {
        IoFreeIrp(irp);
        return done(NoResources());
      }
      if (major == IRP_MJ_WRITE && length) std::memcpy(systemBuffer, buffer, length);
      irp->AssociatedIrp.SystemBuffer = systemBuffer;
    }
    irp->finisher = [this, done, major, buffer, length, systemBuffer](IRP* finished) {
      IoStatus s = ToIoStatus(finished->IoStatus.Status, finished->IoStatus.Information, length);
      if (systemBuffer) {
        if (major == IRP_MJ_READ && s.information) std::memcpy(buffer, systemBuffer, s.information);
        kernel_.Free(systemBuffer);
      }
      if (finished->MdlAddress) IoFreeMdl(finished->MdlAddress);
      IoFreeIrp(finished);
      done(s);
    };
    Dispatch(irp);
  }

  void StartControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out, Done done) {
    IRP* irp = NewIrp(IRP_MJ_DEVICE_CONTROL);
    if (!irp) return done(NoResources());
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
        systemBuffer = kernel_.Allocate(length, kSystemBufferTag);
        if (!systemBuffer) {
          IoFreeIrp(irp);
          return done(NoResources());
        }
        std::memset(systemBuffer, 0, length);
        if (!in.empty()) std::memcpy(systemBuffer, in.data(), in.size());
      }
      irp->AssociatedIrp.SystemBuffer = systemBuffer;
    }
    uint8_t* outData = out.data();
    size_t outSize = out.size();
    irp->finisher = [this, done, systemBuffer, outData, outSize](IRP* finished) {
      IoStatus s = ToIoStatus(finished->IoStatus.Status, finished->IoStatus.Information, outSize);
      if (systemBuffer) {
        if (s.information) std::memcpy(outData, systemBuffer, s.information);
        kernel_.Free(systemBuffer);
      }
      IoFreeIrp(finished);
      done(s);
    };
    Dispatch(irp);
  }

  void Dispatch(IRP* irp) { IoCallDriver(device_, irp); }

  Kernel& kernel_;
  DEVICE_OBJECT* device_;
  DEVICE_OBJECT* counted_;
  OwnedUnicode name_;
  FILE_OBJECT file_;
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
