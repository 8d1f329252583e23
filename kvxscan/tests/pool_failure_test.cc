// Pool exhausted at each allocation in turn, through I/O and stop: every request ends with one of
// its documented statuses, nothing hangs, and nothing is left once the device is removed.
#include <set>

#include "kvx_harness.h"
#include "platform/clock/event.h"

namespace kvxscan::testing {
namespace {

// Register I/O, a 150000-byte write, a scan's 100000-byte read, a buffered device event and a
// stop, with the nth "Wdm " allocation failing; the errors each may report.
TEST(KvxPoolFailure, EachAllocationThroughIoAndStopFailingEndsWithADocumentedStatusAndLeaksNothing) {
  const std::set<uint32_t> allowed = {0, 8, 1450, 995};  // no memory, no resources, cancelled
  for (uint64_t n = 1; n < 80; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    KvxHarness h(MachineWith("width=1000\nlines=100\n"));
    auto handle = h.Open();
    ASSERT_NE(handle, platform::kInvalidDeviceHandle);
    h.host().faults().FailNth("kernel.pool.Wdm", n);
    platform::UserBuffer one(1);
    one.data()[0] = 1;
    std::vector<uint8_t> none, regs(4), data(100000), event(8), out(150000, 0x33);
    uint32_t moved = 0;
    EXPECT_TRUE(allowed.count(h.Control(handle, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 4, 0}), regs)));
    uint32_t start = h.Control(handle, IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x20, 1, one.address()}), none);
    EXPECT_TRUE(allowed.count(start));
    bool wrote = h.paths().Write(handle, out, &moved);
    EXPECT_TRUE(wrote || allowed.count(platform::GetLastError()));
    if (start == 0) {
      // A read whose URBs could not all be sent ends with the failure; the scan's rest may be
      // left on the device, so the read is abandoned by a cancel if it waits.
      platform::Overlapped ov;
      if (!h.paths().ReadOverlapped(handle, data, ov, &moved) && platform::GetLastError() == 997u) {
        if (!h.paths().GetOverlappedResult(handle, ov, &moved, false)) {
          for (int i = 0; i < 200 && !ov.request->Completed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          if (!ov.request->Completed()) h.paths().CancelIo(handle);
        }
        platform::IoStatus s = ov.request->Wait();
        EXPECT_TRUE(allowed.count(s.error)) << s.error;
      }
    }
    h.Settle();
    platform::Overlapped waitOv;
    if (!h.paths().ControlOverlapped(handle, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, event, waitOv, &moved) &&
        platform::GetLastError() == 997u) {
      h.paths().CancelIo(handle);
      EXPECT_TRUE(allowed.count(waitOv.request->Wait().error));
    }
    h.pnp().Stop(h.pdo());
    bool failed = h.host().faults().Failures("kernel.pool.Wdm") > 0;
    h.Close(handle);
    EXPECT_EQ(h.pnp().Remove(h.pdo()), 0);
    EXPECT_EQ(h.WdmPool(), 0u);
    if (!failed) break;
  }
}

}  // namespace
}  // namespace kvxscan::testing
