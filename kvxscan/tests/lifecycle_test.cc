// The driver's life under the PnP manager: loading, adding, starting, the published path,
// stopping, removing and unloading.
#include "kvx_harness.h"
#include "platform/registry/registry.h"

namespace kvxscan::testing {
namespace {

using platform::NTSTATUS;

std::string CreateFileName(platform::Host& host, int port = 0) {
  platform::RegKey key = 0;
  if (host.registry().OpenKey(platform::kHkeyLocalMachine, platform::DriverKeyPath(port), &key) != 0) return "<no key>";
  std::string value = "<no value>";
  host.registry().GetString(key, "CreateFileName", &value);
  host.registry().CloseKey(key);
  return value;
}

TEST(KvxLifecycle, PnpLoadsTheModuleOnceStartsTheDeviceAndPublishesItsPath) {
  KvxHarness h;
  EXPECT_EQ(h.pnp().DriverEntryCalls("KvxScan"), 1);
  EXPECT_EQ(h.pnp().LastStartStatus(h.pdo()), 0);
  ASSERT_NE(h.fdo(), nullptr);
  EXPECT_EQ(h.scanner().configuration(), 1);
  EXPECT_EQ(CreateFileName(h.host()), "\\\\.\\KvxScan0");
  EXPECT_TRUE(h.paths().Exists("KvxScan0"));
  EXPECT_NE(h.ext().InterruptIrp, nullptr) << "the interrupt pipe is polled from the start";
  EXPECT_EQ(h.ext().PipeInfo[0].MaximumTransferSize, 65536u);
  EXPECT_EQ(h.ext().PipeInfo[2].MaximumTransferSize, 4096u) << "only bulk pipes get 64 KiB";
}

TEST(KvxLifecycle, RemoveClearsThePathDeletesTheLinkAndLeavesNoPoolAfterUnload) {
  KvxHarness h;
  auto pdo = h.pdo();
  EXPECT_EQ(h.pnp().Remove(pdo), 0);
  EXPECT_EQ(CreateFileName(h.host()), "");
  EXPECT_FALSE(h.paths().Exists("KvxScan0"));
  EXPECT_FALSE(h.pnp().DriverLoaded("KvxScan"));
  EXPECT_EQ(h.WdmPool(), 0u);
  EXPECT_EQ(h.kernel().PoolBlocks("Irp "), 0u);
}

TEST(KvxLifecycle, StopThenRemoveDeconfiguresOnceAndRemoveAloneNotAtAll) {
  {
    KvxHarness h;
    EXPECT_EQ(h.pnp().Stop(h.pdo()), 0);
    EXPECT_EQ(h.scanner().deconfigurations(), 1);
    EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
    EXPECT_EQ(h.scanner().deconfigurations(), 1);
  }
  {
    KvxHarness h;
    EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
    EXPECT_EQ(h.scanner().deconfigurations(), 0);
  }
}

TEST(KvxLifecycle, AStoppedDeviceRefusesRequestsAndANewStartClearsEveryFlag) {
  KvxHarness h;
  auto handle = h.Open();
  ASSERT_NE(handle, platform::kInvalidDeviceHandle);
  EXPECT_EQ(h.pnp().Stop(h.pdo()), 0);
  std::vector<uint8_t> data(16);
  uint32_t n = 0;
  EXPECT_FALSE(h.paths().Read(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), 6u) << "STATUS_FILE_CLOSED";
  std::vector<uint8_t> out(2);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 2, 0}), out), 8u)
      << "STATUS_NO_MEMORY reports a stopped device";
  EXPECT_EQ(h.pnp().Start(h.pdo()), 0);
  EXPECT_EQ(h.ext().Stopped, 0);
  EXPECT_EQ(h.ext().ReadCancel, 0);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 2, 0}), out), 0u);
  EXPECT_EQ(out, (std::vector<uint8_t>{'K', 'V'}));
}

TEST(KvxLifecycle, TenNamesTakenMakeTheEleventhAddFailWithTheLastCreationStatus) {
  KvxHarness h(MachineWith("scanners=11\n"));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(h.pnp().LastStartStatus(h.pdo(i)), 0) << i;
    EXPECT_TRUE(h.paths().Exists("KvxScan" + std::to_string(i)));
  }
  EXPECT_EQ(static_cast<uint32_t>(h.pnp().LastStartStatus(h.pdo(10))), 0xC0000035u);
  EXPECT_EQ(h.pnp().FunctionDevice(h.pdo(10)), nullptr);
}

TEST(KvxLifecycle, TheFirstOpenOfADeviceWhoseStartFailedStartsIt) {
  KvxHarness h([](KvxHarness& k) {
    k.faults().Add({.kind = platform::DeviceFault::Kind::kHostStatus, .opcode = 0, .count = 1});
  });
  EXPECT_EQ(static_cast<uint32_t>(h.pnp().LastStartStatus(h.pdo())), 0xC0000001u) << "the stall of the first request";
  EXPECT_EQ(h.ext().Descriptors.Device.bLength, 0);
  auto handle = h.Open();
  ASSERT_NE(handle, platform::kInvalidDeviceHandle);
  EXPECT_EQ(h.ext().Descriptors.Device.bLength, 18);
  EXPECT_EQ(h.scanner().configuration(), 1);
  EXPECT_EQ(h.ext().OpenCount, 1);
}

TEST(KvxLifecycle, AnInterfaceWithoutInterruptEndpointStartsWithoutBufferAndRefusesWaits) {
  KvxHarness h([](KvxHarness& k) {
    auto config = emulator::KvxScanner::DefaultConfiguration();
    config[2] = 32;   // total length without the interrupt endpoint
    config[13] = 2;   // two endpoints
    config.resize(32);
    k.scanner().SetDescriptors(emulator::KvxScanner::DefaultDeviceDescriptor(), config);
  });
  EXPECT_EQ(h.pnp().LastStartStatus(h.pdo()), 0);
  EXPECT_EQ(h.ext().InterruptBuffer, nullptr);
  EXPECT_EQ(h.ext().InterruptIrp, nullptr);
  auto handle = h.Open();
  std::vector<uint8_t> out(8);
  EXPECT_EQ(h.Control(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out), 995u);
  EXPECT_EQ(h.ext().Waiters, 0) << "a refused wait is not counted";
}

struct Hostile {
  const char* what;
  std::vector<uint8_t> device;
  std::vector<uint8_t> configuration;
};

TEST(KvxLifecycle, DescriptorsThatDoNotFitFailTheStartAndLeaveNothingBehind) {
  auto config = emulator::KvxScanner::DefaultConfiguration();
  auto fiveEndpoints = config;
  fiveEndpoints[2] = 9 + 9 + 5 * 7;
  fiveEndpoints[13] = 5;
  for (int i = 0; i < 2; ++i) fiveEndpoints.insert(fiveEndpoints.end(), {7, 5, 0x84, 2, 64, 0, 0});
  auto shorter = config;
  shorter[2] = 60;  // announces more than it sends
  auto notEndpoints = config;
  notEndpoints[19] = 4;  // an endpoint's type byte
  auto truncatedDevice = emulator::KvxScanner::DefaultDeviceDescriptor();
  truncatedDevice.resize(12);
  auto tiny = std::vector<uint8_t>{9, 2, 9, 0, 1, 1, 0, 0xC0, 50};
  std::vector<Hostile> cases = {
      {"five endpoints", emulator::KvxScanner::DefaultDeviceDescriptor(), fiveEndpoints},
      {"shorter than announced", emulator::KvxScanner::DefaultDeviceDescriptor(), shorter},
      {"not endpoint descriptors", emulator::KvxScanner::DefaultDeviceDescriptor(), notEndpoints},
      {"device descriptor of 12 bytes", truncatedDevice, config},
      {"no interface", emulator::KvxScanner::DefaultDeviceDescriptor(), tiny},
  };
  for (const Hostile& c : cases) {
    KvxHarness h([&](KvxHarness& k) { k.scanner().SetDescriptors(c.device, c.configuration); });
    EXPECT_EQ(static_cast<uint32_t>(h.pnp().LastStartStatus(h.pdo())), 0xC000009Cu) << c.what;
    EXPECT_EQ(h.ext().NumberOfEndpoints, 0) << c.what;
    EXPECT_EQ(h.Open(), platform::kInvalidDeviceHandle) << c.what;
    EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
    EXPECT_EQ(h.WdmPool(), 0u) << c.what;
  }
}

// Found by the hostile-device fuzz target: a second start cleared the slot of the running
// interrupt transfer, which then stayed at the bus with its URB after unload.
TEST(KvxLifecycle, AStartOfARunningDeviceEndsItsInterruptPollFirst) {
  KvxHarness h;
  h.faults().Add({.kind = platform::DeviceFault::Kind::kHostStatus, .opcode = 0, .count = 1});
  EXPECT_NE(h.pnp().Start(h.pdo()), 0) << "the descriptor request stalls";
  EXPECT_EQ(h.pnp().Start(h.pdo()), 0);
  EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
  EXPECT_EQ(h.WdmPool(), 0u);
  EXPECT_EQ(h.kernel().PoolBlocks("Irp "), 0u);
}

TEST(KvxLifecycle, SetPowerIsAnsweredByTheIoManager) {
  KvxHarness h;
  EXPECT_EQ(h.pnp().SetPower(h.pdo(), 4), 0);
}

// Every pool allocation of the start, failed in turn: the start reports the allocation status,
// and once removed nothing is left.
TEST(KvxLifecycle, EachPoolAllocationOfTheStartFailingReportsItAndLeaksNothing) {
  for (uint64_t n = 1; n < 40; ++n) {
    KvxHarness h([n](KvxHarness& k) { k.host().faults().FailNth("kernel.pool.Wdm", n); });
    NTSTATUS status = h.pnp().LastStartStatus(h.pdo());
    bool failed = h.host().faults().Failures("kernel.pool.Wdm") > 0;
    if (!failed) {
      EXPECT_EQ(status, 0);
      EXPECT_GT(n, 3u);
      break;
    }
    uint32_t s = static_cast<uint32_t>(status);
    EXPECT_TRUE(s == 0xC0000017u || s == 0xC000009Au || s == 0) << "allocation " << n << ": " << std::hex << s;
    h.pnp().Remove(h.pdo());
    EXPECT_EQ(h.WdmPool(), 0u) << "allocation " << n;
  }
}

}  // namespace
}  // namespace kvxscan::testing
