// The emulated USB scanner's record of bulk OUT data: every byte in order up to its limit, then
// the last 16 MiB, however the data came in.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "kvx_scanner.h"

namespace emulator {
namespace {

TEST(KvxScannerBulkOut, KeepsTheLast16MiBInOrder) {
  KvxScanner scanner;
  scanner.Configure(1);
  constexpr size_t kLimit = 16u << 20;
  // Writes of an odd size, numbered by their first byte, past twice the limit.
  std::vector<uint8_t> chunk(65521);
  size_t sent = 0;
  uint8_t next = 0;
  auto send = [&] {
    std::iota(chunk.begin(), chunk.end(), next);
    next = static_cast<uint8_t>(next + chunk.size());
    const platform::UsbResult r = scanner.Transfer(0x02, chunk);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.length, chunk.size());
    sent += chunk.size();
  };
  send();
  EXPECT_EQ(scanner.Received().size(), chunk.size());
  while (sent < 2 * kLimit + 3 * chunk.size()) send();
  const std::vector<uint8_t> kept = scanner.Received();
  ASSERT_EQ(kept.size(), kLimit);
  // Byte i of everything sent is (i mod 256): the kept bytes are the stream's last ones.
  for (size_t i = 0; i < kept.size(); i += 4093) {
    ASSERT_EQ(kept[i], static_cast<uint8_t>(sent - kLimit + i)) << i;
  }
  EXPECT_EQ(kept.back(), static_cast<uint8_t>(sent - 1));
}

}  // namespace
}  // namespace emulator
