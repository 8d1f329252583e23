// Reads, writes and device-event waits through the device path.
#include <algorithm>

#include "kvx_harness.h"
#include "platform/clock/event.h"

namespace kvxscan::testing {
namespace {

using platform::DeviceFault;

class KvxBulk : public ::testing::Test {
 protected:
  explicit KvxBulk(std::string machine = "width=1000\nlines=200\n") : h(MachineWith(machine)) {}

  void WriteRegister(uint8_t address, std::vector<uint8_t> values) {
    platform::UserBuffer data(values.size());
    std::copy(values.begin(), values.end(), data.data());
    std::vector<uint8_t> none;
    ASSERT_EQ(h.Control(handle, IOCTL_KVX_WRITE_REGISTERS,
                        Bytes(KVX_REGISTER_BLOCK{address, static_cast<uint32_t>(values.size()), data.address()}), none),
              0u);
  }
  void StartScan() { WriteRegister(0x20, {1}); }

  std::vector<uint8_t> Chart(size_t from, size_t count, uint32_t width = 1000, uint32_t lines = 200) {
    std::vector<uint8_t> out(count);
    for (size_t i = 0; i < count; ++i) {
      out[i] = emulator::KvxScanner::ChartByte(static_cast<uint32_t>((from + i) % width),
                                               static_cast<uint32_t>((from + i) / width), width, lines);
    }
    return out;
  }

  KvxHarness h;
  platform::DeviceHandle handle = h.Open();
};

TEST_F(KvxBulk, A200000ByteReadIssuesFourUrbsAndDeliversTheChart) {
  StartScan();
  std::vector<uint8_t> data(200000);
  uint32_t n = 0;
  ASSERT_TRUE(h.paths().Read(handle, data, &n));
  EXPECT_EQ(n, 200000u);
  EXPECT_EQ(h.scanner().Transfers(0x81), (std::vector<uint32_t>{65536, 65536, 65536, 3392}));
  EXPECT_EQ(data, Chart(0, 200000));
}

TEST_F(KvxBulk, AShortUrbEndsTheReadWithTheBytesSoFarAndTheNextReadGoesOn) {
  h.faults().Add({.kind = DeviceFault::Kind::kShortData, .opcode = 0x81, .count = 1, .length = 1000});
  StartScan();
  std::vector<uint8_t> data(200000);
  uint32_t n = 0;
  ASSERT_TRUE(h.paths().Read(handle, data, &n));
  ASSERT_EQ(n, 1000u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 1000), Chart(0, 1000));
  std::vector<uint8_t> next(5000);
  ASSERT_TRUE(h.paths().Read(handle, next, &n)) << platform::GetLastError();
  EXPECT_EQ(n, 5000u);
  EXPECT_EQ(next, Chart(1000, 5000)) << "the URBs after the short one moved nothing";
}

TEST_F(KvxBulk, AStalledUrbFailsTheReadAndTheResetPipeServesTheNext) {
  h.faults().Add({.kind = DeviceFault::Kind::kHostStatus, .opcode = 0x81, .count = 1});
  StartScan();
  std::vector<uint8_t> data(100000);
  uint32_t n = 99;
  EXPECT_FALSE(h.paths().Read(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), 31u);
  EXPECT_EQ(n, 0u);
  ASSERT_TRUE(h.paths().Read(handle, data, &n)) << platform::GetLastError();
  EXPECT_EQ(n, 100000u);
  EXPECT_EQ(h.ext().ReadsOutstanding, 0);
}

TEST_F(KvxBulk, ASecondReadWhileOneIsPendingIsCancelledAndTheFirstGoesOn) {
  std::vector<uint8_t> first(3000), second(10);
  platform::Event event(h.host().clock(), platform::Event::Reset::kManual);
  platform::Overlapped ov{&event};
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ReadOverlapped(handle, first, ov, &n));
  ASSERT_EQ(platform::GetLastError(), 997u) << "no scan runs: the read waits";
  EXPECT_FALSE(h.paths().Read(handle, second, &n));
  EXPECT_EQ(platform::GetLastError(), 995u);
  EXPECT_EQ(h.ext().ReadsOutstanding, 1) << "the refused read is not counted";
  EXPECT_FALSE(h.paths().GetOverlappedResult(handle, ov, &n, false));
  EXPECT_EQ(platform::GetLastError(), 996u);
  StartScan();
  ASSERT_TRUE(h.paths().GetOverlappedResult(handle, ov, &n, true));
  EXPECT_EQ(n, 3000u);
  EXPECT_EQ(first, Chart(0, 3000));
}

TEST_F(KvxBulk, AWriteIsSplitIntoChunksThatArriveInOrder) {
  std::vector<uint8_t> data(150000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  uint32_t n = 0;
  ASSERT_TRUE(h.paths().Write(handle, data, &n));
  EXPECT_EQ(n, 150000u);
  EXPECT_EQ(h.scanner().Transfers(0x02), (std::vector<uint32_t>{65536, 65536, 18928}));
  EXPECT_EQ(h.scanner().Received(), data);
}

TEST_F(KvxBulk, ZeroByteReadsAndWritesCompleteAtOnce) {
  std::vector<uint8_t> none;
  uint32_t n = 99;
  EXPECT_TRUE(h.paths().Read(handle, none, &n));
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(h.paths().Write(handle, none, &n));
  EXPECT_EQ(h.ext().ReadsOutstanding, 0);
}

TEST_F(KvxBulk, PipesByFileNameMustExistAndMoveTheWantedWay) {
  auto in = h.Open("\\\\.\\KvxScan0\\0");
  auto out = h.Open("\\\\.\\KvxScan0\\1");
  auto missing = h.Open("\\\\.\\KvxScan0\\7");
  ASSERT_NE(in, platform::kInvalidDeviceHandle);
  std::vector<uint8_t> data(10);
  uint32_t n = 0;
  EXPECT_FALSE(h.paths().Read(out, data, &n));
  EXPECT_EQ(platform::GetLastError(), 87u) << "pipe 1 is bulk OUT";
  EXPECT_FALSE(h.paths().Read(missing, data, &n));
  EXPECT_EQ(platform::GetLastError(), 87u);
  EXPECT_TRUE(h.paths().Write(out, data, &n));
  StartScan();
  EXPECT_TRUE(h.paths().Read(in, data, &n));
  EXPECT_EQ(data, Chart(0, 10));
}

TEST_F(KvxBulk, AWaitWithAPacketBufferedReturnsItAtOnce) {
  h.scanner().PressButton();
  auto buffered = [&] {
    // The extension is looked up before the spin lock is taken: the lookup takes the PnP
    // manager's lock, which its shutdown holds while it takes this spin lock.
    auto& ext = h.ext();
    platform::KIRQL irql;
    platform::KeAcquireSpinLock(&ext.EventLock, &irql);
    bool b = ext.EventBuffered;
    platform::KeReleaseSpinLock(&ext.EventLock, irql);
    return b;
  };
  for (int i = 0; i < 1000 && !buffered(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::vector<uint8_t> out(8);
  uint32_t n = 0;
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out, &n), 0u);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(buffered());
  EXPECT_EQ(h.ext().Waiters, 0);
  std::vector<uint8_t> shortOut(7);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, shortOut), 87u);
  EXPECT_EQ(h.ext().Waiters, 0) << "a refused wait is not counted";
}

TEST_F(KvxBulk, ASecondWaitIsRefusedAndTheFirstGetsTheNextPacket) {
  std::vector<uint8_t> first(8), second(8);
  platform::Event event(h.host().clock(), platform::Event::Reset::kManual);
  platform::Overlapped ov{&event};
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, first, ov, &n));
  ASSERT_EQ(platform::GetLastError(), 997u);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, second), 995u);
  EXPECT_EQ(h.ext().Waiters, 1);
  StartScan();
  std::vector<uint8_t> data(200000);
  ASSERT_TRUE(h.paths().Read(handle, data, &n));
  ASSERT_TRUE(h.paths().GetOverlappedResult(handle, ov, &n, true));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(first[0], 2) << "scan done";
  EXPECT_EQ(h.ext().Waiters, 0);
}

TEST_F(KvxBulk, AFailedInterruptTransferEndsAPendingWaitCancelled) {
  std::vector<uint8_t> out(8, 0xEE);
  platform::Event event(h.host().clock(), platform::Event::Reset::kManual);
  platform::Overlapped ov{&event};
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out, ov, &n));
  h.faults().Add({.kind = DeviceFault::Kind::kHostStatus, .opcode = 0x83, .count = 1});
  h.scanner().PressButton();  // the bus tries the transfer again: it stalls
  EXPECT_FALSE(h.paths().GetOverlappedResult(handle, ov, &n, true));
  EXPECT_EQ(platform::GetLastError(), 995u);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(h.ext().Waiters, 0);
  // The completion routine lets go of the poll after it has ended the wait: give it a moment.
  auto polling = [&] { return __atomic_load_n(&h.ext().InterruptIrp, __ATOMIC_SEQ_CST) != nullptr; };
  for (int i = 0; i < 2000 && polling(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(polling()) << "polling stops at the first failed transfer";
}

TEST_F(KvxBulk, TheInterruptPipeByNameReadsEventPackets) {
  auto events = h.Open("\\\\.\\KvxScan0\\2");
  ASSERT_NE(events, platform::kInvalidDeviceHandle);
  h.Settle();
  // The driver's own poll takes the first packet; this read takes the next.
  h.scanner().PressButton();
  h.Settle();
  std::vector<uint8_t> packet(8);
  platform::Overlapped ov;
  uint32_t n = 0;
  if (!h.paths().ReadOverlapped(events, packet, ov, &n)) {
    ASSERT_EQ(platform::GetLastError(), 997u);
    // The driver's poll and this read take packets in turn: press until one reaches the read.
    for (int i = 0; i < 200 && !ov.request->Completed(); ++i) {
      h.scanner().PressButton();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!ov.request->Completed()) h.paths().CancelIo(events);
    ASSERT_TRUE(h.paths().GetOverlappedResult(events, ov, &n, true)) << platform::GetLastError();
  }
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(packet[0], 1) << "a button event";
}

TEST(KvxRemoval, ASurpriseRemovedDeviceRefusesNewOpensAndGoesWithItsLastHandle) {
  KvxHarness h;
  auto first = h.Open();
  auto second = h.Open();
  h.bus().Unplug(h.pdo());
  EXPECT_EQ(h.Open(), platform::kInvalidDeviceHandle);
  std::vector<uint8_t> out(4);
  EXPECT_NE(h.Control(first, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 4, 0}), out), 0u);
  h.Close(first);
  EXPECT_NE(h.fdo(), nullptr) << "one handle is still open";
  h.Close(second);
  h.Settle();
  EXPECT_EQ(h.fdo(), nullptr);
  EXPECT_FALSE(h.paths().Exists("KvxScan0"));
  EXPECT_EQ(h.WdmPool(), 0u);
}

// --- Ending pending requests ---

enum class Ender { kCancelIo, kStop, kClose, kUnplug };
const char* Name(Ender e) {
  switch (e) {
    case Ender::kCancelIo: return "CancelIo";
    case Ender::kStop: return "stop";
    case Ender::kClose: return "close";
    default: return "surprise removal";
  }
}

enum class Kind { kRead, kWrite, kWait };

// Starts a read, a write and a wait in `order`, all left pending; ends them with `ender`; each
// completes once with an error; then the device works again (or, once removed, the driver has
// gone without leaving pool).
void EndPending(Ender ender, const std::vector<Kind>& order) {
  SCOPED_TRACE(std::string(Name(ender)));
  KvxHarness h(MachineWith("width=100\nlines=100\n"));
  auto handle = h.Open();
  h.faults().Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0x02, .count = 1});
  std::vector<uint8_t> readData(4096), writeData(70000, 0x5A), waitData(8);
  std::vector<std::unique_ptr<platform::Event>> events;
  std::vector<platform::Overlapped> ovs(3);
  for (size_t i = 0; i < order.size(); ++i) {
    events.push_back(std::make_unique<platform::Event>(h.host().clock(), platform::Event::Reset::kManual));
    ovs[i].event = events.back().get();
    uint32_t n = 0;
    bool done = order[i] == Kind::kRead    ? h.paths().ReadOverlapped(handle, readData, ovs[i], &n)
                : order[i] == Kind::kWrite ? h.paths().WriteOverlapped(handle, writeData, ovs[i], &n)
                                           : h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {},
                                                                         waitData, ovs[i], &n);
    ASSERT_FALSE(done);
    ASSERT_EQ(platform::GetLastError(), 997u);
  }
  auto requests = std::vector<std::shared_ptr<platform::PendingRequest>>{ovs[0].request, ovs[1].request, ovs[2].request};
  switch (ender) {
    case Ender::kCancelIo: h.paths().CancelIo(handle); break;
    case Ender::kStop: EXPECT_EQ(h.pnp().Stop(h.pdo()), 0); break;
    case Ender::kClose: h.Close(handle); break;
    case Ender::kUnplug: h.bus().Unplug(h.pdo()); break;
  }
  for (size_t i = 0; i < 3; ++i) {
    platform::IoStatus s = requests[i]->Wait();
    EXPECT_NE(s.error, 0u) << "request " << i;
    EXPECT_EQ(s.information, 0u) << "request " << i;
    EXPECT_FALSE(requests[i]->Complete(platform::IoStatus{})) << "completed once";
  }
  h.Settle();
  if (ender == Ender::kUnplug) {
    EXPECT_NE(h.fdo(), nullptr) << "removal waits for the last handle";
    h.Close(handle);
    h.Settle();
    EXPECT_EQ(h.fdo(), nullptr);
    EXPECT_EQ(h.WdmPool(), 0u);
    EXPECT_FALSE(h.pnp().DriverLoaded("KvxScan"));
    return;
  }
  EXPECT_EQ(h.ext().ReadsOutstanding, 0);
  EXPECT_EQ(h.ext().WritesOutstanding, 0);
  EXPECT_EQ(h.ext().Waiters, 0);
  if (ender == Ender::kStop) {
    ASSERT_EQ(h.pnp().Start(h.pdo()), 0);
  }
  if (ender == Ender::kClose) handle = h.Open();
  std::vector<uint8_t> none;
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_CANCEL, Bytes(kCancelAll), none), 0u);
  platform::UserBuffer one(1);
  one.data()[0] = 1;
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x20, 1, one.address()}), none), 0u);
  std::vector<uint8_t> data(10000);
  uint32_t n = 0;
  EXPECT_TRUE(h.paths().Read(handle, data, &n)) << platform::GetLastError();
  EXPECT_EQ(n, 10000u);
  h.Close(handle);
  EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
  EXPECT_EQ(h.WdmPool(), 0u);
}

TEST(KvxPending, CancelStopCloseAndSurpriseRemovalEndAReadAWriteAndAWaitInEveryOrder) {
  std::vector<Kind> order = {Kind::kRead, Kind::kWrite, Kind::kWait};
  for (Ender ender : {Ender::kCancelIo, Ender::kStop, Ender::kClose, Ender::kUnplug}) {
    std::sort(order.begin(), order.end());
    do {
      EndPending(ender, order);
    } while (std::next_permutation(order.begin(), order.end()));
  }
}

TEST(KvxPending, CloseCompletesAPendingReadAndWriteCancelled) {
  KvxHarness h;
  auto handle = h.Open();
  h.faults().Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0x02, .count = 1});
  std::vector<uint8_t> r(100), w(100);
  platform::Overlapped ro, wo;
  uint32_t n = 0;
  ASSERT_FALSE(h.paths().ReadOverlapped(handle, r, ro, &n));
  ASSERT_FALSE(h.paths().WriteOverlapped(handle, w, wo, &n));
  auto read = ro.request, write = wo.request;
  h.Close(handle);
  EXPECT_EQ(read->Wait().error, 995u);
  EXPECT_EQ(write->Wait().error, 995u);
}

}  // namespace
}  // namespace kvxscan::testing
