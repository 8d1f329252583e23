// A hostile USB device under the KvxScan driver: descriptors, reply lengths and transfer
// outcomes from the fuzz bytes, through start, requests and stop. Nothing may crash, hang or
// leak: after removal no "Wdm " pool is left.
//
// One host serves every input (making a host with its registry and machine costs far more than
// the driver's whole run): its bus holds one port whose device is a fresh scanner for each input,
// so that the driver is loaded, started and removed from the device's arrival on, as a plug-in
// would have it, and no state carries from one input to the next.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kvx_fuzz_io.h"
#include "linked_rig.h"
#include "platform/faults/faults.h"
#include "scratch_folder.h"

namespace {

// The port's device: whichever scanner the input made, its wake-ups passed on to the bus.
class SwappableDevice final : public platform::UsbDevice {
 public:
  void Replace(std::shared_ptr<emulator::KvxScanner> scanner) {
    if (scanner_) scanner_->SetWakeup(nullptr);
    scanner_ = std::move(scanner);
    scanner_->SetWakeup([this] { Wake(); });
  }
  std::string HardwareId() const override { return scanner_->HardwareId(); }
  platform::UsbResult Control(const platform::UsbSetup& setup, std::span<uint8_t> data) override {
    return scanner_->Control(setup, data);
  }
  platform::UsbResult Transfer(uint8_t address, std::span<uint8_t> data) override {
    return scanner_->Transfer(address, data);
  }
  void Configure(uint8_t configuration) override { scanner_->Configure(configuration); }
  void ResetEndpoint(uint8_t address) override { scanner_->ResetEndpoint(address); }

 private:
  std::shared_ptr<emulator::KvxScanner> scanner_;
};

struct Fixture {
  bool inMemory = (TempFoldersInMemory(), true);
  kvxscan::testing::LinkedRig rig{"width=200\nlines=50\n"};
  std::shared_ptr<SwappableDevice> device = std::make_shared<SwappableDevice>();
  platform::DEVICE_OBJECT* pdo = nullptr;
  int port = 0;

  // The machine's own scanner leaves; the fuzzed ones take the next port.
  Fixture() { rig.bus().Unplug(rig.pdo()); }

  // Puts the scanner on the port and announces it: the first time by plugging it in, after
  // that by a new arrival on the same port.
  void Arrive(std::shared_ptr<emulator::KvxScanner> scanner) {
    device->Replace(std::move(scanner));
    if (!pdo) {
      pdo = rig.bus().Plug(device);
      port = rig.bus().Port(pdo);
    } else {
      rig.pnp().DeviceArrived(pdo, device->HardwareId());
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture* fixture = new Fixture;
  kvxscan::testing::LinkedRig& rig = fixture->rig;
  kvxfuzz::Bytes in(data, size);
  // Descriptors: a device descriptor of up to 18 bytes and a configuration set of up to 120.
  std::vector<uint8_t> device(in.U8() % 19), configuration(in.U8() % 121);
  for (auto& b : device) b = in.U8();
  for (auto& b : configuration) b = in.U8();
  bool keepDefaults = in.U8() % 4 == 0;
  auto scanner = std::make_shared<emulator::KvxScanner>(200, 50);
  if (!keepDefaults) scanner->SetDescriptors(device, configuration);
  // Transfer outcomes: stalls, short and null data on the pipes, for a while.
  const uint8_t countByte = in.U8();
  std::vector<platform::DeviceFault> outcomes(countByte % 6);
  for (platform::DeviceFault& f : outcomes) {
    uint8_t kind = in.U8() % 3;
    f.kind = kind == 0 ? platform::DeviceFault::Kind::kHostStatus
             : kind == 1 ? platform::DeviceFault::Kind::kShortData : platform::DeviceFault::Kind::kNulData;
    static constexpr int kEndpoints[] = {0, 0x81, 0x02, 0x83, -1};
    f.opcode = kEndpoints[in.U8() % 5];
    f.count = 1 + in.U8() % 3;
    f.length = in.U16() % 70000;
  }
  // The outcomes meet the start on arrival (once the port is known, from the second input on).
  // A second start, of a started device, comes for one input in four: each start reads the
  // descriptors and the registry again, and costs as much as the rest of the input.
  const bool firstArrival = fixture->pdo == nullptr;
  auto addOutcomes = [&] {
    platform::DeviceFaults& faults = rig.host().faults().Device("usb", fixture->port);
    for (const platform::DeviceFault& f : outcomes) faults.Add(f);
  };
  if (!firstArrival) addOutcomes();
  fixture->Arrive(scanner);
  if (firstArrival) addOutcomes();
  platform::DeviceFaults& faults = rig.host().faults().Device("usb", fixture->port);
  platform::PnpManager& pnp = rig.pnp();
  platform::DEVICE_OBJECT* pdo = fixture->pdo;
  if (firstArrival || countByte >= 0xC0) pnp.Start(pdo);
  platform::DeviceHandle h = rig.paths().Open("\\\\.\\KvxScan0");
  if (h != platform::kInvalidDeviceHandle) {
    platform::UserBuffer user(64);
    for (int i = 0; i < 8 && !in.empty(); ++i) kvxfuzz::Request(rig.paths(), h, in, user);
    rig.paths().Close(h);
    // The close ends on the kernel's deferred queue, and its last-handle hook takes the PnP
    // lock: a removal that came first would hold that lock while it drains the queue for the
    // driver's unload, and neither would go on. Let the close finish before the removal.
    rig.kernel().DrainWork();
  }
  pnp.Stop(pdo);
  pnp.Remove(pdo);
  rig.kernel().DrainWork();
  if (rig.kernel().PoolBlocks("Wdm ") != 0) {
    std::fprintf(stderr, "pool left after removal: %zu blocks\n", rig.kernel().PoolBlocks("Wdm "));
    std::abort();
  }
  faults.Clear();  // what the transfers did not use
  // The stack is gone: the next input's arrival builds a new one.
  if (pnp.FunctionDevice(pdo) != nullptr) {
    std::fprintf(stderr, "the driver's stack outlived its removal\n");
    std::abort();
  }
  return 0;
}
