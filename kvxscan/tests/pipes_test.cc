// Which pipe a read or write uses (by file name, by its cached index, or the first bulk pipe of
// its direction), pipes that are missing, and the cancel flag a cancelled request leaves.
#include "kvx_harness.h"
#include "platform/clock/event.h"

namespace kvxscan::testing {
namespace {

using platform::DeviceFault;

constexpr uint32_t kInvalidFunction = 1;     // STATUS_INVALID_DEVICE_REQUEST
constexpr uint32_t kInvalidParameter = 87;   // STATUS_INVALID_PARAMETER
constexpr uint32_t kCancelled = 995;         // STATUS_CANCELLED

// A configuration of the interface's `endpoints` (7 bytes each) after the default's header.
std::vector<uint8_t> ConfigurationWith(const std::vector<std::vector<uint8_t>>& endpoints) {
  std::vector<uint8_t> config = emulator::KvxScanner::DefaultConfiguration();
  config.resize(18);  // the configuration and interface descriptors
  for (const auto& e : endpoints) config.insert(config.end(), e.begin(), e.end());
  config[2] = static_cast<uint8_t>(config.size());
  config[13] = static_cast<uint8_t>(endpoints.size());
  return config;
}

KvxHarness WithEndpoints(const std::vector<std::vector<uint8_t>>& endpoints) {
  return KvxHarness([endpoints](KvxHarness& k) {
    k.scanner().SetDescriptors(emulator::KvxScanner::DefaultDeviceDescriptor(), ConfigurationWith(endpoints));
  });
}

void StartScan(KvxHarness& h, platform::DeviceHandle handle) {
  platform::UserBuffer one(1);
  one.data()[0] = 1;
  std::vector<uint8_t> none;
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x20, 1, one.address()}), none), 0u);
}

const std::vector<uint8_t> kBulkIn = {7, 5, 0x81, 2, 64, 0, 0};
const std::vector<uint8_t> kBulkOut = {7, 5, 0x02, 2, 64, 0, 0};
const std::vector<uint8_t> kInterrupt = {7, 5, 0x83, 3, 8, 0, 10};

TEST(KvxPipes, ADirectionWithoutABulkPipeIsAnInvalidDeviceRequest) {
  KvxHarness h = WithEndpoints({kBulkIn, kInterrupt});
  ASSERT_EQ(h.pnp().LastStartStatus(h.pdo()), 0);
  auto handle = h.Open();
  std::vector<uint8_t> data(100);
  uint32_t n = 99;
  EXPECT_FALSE(h.paths().Write(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), kInvalidFunction);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(h.ext().WritesOutstanding, 0);
  std::vector<uint8_t> sizes(12);
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_GET_PIPE_SIZES, {}, sizes), 0u);
  EXPECT_EQ(sizes, (std::vector<uint8_t>{8, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0})) << "no bulk OUT: 0";
  StartScan(h, handle);
  EXPECT_TRUE(h.paths().Read(handle, data, &n)) << "the other direction still works";
  EXPECT_EQ(n, 100u);
}

// With two bulk IN pipes the pipe-size record reports the later one, while an unnamed read
// takes the first.
TEST(KvxPipes, TheLaterPipeOfAKindGivesItsSizeAndTheFirstCarriesUnnamedReads) {
  KvxHarness h = WithEndpoints({kBulkIn, kBulkOut, kInterrupt, {7, 5, 0x84, 2, 32, 0, 0}});
  ASSERT_EQ(h.pnp().LastStartStatus(h.pdo()), 0);
  auto handle = h.Open();
  std::vector<uint8_t> sizes(12);
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_GET_PIPE_SIZES, {}, sizes), 0u);
  EXPECT_EQ(sizes, (std::vector<uint8_t>{8, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0}));
  StartScan(h, handle);
  std::vector<uint8_t> data(1000);
  uint32_t n = 0;
  ASSERT_TRUE(h.paths().Read(handle, data, &n));
  EXPECT_EQ(h.scanner().Transfers(0x81), (std::vector<uint32_t>{1000}));
  EXPECT_TRUE(h.scanner().Transfers(0x84).empty());
}

// A name's index past the pipe table is refused on every request of the handle, not only the
// first (the cached index keeps 3 bits: "\8" and "\9" would come back as pipes 0 and 1).
TEST(KvxPipes, ANamedPipePastTheTableIsRefusedOnEveryRequestOfItsHandle) {
  KvxHarness h;
  auto in = h.Open();
  StartScan(h, in);
  std::vector<uint8_t> data(64);
  uint32_t n = 0;
  struct Case {
    const char* name;
    bool read;
  };
  for (Case c : {Case{"\\\\.\\KvxScan0\\8", true}, Case{"\\\\.\\KvxScan0\\9", false}, Case{"\\\\.\\KvxScan0\\4", true},
                 Case{"\\\\.\\KvxScan0\\3", true}, Case{"\\\\.\\KvxScan0\\x", true}}) {
    auto handle = h.Open(c.name);
    ASSERT_NE(handle, platform::kInvalidDeviceHandle) << c.name;
    for (int attempt = 0; attempt < 2; ++attempt) {
      bool moved = c.read ? h.paths().Read(handle, data, &n) : h.paths().Write(handle, data, &n);
      EXPECT_FALSE(moved) << c.name << " attempt " << attempt;
      EXPECT_EQ(platform::GetLastError(), kInvalidParameter) << c.name << " attempt " << attempt;
    }
  }
  EXPECT_TRUE(h.scanner().Received().empty());
  EXPECT_EQ(h.ext().ReadsOutstanding, 0);
  // A valid name keeps its pipe for the handle's later requests.
  auto named = h.Open("\\\\.\\KvxScan0\\1");
  for (int attempt = 0; attempt < 2; ++attempt) EXPECT_TRUE(h.paths().Write(named, data, &n)) << attempt;
  EXPECT_EQ(h.scanner().Received().size(), 128u);
}

// A cancelled read leaves the read cancel flag set: reads are refused, writes are not, until
// the cancel request resets the bulk-in pipe (selector 1) with no read outstanding. Writes
// alike with selector 2.
TEST(KvxPipes, ACancelledRequestRefusesItsDirectionUntilTheCancelRequestResetsThePipe) {
  KvxHarness h(MachineWith("width=100\nlines=100\n"));
  auto handle = h.Open();
  std::vector<uint8_t> data(1000), none;
  uint32_t n = 0;

  platform::Overlapped read;
  ASSERT_FALSE(h.paths().ReadOverlapped(handle, data, read, &n)) << "no scan runs: the read waits";
  ASSERT_EQ(platform::GetLastError(), 997u);
  h.paths().CancelIo(handle);
  EXPECT_EQ(read.request->Wait().error, kCancelled);
  h.Settle();
  EXPECT_FALSE(h.paths().Read(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), kCancelled) << "the flag stays set";
  EXPECT_TRUE(h.paths().Write(handle, data, &n)) << "the other direction is untouched";
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_CANCEL, Bytes(kCancelBulkIn), none), 0u);
  EXPECT_EQ(h.ext().ReadCancel, 0);
  StartScan(h, handle);
  ASSERT_TRUE(h.paths().Read(handle, data, &n)) << platform::GetLastError();
  EXPECT_EQ(n, 1000u);

  h.faults().Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0x02, .count = 1});
  platform::Overlapped write;
  ASSERT_FALSE(h.paths().WriteOverlapped(handle, data, write, &n));
  ASSERT_EQ(platform::GetLastError(), 997u);
  h.paths().CancelIo(handle);
  EXPECT_EQ(write.request->Wait().error, kCancelled);
  h.Settle();
  EXPECT_FALSE(h.paths().Write(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), kCancelled);
  EXPECT_TRUE(h.paths().Read(handle, data, &n)) << platform::GetLastError();
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_CANCEL, Bytes(kCancelBulkOut), none), 0u);
  EXPECT_TRUE(h.paths().Write(handle, data, &n)) << platform::GetLastError();
  EXPECT_EQ(h.ext().WritesOutstanding, 0);
}

// The cancel request on a pending read aborts the pipe: the read ends cancelled, once.
TEST(KvxPipes, TheCancelRequestEndsAPendingReadAndAPendingWait) {
  KvxHarness h;
  auto handle = h.Open();
  std::vector<uint8_t> data(500), event(8), none;
  uint32_t n = 0;
  platform::Overlapped read, wait;
  ASSERT_FALSE(h.paths().ReadOverlapped(handle, data, read, &n));
  ASSERT_FALSE(h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, event, wait, &n));
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_CANCEL, Bytes(kCancelDeviceEventWait), none), 0u);
  EXPECT_EQ(wait.request->Wait().error, kCancelled);
  EXPECT_FALSE(read.request->Completed()) << "selector 0 leaves the read";
  EXPECT_EQ(h.ext().Waiters, 0);
  ASSERT_EQ(h.Control(handle, IOCTL_KVX_CANCEL, Bytes(kCancelBulkIn), none), 0u);
  platform::IoStatus s = read.request->Wait();
  EXPECT_EQ(s.error, kCancelled);
  EXPECT_EQ(s.information, 0u);
  EXPECT_FALSE(read.request->Complete(platform::IoStatus{})) << "completed once";
  h.Settle();
  EXPECT_EQ(h.ext().ReadsOutstanding, 0);
}

}  // namespace
}  // namespace kvxscan::testing
