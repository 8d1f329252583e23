// Overlapped device-path requests: pending, completed from another thread, cancelled by CancelIo
// and by closing the handle, and bounded by the caller's buffer.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "platform/clock/event.h"
#include "platform/devices/device_paths.h"

namespace platform {
namespace {

// Keeps every read pending until the test completes it; a cancel completes it with 995.
class HoldingDevice final : public DeviceObject {
 public:
  struct File final : DeviceFile {
    explicit File(HoldingDevice& owner) : owner(owner) {}
    ~File() override { owner.filesDestroyed++; }
    void StartRead(std::span<uint8_t> buffer, std::shared_ptr<PendingRequest> request) override {
      std::weak_ptr<PendingRequest> weak = request;
      request->SetCancelRoutine([weak] {
        if (auto held = weak.lock()) held->Complete({kErrorOperationAborted, 0});
      });
      std::lock_guard<std::mutex> lock(owner.mutex);
      owner.held = std::move(request);
      owner.buffer = buffer;
    }
    HoldingDevice& owner;
  };

  std::unique_ptr<DeviceFile> Open(const DeviceOpen&, uint32_t*) override {
    return std::make_unique<File>(*this);
  }
  std::shared_ptr<PendingRequest> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::move(held);
  }

  std::mutex mutex;
  std::shared_ptr<PendingRequest> held;
  std::span<uint8_t> buffer;
  std::atomic<int> filesDestroyed{0};
};

class OverlappedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = std::make_shared<HoldingDevice>();
    ASSERT_TRUE(paths.Register("Hold0", device));
    handle = paths.Open("\\\\.\\Hold0");
    ASSERT_NE(handle, kInvalidDeviceHandle);
  }

  RealClock clock;
  Event done{clock, Event::Reset::kManual, true};
  DevicePaths paths;
  std::shared_ptr<HoldingDevice> device;
  DeviceHandle handle = kInvalidDeviceHandle;
  std::array<uint8_t, 8> buffer{};
};

TEST_F(OverlappedTest, PendingReadCompletesFromAnotherThread) {
  Overlapped overlapped{&done};
  uint32_t moved = 99;
  EXPECT_FALSE(paths.ReadOverlapped(handle, buffer, overlapped, &moved));
  EXPECT_EQ(GetLastError(), 997u);
  EXPECT_EQ(moved, 0u);
  EXPECT_FALSE(done.IsSet());  // reset as the request started
  EXPECT_FALSE(paths.GetOverlappedResult(handle, overlapped, &moved, false));
  EXPECT_EQ(GetLastError(), 996u);
  EXPECT_EQ(paths.PendingRequests(handle), 1u);

  std::thread worker([&] {
    std::shared_ptr<PendingRequest> request = device->Take();
    device->buffer[0] = 0x5A;
    // Overstated: the caller's buffer holds 8 bytes, so that is all it may be told.
    EXPECT_TRUE(request->Complete({kErrorSuccess, 1000}));
    EXPECT_FALSE(request->Complete({kErrorSuccess, 1}));
  });
  EXPECT_TRUE(paths.GetOverlappedResult(handle, overlapped, &moved, true));
  worker.join();
  EXPECT_EQ(moved, 8u);
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_TRUE(done.IsSet());
  EXPECT_EQ(paths.PendingRequests(handle), 0u);
}

TEST_F(OverlappedTest, CancelIoRunsTheCancelRoutineOnce) {
  Overlapped overlapped{&done};
  ASSERT_FALSE(paths.ReadOverlapped(handle, buffer, overlapped, nullptr));
  EXPECT_TRUE(paths.CancelIo(handle));
  EXPECT_TRUE(paths.CancelIo(handle));  // nothing left: no second completion
  uint32_t moved = 0;
  EXPECT_FALSE(paths.GetOverlappedResult(handle, overlapped, &moved, false));
  EXPECT_EQ(GetLastError(), 995u);
  EXPECT_TRUE(done.IsSet());
  EXPECT_FALSE(paths.CancelIo(handle + 1000));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST_F(OverlappedTest, CloseCancelsAndTheFileLivesUntilCompletion) {
  Overlapped overlapped{&done};
  ASSERT_FALSE(paths.ReadOverlapped(handle, buffer, overlapped, nullptr));
  // A device that ignores the cancel keeps its request, and with it the file object.
  std::shared_ptr<PendingRequest> request = device->Take();
  ASSERT_TRUE(request->SetCancelRoutine(nullptr));
  EXPECT_TRUE(paths.Close(handle));
  EXPECT_TRUE(request->CancelRequested());
  EXPECT_EQ(device->filesDestroyed, 0);
  EXPECT_TRUE(request->Complete({kErrorOperationAborted, 0}));
  EXPECT_EQ(device->filesDestroyed, 1);
  // The outcome is still there after the handle has gone.
  EXPECT_FALSE(paths.GetOverlappedResult(handle, overlapped, nullptr, true));
  EXPECT_EQ(GetLastError(), 995u);
}

TEST_F(OverlappedTest, CancelRoutineSetAfterTheCancelRunsAtOnce) {
  Overlapped overlapped;
  ASSERT_FALSE(paths.ReadOverlapped(handle, buffer, overlapped, nullptr));
  std::shared_ptr<PendingRequest> request = device->Take();
  ASSERT_TRUE(request->SetCancelRoutine(nullptr));
  paths.CancelIo(handle);
  EXPECT_FALSE(request->Completed());
  int runs = 0;
  EXPECT_FALSE(request->SetCancelRoutine([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  request->Complete({kErrorOperationAborted, 0});
  EXPECT_TRUE(request->SetCancelRoutine([&] { ++runs; }));  // completed: nothing to cancel
  EXPECT_EQ(runs, 1);
}

// A device without overlapped support completes at once through its synchronous form.
class EchoDevice final : public StatelessDevice {
 public:
  IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    if (code != 7) return {kErrorInvalidParameter, 0};
    const size_t n = std::min(in.size(), out.size());
    std::copy_n(in.begin(), n, out.begin());
    return {kErrorSuccess, static_cast<uint32_t>(n)};
  }
};

TEST(OverlappedSyncTest, SynchronousDevicesCompleteAtOnce) {
  RealClock clock;
  Event done(clock, Event::Reset::kManual);
  DevicePaths paths;
  ASSERT_TRUE(paths.Register("Echo", std::make_shared<EchoDevice>()));
  DeviceHandle handle = paths.Open("\\\\.\\echo");
  const std::array<uint8_t, 3> in{1, 2, 3};
  std::array<uint8_t, 2> out{};
  Overlapped overlapped{&done};
  uint32_t moved = 0;
  EXPECT_TRUE(paths.ControlOverlapped(handle, 7, in, out, overlapped, &moved));
  EXPECT_EQ(moved, 2u);
  EXPECT_EQ(out[1], 2);
  EXPECT_TRUE(done.IsSet());
  EXPECT_TRUE(paths.GetOverlappedResult(handle, overlapped, &moved, false));

  EXPECT_FALSE(paths.ControlOverlapped(handle, 8, in, out, overlapped, &moved));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  // Reads are not taken by this device: the synchronous answer, through the overlapped form.
  EXPECT_FALSE(paths.ReadOverlapped(handle, out, overlapped, &moved));
  EXPECT_EQ(GetLastError(), 1u);

  Overlapped unused;
  EXPECT_FALSE(paths.GetOverlappedResult(handle, unused, &moved, true));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_FALSE(paths.ReadOverlapped(handle + 4, out, overlapped, &moved));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

}  // namespace
}  // namespace platform
