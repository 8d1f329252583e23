// Random control codes, buffer lengths, blocks and data addresses, reads and writes, sent to
// the KvxScan device of one host: none may crash, hang, leak or write outside a buffer.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kvx_fuzz_io.h"
#include "linked_rig.h"

namespace {
kvxscan::testing::LinkedRig& Rig() {
  static auto* rig = new kvxscan::testing::LinkedRig("width=300\nlines=300\n");
  return *rig;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& rig = Rig();
  platform::DeviceHandle h = rig.paths().Open(size && data[0] % 3 == 0 ? "\\\\.\\KvxScan0\\2" : "\\\\.\\KvxScan0");
  if (h == platform::kInvalidDeviceHandle) std::abort();
  platform::UserBuffer user(64);
  kvxfuzz::Bytes in(data, size);
  for (int i = 0; i < 16 && !in.empty(); ++i) kvxfuzz::Request(rig.paths(), h, in, user);
  rig.paths().Close(h);
  rig.kernel().DrainWork();
  return 0;
}
