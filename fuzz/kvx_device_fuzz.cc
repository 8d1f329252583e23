// A hostile USB device under the KvxScan driver: descriptors, reply lengths and transfer
// outcomes from the fuzz bytes, through start, requests and stop. Nothing may crash, hang or
// leak: after removal no "Wdm " pool is left.
#include <cstdio>
#include <cstdlib>

#include "kvx_fuzz_io.h"
#include "linked_rig.h"
#include "platform/faults/faults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvxfuzz::Bytes in(data, size);
  // Descriptors: a device descriptor of up to 18 bytes and a configuration set of up to 120.
  std::vector<uint8_t> device(in.U8() % 19), configuration(in.U8() % 121);
  for (auto& b : device) b = in.U8();
  for (auto& b : configuration) b = in.U8();
  bool keepDefaults = in.U8() % 4 == 0;
  kvxscan::testing::LinkedRig rig("width=200\nlines=50\n", [&](emulator::KvxScanner& scanner) {
    if (!keepDefaults) scanner.SetDescriptors(device, configuration);
  });
  // Transfer outcomes: stalls, short and null data on the pipes, for a while.
  platform::DeviceFaults& faults = rig.host().faults().Device("usb", 0);
  int count = in.U8() % 6;
  for (int i = 0; i < count; ++i) {
    platform::DeviceFault f;
    uint8_t kind = in.U8() % 3;
    f.kind = kind == 0 ? platform::DeviceFault::Kind::kHostStatus
             : kind == 1 ? platform::DeviceFault::Kind::kShortData : platform::DeviceFault::Kind::kNulData;
    static constexpr int kEndpoints[] = {0, 0x81, 0x02, 0x83, -1};
    f.opcode = kEndpoints[in.U8() % 5];
    f.count = 1 + in.U8() % 3;
    f.length = in.U16() % 70000;
    faults.Add(f);
  }
  platform::PnpManager& pnp = rig.pnp();
  pnp.Start(rig.pdo());  // a second start, after faults were added
  platform::DeviceHandle h = rig.paths().Open("\\\\.\\KvxScan0");
  if (h != platform::kInvalidDeviceHandle) {
    platform::UserBuffer user(64);
    for (int i = 0; i < 8 && !in.empty(); ++i) kvxfuzz::Request(rig.paths(), h, in, user);
    rig.paths().Close(h);
  }
  pnp.Stop(rig.pdo());
  pnp.Remove(rig.pdo());
  rig.kernel().DrainWork();
  if (rig.kernel().PoolBlocks("Wdm ") != 0) {
    std::fprintf(stderr, "pool left after removal: %zu blocks\n", rig.kernel().PoolBlocks("Wdm "));
    std::abort();
  }
  return 0;
}
