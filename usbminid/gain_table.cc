#include "gain_table.h"

namespace usbminid {

void GainTable::Build(uint8_t kLevel) {
  for (int r = 0; r < kRows; ++r) {
    const long double step = static_cast<long double>(kLevel) / (r + 1);
    long double s = 0;
    for (int n = 0; n < kEntries; ++n) {
      table_[r][n] = s >= 255.4L ? 255 : static_cast<uint8_t>(s + 0.5L);
      s += step;
    }
  }
}

}  // namespace usbminid
