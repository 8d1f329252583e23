// The banded scaler against a plain reference written here from the scaling rules: every output
// pixel is worked out on its own from the source pixels it draws on, with no tables, caches or
// passes shared with the library. Random sizes, ratios and band splits, both directions at once.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "imgfilt.h"
#include "scale_runner.h"
#include "kernel_simd.h"
#include "test_image.h"

namespace {

using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;

// ---- The rules, one output position at a time ----

float Cubic(float d) {
  if (d == 0.0f) return 1.0f;
  if (d >= 1.0f) return 0.0f;
  return 2.0f * d * d * d - 3.0f * d * d + 1.0f;
}

// floor(x), plus 1 when the fraction is at least one half.
int RoundHalfUp(double x) {
  const double whole = std::floor(x);
  return static_cast<int>(whole) + (x - whole >= 0.5 ? 1 : 0);
}

struct Blend {
  int64_t s;  // source index of w0; s + 1 takes w1
  int w0;
  int w1;
};

// Enlargement of `source` to `target` positions: output i - 1 (i from 1) samples i / r - 1, the
// ratio r held in single precision.
Blend EnlargeRule(uint32_t i, uint32_t source, uint32_t target) {
  const float r = static_cast<float>(target) / static_cast<float>(source);
  const float u = static_cast<float>(i) / r;
  const float d = std::floor(u);
  const float e = u - d;
  const auto s = static_cast<int64_t>(d) - 1;
  if (128.0f * Cubic(e) == 128.0f) return {s, 128, 0};
  const int h = RoundHalfUp(128.0f * Cubic(e));
  const int m = RoundHalfUp(128.0f * Cubic(std::fabs(u - (d + 1.0f))));
  if (h + m == 128) return {s, h, m};
  const auto w0 = static_cast<int>(std::floor(h * 128.0 / (h + m) + 0.5));
  return {s, w0, 128 - w0};
}

struct Tap {
  int64_t index;  // 0-based source position, possibly outside the source
  float weight;
};

// Reduction of `source` to `target` positions: output t averages a window centred on (t + 1) / f
// (1-based), f in single precision, radius 1 / f widened by 1.2 for 0.83 < f < 0.95. The ratio is
// compared in its own precision.
std::vector<Tap> ReduceRule(uint32_t t, uint32_t source, uint32_t target) {
  const float f = static_cast<float>(target) / static_cast<float>(source);
  float radius = 1.0f / f;
  if (f > 0.83f && f < 0.95f) radius *= 1.2f;
  const float v = static_cast<float>(t + 1) / f;
  std::vector<Tap> taps;
  float sum = 0.0f;
  for (auto m = static_cast<int64_t>(std::ceil(v - radius)); m <= static_cast<int64_t>(std::floor(v + radius)); ++m) {
    const float w = Cubic(std::fabs(v - static_cast<float>(m)) / radius) / radius;
    if (w == 0.0f) continue;
    taps.push_back({m - 1, w});
    sum += w;
  }
  if (sum != 0.0f && sum != 1.0f) {
    for (Tap& tap : taps) tap.weight /= sum;
  }
  return taps;
}

uint8_t ClampByte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

// floor(sum + 0.5) clamped, the sum taken in single precision in the order of the taps.
template <class Value>
uint8_t Weighted(const std::vector<Tap>& taps, const Value& value) {
  float sum = 0.0f;
  for (const Tap& tap : taps) sum += static_cast<float>(value(tap.index)) * tap.weight;
  return ClampByte(static_cast<int64_t>(std::floor(sum + 0.5f)));
}

// Pixel x (channel c) of `row`, a line of `width` pixels, scaled across to `target` pixels.
uint8_t Across(const uint8_t* row, uint32_t width, uint32_t target, int bpp, uint32_t x, int c) {
  const auto at = [&](int64_t p) { return row[p * bpp + c]; };
  if (target == width) return at(x);
  if (target > width) {
    const Blend e = EnlargeRule(x + 1, width, target);
    const int before = width >= 2 ? ClampByte(2 * at(0) - at(1)) : at(0);
    const auto pixel = [&](int64_t p) { return p < 0 ? before : at(std::min<int64_t>(p, width - 1)); };
    if (e.w0 == 128) return static_cast<uint8_t>(pixel(e.s));
    return ClampByte((e.w0 * pixel(e.s) + e.w1 * pixel(e.s + 1) + 4) >> 7);
  }
  const auto w = static_cast<int64_t>(width);
  return Weighted(ReduceRule(x, width, target), [&](int64_t index) {
    // Mirrored about the edge pixels: -1 reads 1, width reads width - 1.
    if (index < 0) index = std::min(-index, w - 1);
    if (index >= w) index = std::max<int64_t>(2 * w - index - 1, 0);
    return at(index);
  });
}

// ---- The reference scaler: the same band protocol, nothing cached between pixels ----

class ReferenceScaler {
 public:
  ReferenceScaler(const Image& src, uint32_t targetWidth, uint32_t targetHeight)
      : src_(src), targetWidth_(targetWidth), targetHeight_(targetHeight),
        out_(MakeImage(targetWidth, targetHeight, src.bpp)) {}

  Image Run(const std::vector<size_t>& bands) {
    uint32_t done = 0, outputs = 0;
    for (size_t b = 0; b < bands.size(); ++b) {
      const auto lines = static_cast<uint32_t>(bands[b]);
      const uint32_t n = LinesDue(done + lines) - LinesDue(done);
      StartBand(b == 0, done, lines);
      for (uint32_t k = 0; k < n; ++k) OutputLine(outputs + k);
      done += lines;
      outputs += n;
    }
    return out_;
  }

 private:
  uint32_t LinesDue(uint64_t sourceLines) const {
    return static_cast<uint32_t>(targetHeight_ * sourceLines / src_.lines);
  }

  // The line before the band: extrapolated from the image's first two lines on the first band
  // (the first line itself when that band has one line), else the previous band's last line.
  void StartBand(bool first, uint32_t done, uint32_t lines) {
    done_ = done;
    lines_ = lines;
    const size_t bytes = src_.rowBytes();
    previous_.assign(src_.line(first ? 0 : done - 1), src_.line(first ? 0 : done - 1) + bytes);
    if (!first) return;
    const uint8_t* l1 = src_.line(lines >= 2 ? 1 : 0);
    for (size_t i = 0; i < bytes; ++i) previous_[i] = ClampByte(2 * previous_[i] - l1[i]);
  }

  // Band line j (-1: the line before the band); lines past the band are its last line.
  const uint8_t* Row(int64_t j) const {
    if (j < 0) return previous_.data();
    return src_.line(done_ + static_cast<size_t>(std::min<int64_t>(j, lines_ - 1)));
  }

  // Global source line s as a band line: earlier bands' lines are all the line before the band.
  int64_t BandLine(int64_t s) const { return std::max<int64_t>(s - done_, -1); }

  void OutputLine(uint32_t g) {
    const uint32_t width = src_.width;
    const int bpp = src_.bpp;
    if (targetHeight_ < src_.lines && targetWidth_ > width) {
      // Widening after a reduction in height: reduce down at the source width first.
      std::vector<uint8_t> down(src_.rowBytes());
      for (size_t i = 0; i < down.size(); ++i) {
        down[i] = Down(g, [&](int64_t j) { return Row(j)[i]; });
      }
      for (uint32_t x = 0; x < targetWidth_; ++x) {
        for (int c = 0; c < bpp; ++c) out_.at(x, g, c) = Across(down.data(), width, targetWidth_, bpp, x, c);
      }
      return;
    }
    for (uint32_t x = 0; x < targetWidth_; ++x) {
      for (int c = 0; c < bpp; ++c) {
        const auto across = [&](int64_t j) { return Across(Row(j), width, targetWidth_, bpp, x, c); };
        out_.at(x, g, c) = targetHeight_ == src_.lines ? across(g - int64_t{done_}) : Down(g, across);
      }
    }
  }

  // Output line g from the band lines that `value` reads (after any pass across).
  template <class Value>
  uint8_t Down(uint32_t g, const Value& value) const {
    if (targetHeight_ > src_.lines) {
      const Blend e = EnlargeRule(g + 1, src_.lines, targetHeight_);
      const int64_t upper = BandLine(e.s);
      if (e.w0 == 128) return value(upper);
      return static_cast<uint8_t>(std::min(255, (e.w0 * value(upper) + e.w1 * value(upper + 1) + 4) >> 7));
    }
    return Weighted(ReduceRule(g, src_.lines, targetHeight_),
                    [&](int64_t s) { return value(BandLine(s)); });
  }

  const Image& src_;
  const uint32_t targetWidth_;
  const uint32_t targetHeight_;
  Image out_;
  uint32_t done_ = 0;
  uint32_t lines_ = 0;
  std::vector<uint8_t> previous_;
};

// ---- Comparison ----

struct Case {
  uint32_t width, lines, targetWidth, targetHeight;
  int bpp;
  uint8_t orientation;
  std::vector<size_t> bands;
  uint32_t seed;

  std::string Describe() const {
    std::ostringstream s;
    s << (bpp == 1 ? "gray " : "colour ") << width << "x" << lines << " -> " << targetWidth << "x"
      << targetHeight << (orientation == 1 ? " bottom-up" : "") << ", bands";
    for (size_t b : bands) s << ' ' << b;
    return s.str();
  }
};

// The first differing pixel, or success.
::testing::AssertionResult MatchesReference(const Case& c) {
  const Image src = RandomImage(c.width, c.lines, c.bpp, c.seed, c.seed % 3, c.orientation);
  const auto run = imgfiltTest::ScaleExport(c.bpp == 1 ? ScalingGray : ScalingColor);
  const Image got = imgfiltTest::ScaleInBands(run, src, c.targetWidth, c.targetHeight, c.bands);
  const Image want = ReferenceScaler(src, c.targetWidth, c.targetHeight).Run(c.bands);
  for (uint32_t y = 0; y < c.targetHeight; ++y) {
    for (uint32_t x = 0; x < c.targetWidth; ++x) {
      for (int ch = 0; ch < c.bpp; ++ch) {
        if (got.at(x, y, ch) != want.at(x, y, ch)) {
          return ::testing::AssertionFailure()
                 << c.Describe() << ": pixel (" << x << ", " << y << ") channel " << ch << " is "
                 << int{got.at(x, y, ch)} << ", the rules give " << int{want.at(x, y, ch)};
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<size_t> RandomBands(uint32_t lines, std::mt19937& rng) {
  std::vector<size_t> bands;
  const uint32_t largest = 1 + rng() % lines;
  for (uint32_t left = lines; left > 0;) {
    const uint32_t size = std::min(left, 1 + static_cast<uint32_t>(rng() % largest));
    bands.push_back(size);
    left -= size;
  }
  return bands;
}

// A size on the requested side of `size`: direction -1 smaller (down to a tenth), 0 the same,
// 1 larger (up to three times).
uint32_t Resized(uint32_t size, int direction, std::mt19937& rng) {
  if (direction == 0 || (direction < 0 && size == 1)) return size;
  if (direction < 0) return std::max<uint32_t>(size / 10, 1) + rng() % (size - std::max<uint32_t>(size / 10, 1));
  return size + 1 + rng() % (2 * size);
}

// Runs `body` once for each vector target this processor has: every one must meet the rules.
template <class Body>
void ForEachTarget(const Body& body) {
  for (int64_t target : imgfilt::SimdTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    ASSERT_STREQ(imgfilt::ActiveSimdTarget(), hwy::TargetName(target));
    body();
    if (::testing::Test::HasFatalFailure()) break;
  }
  hwy::SetSupportedTargetsForTest(0);
}

TEST(ReductionReference, ShrinkingBothWaysMatchesTheRules) {
  // Halving (a line cache of three) and a ratio of 40 to 9 (nine lines per output), whole and in
  // bands, and reductions whose window reaches past the band into the previous line.
  std::vector<Case> cases;
  for (int bpp : {1, 3}) {
    for (uint8_t orientation : {0, 1}) {
      cases.push_back({36, 18, 18, 9, bpp, orientation, {18}, 1});
      cases.push_back({36, 18, 17, 9, bpp, orientation, {5, 7, 6}, 2});
      cases.push_back({40, 40, 9, 9, bpp, orientation, {40}, 3});
      cases.push_back({50, 40, 31, 9, bpp, orientation, {3, 17, 1, 19}, 4});
      cases.push_back({23, 40, 22, 9, bpp, orientation, {11, 29}, 5});
      cases.push_back({64, 61, 9, 13, bpp, orientation, {61}, 6});
    }
  }
  ForEachTarget([&] {
    for (const Case& c : cases) EXPECT_TRUE(MatchesReference(c));
  });
}

TEST(ReductionReference, RandomSizesRatiosAndBandsMatchTheRules) {
  std::mt19937 rng(2026);
  std::vector<Case> cases;
  for (int across = -1; across <= 1; ++across) {
    for (int down = -1; down <= 1; ++down) {
      if (across == 0 && down == 0) continue;
      for (int repeat = 0; repeat < 40; ++repeat) {
        Case c;
        c.width = 1 + rng() % 120;
        c.lines = 1 + rng() % 90;
        c.targetWidth = Resized(c.width, across, rng);
        c.targetHeight = Resized(c.lines, down, rng);
        if (c.targetWidth == c.width && c.targetHeight == c.lines) continue;
        c.bpp = repeat % 2 == 0 ? 1 : 3;
        c.orientation = static_cast<uint8_t>(rng() % 2);
        c.bands = RandomBands(c.lines, rng);
        c.seed = static_cast<uint32_t>(rng());
        cases.push_back(c);
      }
    }
  }
  ForEachTarget([&] {
    for (const Case& c : cases) ASSERT_TRUE(MatchesReference(c));
  });
}

TEST(ReductionReference, WindowWidensOnlyBetween083And095) {
  // 1000 to 831, 850 and 949 widen the window by 1.2; 830 (a ratio of exactly 0.83) does not,
  // nor does 950 (0.95 in single precision) or more. Across the width and down the height.
  for (uint32_t target : {829u, 830u, 831u, 850u, 949u, 950u, 951u}) {
    ASSERT_TRUE(MatchesReference({1000, 3, target, 3, 1, 0, {3}, target}));
    ASSERT_TRUE(MatchesReference({2, 1000, 2, target, 1, 0, {400, 600}, target}));
  }
}

}  // namespace
