// Gain adjustment and the white and dark references of the scan engine.
#include <algorithm>
#include <new>

#include "platform/clock/clock.h"
#include "scanner.h"

namespace usbminid {

namespace {
constexpr int kFirstExamined = 50;  // AdjustRB looks at pixels 50 to 2554 only
}

void Scanner::AdjustRB() {
  try {
    uint8_t gains[3] = {0, 0, 0};
    asic_.SetRB(gains[0], gains[1], gains[2]);
    std::vector<uint8_t> line(kPixels);
    const uint16_t skip = settings_.SkipsPerRow;
    for (int step = 128; step != 0; step /= 2) {
      asic_.SetupScan(0, 0, 0, static_cast<uint16_t>(skip + kPixels), 3, false, 0);
      asic_.StartWRLine(skip, kPixels);
      for (int i = 0; i < 3; ++i) asic_.WRLine(line.data());
      uint8_t maxima[3] = {0, 0, 0};
      for (int t = 0; t < settings_.RBLines; ++t) {
        for (int c = 0; c < 3; ++c) {
          asic_.WRLine(line.data());
          maxima[c] = std::max(maxima[c], *std::max_element(line.begin() + kFirstExamined, line.end()));
        }
      }
      asic_.StopWRLine();
      for (int c = 0; c < 3; ++c) {
        if (maxima[c] > settings_.MaxRB) gains[c] = static_cast<uint8_t>(gains[c] - step);
        else if (maxima[c] < settings_.MaxRB) gains[c] = static_cast<uint8_t>(gains[c] + step);
      }
      asic_.SetRB(gains[0], gains[1], gains[2]);
    }
    asic_.SetRB(gains[0], gains[1], gains[2]);
    std::copy(gains, gains + 3, gains_);
  } catch (const XGA1015&) {
    throw XScanner("AdjustRB Failed");
  }
}

// One pass of reference lines, summed per colour and averaged over KLines.
void Scanner::ReadReference(int passFlag, std::vector<double> (&sums)[3]) {
  const uint16_t skip = settings_.SkipsPerRow;
  asic_.SetupScan(0, passFlag, 0, static_cast<uint16_t>(skip + kPixels), 3, false, 0);
  asic_.StartWRLine(skip, kPixels);
  std::vector<uint8_t> line(kPixels);
  for (int i = 0; i < 3; ++i) asic_.WRLine(line.data());
  const int lines = std::max<int>(1, settings_.KLines);  // a KLines of 0 would divide by zero
  for (int k = 0; k < lines; ++k) {
    for (int c = 0; c < 3; ++c) {
      asic_.WRLine(line.data());
      for (int x = 0; x < kPixels; ++x) sums[c][x] += line[x];
    }
  }
  for (auto& colour : sums) {
    for (double& v : colour) v /= lines;
  }
}

void Scanner::Calibration() {
  try {
    std::vector<double> white[3], dark[3];
    for (int c = 0; c < 3; ++c) {
      white[c].assign(kPixels, 0.0);
      dark[c].assign(kPixels, 0.0);
    }
    ReadReference(1, white);
    asic_.StopWRLine();
    asic_.TurnPower(false);
    clock_.SleepMs(300);
    ReadReference(0, dark);
    asic_.StopWRLine();
    asic_.TurnPower(true);
    clock_.SleepMs(1000);
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < kPixels; ++x) {
        const uint8_t d = static_cast<uint8_t>(static_cast<int>(white[c][x] - dark[c][x]));
        gainRows_[c][x] = table_->RowForDifference(d);
        dark_[c][x] = static_cast<uint8_t>(static_cast<int>(dark[c][x]));
      }
    }
  } catch (const XGA1015&) {
    throw XScanner("Calibration Fail");
  } catch (const std::bad_alloc&) {
    throw XScanner("Calibration Fail");
  }
}

}  // namespace usbminid
