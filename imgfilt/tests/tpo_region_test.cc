// Frames in the transparency holders: slides and film strips at 300 and 600 dpi.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imgfilt.h"
#include "scene.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

struct Holder {
  uint32_t dpi;
  Image image;
  std::vector<ImageRect> truth;
};

int32_t Px(double units, uint32_t dpi) { return int32_t(std::floor(units * dpi * 0.02 + 0.5)); }

Holder EmptyHolder(uint32_t dpi) {
  Holder h{dpi, MakeImage(uint32_t(5.2 * dpi), uint32_t(7.1 * dpi), 3, 4, 3), {}};
  return h;
}

// Fills a box (in 1/50 inch) with a picture: `tone` plus shading of amplitude `shade`, channels
// tinted by `tint`.
void Picture(Holder& h, double l, double t, double r, double b, int tone, const int tint[3], double shade = 40) {
  const int32_t x0 = Px(l, h.dpi), y0 = Px(t, h.dpi), x1 = Px(r, h.dpi), y1 = Px(b, h.dpi);
  for (int32_t y = y0; y <= y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const double s = shade * std::sin(x * 9.0 / h.dpi) * std::cos(y * 7.0 / h.dpi);
      for (int c = 0; c < 3; ++c) {
        h.image.at(size_t(x), size_t(y), c) = uint8_t(std::clamp(tone + tint[c] + s, 0.0, 255.0));
      }
    }
  }
}

void Bare(Holder& h, double l, double t, double r, double b) {
  const int tint[3] = {0, 0, 0};
  Picture(h, l, t, r, b, 300, tint);
}

// A box blur of the given radius, along rows then columns, edges repeated: the soft edges of a
// real scan.
void Blur(Image& image, int radius) {
  if (radius <= 0) return;
  const int w = int(image.width), h = int(image.lines), n = 2 * radius + 1;
  auto pass = [&](int count, int length, auto&& at) {
    std::vector<int> line(static_cast<size_t>(length));
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < 3; ++c) {
        for (int j = 0; j < length; ++j) line[size_t(j)] = at(i, j, c);
        int sum = 0;
        for (int j = -radius; j <= radius; ++j) sum += line[size_t(std::clamp(j, 0, length - 1))];
        for (int j = 0; j < length; ++j) {
          at(i, j, c) = uint8_t((sum + n / 2) / n);
          sum += line[size_t(std::min(j + radius + 1, length - 1))] - line[size_t(std::max(j - radius, 0))];
        }
      }
    }
  };
  pass(h, w, [&](int y, int x, int c) -> uint8_t& { return image.at(size_t(x), size_t(y), c); });
  pass(w, h, [&](int x, int y, int c) -> uint8_t& { return image.at(size_t(x), size_t(y), c); });
}

constexpr double kSlideCentres[6][2] = {{67, 59}, {67, 177}, {67, 295}, {185, 59}, {185, 177}, {185, 295}};

// Slides at the positions flagged, landscape or portrait, a little off centre; empty positions
// show the lamp through the holder's opening.
// With `dark`, the slides are night scenes: every channel between about 25 and 90, far below 127.
Holder SlideHolder(uint32_t dpi, unsigned present, unsigned portrait, uint32_t seed, bool dark = false,
                   int blur = 0) {
  Holder h = EmptyHolder(dpi);
  std::mt19937 rng(seed);
  for (int i = 0; i < 6; ++i) {
    const double cx = kSlideCentres[i][0] + int(rng() % 7) - 3, cy = kSlideCentres[i][1] + int(rng() % 7) - 3;
    if (!(present >> i & 1)) {
      Bare(h, cx - 38, cy - 38, cx + 38, cy + 38);
      continue;
    }
    const bool tall = portrait >> i & 1;
    const double hw = tall ? 20 : 32, hh = tall ? 32 : 20;
    const int tint[3] = {int(rng() % 40), int(rng() % 40), int(rng() % 40)};
    if (dark) {
      Picture(h, cx - hw, cy - hh, cx + hw, cy + hh, 40 + int(rng() % 20), tint, 15);
    } else {
      Picture(h, cx - hw, cy - hh, cx + hw, cy + hh, 70 + int(rng() % 110), tint);
    }
    h.truth.push_back({Px(cx, dpi) + Px(-hw, dpi), Px(cy, dpi) + Px(-hh, dpi), Px(cx, dpi) + Px(hw, dpi),
                       Px(cy, dpi) + Px(hh, dpi)});
  }
  Blur(h.image, blur);
  AddNoise(h.image, 2, seed);
  return h;
}

struct Strips {
  unsigned present;  // windows holding film, bit 0 the first
  bool covered;      // the other windows dark rather than bare lamp
  bool across;       // the holder laid the other way: every rectangle transposed
  bool dark;         // dense frames: the brightest channel about 45 to 85
  int blur = 0;      // radius in pixels of the lens's blur over the whole scan
};

// Paints a box given for strips along rows, transposed when the holder lies the other way.
void Placed(Holder& h, const Strips& k, double l, double t, double r, double b, int tone, const int tint[3],
            double shade = 40) {
  if (k.across) {
    Picture(h, t, l, b, r, tone, tint, shade);
  } else {
    Picture(h, l, t, r, b, tone, tint, shade);
  }
}

// Film in the strip windows flagged (from `from` to `to` along the window, 1/50 inch); other
// windows bare lamp or, when covered, dark.
Holder FilmHolder(uint32_t dpi, const Strips& k, uint32_t seed) {
  Holder h = EmptyHolder(dpi);
  const double windows[2][2] = {{54, 94}, {161, 201}};
  const int bare[3] = {0, 0, 0};
  std::mt19937 rng(seed);
  for (int i = 0; i < 2; ++i) {
    const double top = windows[i][0], bottom = windows[i][1];
    if (!k.covered) Placed(h, k, 21, top, 234, bottom, 300, bare);
    if (!(k.present >> i & 1)) continue;
    // Bare lamp beside soft film shows only when wider than the blur: keep such gaps 4 units or none.
    const double margin = k.blur > 0 && !k.covered ? 4 : 0;
    const double from = 21 + margin + rng() % 30, to = 234 - margin - rng() % 60;
    const int orange[3] = {60, 0, -60};  // the orange base of a negative
    const int dense[3] = {25, 0, -30};
    if (k.dark) {
      Placed(h, k, from, top, to, bottom, 40 + int(rng() % 10), dense, 12);
    } else {
      Placed(h, k, from, top, to, bottom, 150, orange);
    }
    const ImageRect along{Px(from, dpi), Px(top, dpi), Px(to, dpi), Px(bottom, dpi)};
    h.truth.push_back(k.across ? ImageRect{along.top, along.left, along.bottom, along.right} : along);
  }
  Blur(h.image, k.blur);
  AddNoise(h.image, 2, seed);
  return h;
}

void ExpectFrames(const Holder& h, int32_t count, const ImageRect* frames, const char* what, int32_t slack = -1) {
  ASSERT_EQ(count, int32_t(h.truth.size())) << what;
  if (slack < 0) slack = Px(2, h.dpi);
  for (size_t i = 0; i < h.truth.size(); ++i) {
    EXPECT_NEAR(frames[i].left, h.truth[i].left, slack) << what << " frame " << i;
    EXPECT_NEAR(frames[i].top, h.truth[i].top, slack) << what << " frame " << i;
    EXPECT_NEAR(frames[i].right, h.truth[i].right, slack) << what << " frame " << i;
    EXPECT_NEAR(frames[i].bottom, h.truth[i].bottom, slack) << what << " frame " << i;
  }
}

int32_t Slides(const Holder& h, ImageRect* frames, uint8_t orientation = 0) {
  return TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, h.image.width, h.image.lines, h.dpi,
                               frames, orientation);
}

TEST(SlideHolder, FindsEverySlideAndInventsNone) {
  const unsigned sets[] = {0x00, 0x01, 0x24, 0x15, 0x3E, 0x3F, 0x2B};
  uint32_t seed = 1;
  for (uint32_t dpi : {300u, 600u}) {
    for (unsigned present : sets) {
      for (unsigned portrait : {0x00u, 0x3Fu, 0x29u}) {
        // The large scans: a few mixed holders.
        if (dpi == 600 && !((present == 0x3F && portrait == 0x29) || (present == 0x15 && portrait == 0))) continue;
        const Holder h = SlideHolder(dpi, present, portrait, seed++);
        ImageRect frames[6] = {};
        const std::string what = std::to_string(dpi) + " dpi, slides " + std::to_string(present) +
                                 ", portrait " + std::to_string(portrait);
        ExpectFrames(h, Slides(h, frames), frames, what.c_str());
      }
    }
  }
}

TEST(SlideHolder, BottomUpScansGiveTheSameFrames) {
  const Holder h = SlideHolder(300, 0x1B, 0x06, 77);
  Holder flipped = h;
  flipped.image.orientation = 1;
  for (uint32_t y = 0; y < h.image.lines; ++y) std::copy_n(h.image.line(y), h.image.rowBytes(), flipped.image.line(y));
  ImageRect frames[6] = {};
  ExpectFrames(h, Slides(flipped, frames, 1), frames, "bottom-up");
}

TEST(SlideHolder, RefusesSmallScansAndAnEmptyUnit) {
  Holder h = SlideHolder(300, 0x3F, 0, 5);
  ImageRect frames[6];
  // 5 inches at 300 dpi are 1500 pixels: 1400 are too few, 1500 enough.
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, 1400, h.image.lines, 300, frames, 0), -2);
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, 1500, h.image.lines, 300, frames, 0), 6);
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, h.image.width, 2099, 300, frames, 0), -2);
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.width * 3 - 1, h.image.width, h.image.lines, 300, frames, 0), -2);
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, h.image.width, h.image.lines, 0, frames, 0), -2);
  EXPECT_EQ(TPOPositiveAutoRegion(h.image.data(), h.image.lineBytes, h.image.width, h.image.lines, 300, nullptr, 0), -2);
  EXPECT_EQ(TPONegativeAutoRegion(nullptr, h.image.lineBytes, h.image.width, h.image.lines, 300, frames, 0), -2);
  // The whole unit lit: the holder is not there.
  Holder empty = EmptyHolder(300);
  std::fill(empty.image.bytes.begin(), empty.image.bytes.end(), uint8_t{240});
  EXPECT_EQ(Slides(empty, frames), -1);
  EXPECT_EQ(TPONegativeAutoRegion(empty.image.data(), empty.image.lineBytes, empty.image.width,
                                  empty.image.lines, 300, frames, 0), 0);
}

int32_t Film(const Holder& h, ImageRect* frames) {
  return TPONegativeAutoRegion(h.image.data(), h.image.lineBytes, h.image.width, h.image.lines, h.dpi, frames, 0);
}

std::string Describe(uint32_t dpi, const Strips& k) {
  return std::to_string(dpi) + " dpi, strips " + std::to_string(k.present) + (k.covered ? ", covered" : ", bare") +
         (k.across ? ", across" : ", along") + (k.dark ? ", dense" : "");
}

TEST(FilmHolder, FindsEveryLitStripAndInventsNoneEitherWayRound) {
  uint32_t seed = 100;
  for (uint32_t dpi : {300u, 600u}) {
    for (bool across : {false, true}) {
      for (unsigned present : {0u, 1u, 2u, 3u}) {
        for (bool covered : {false, true}) {
          if (dpi == 600 && covered != (present == 2)) continue;  // the large scans: a few
          const Strips k{present, covered, across, false};
          const Holder h = FilmHolder(dpi, k, seed++);
          ImageRect frames[2] = {};
          ExpectFrames(h, Film(h, frames), frames, Describe(dpi, k).c_str());
        }
      }
    }
  }
}

// A soft edge is placed half-way up its step: at level 127 beside a bright frame, half-way between
// holder and picture beside a dense one that never reaches 127, and half-way between lamp and
// film where the film meets bare lamp. Either way it lands within 2 pixels of the frame's edge.
TEST(FilmHolder, PlacesSoftEdgesOfBrightAndDenseFramesWithinTwoPixels) {
  uint32_t seed = 300;
  for (uint32_t dpi : {300u, 600u}) {
    for (bool dark : {false, true}) {
      for (bool across : {false, true}) {
        for (bool covered : {false, true}) {
          if (dpi == 600 && across != dark) continue;  // the large scans: a few
          const Strips k{dpi == 300 ? 3u : 1u, covered, across, dark, int(dpi / 100)};
          const Holder h = FilmHolder(dpi, k, seed++);
          ImageRect frames[2] = {};
          ExpectFrames(h, Film(h, frames), frames, (Describe(dpi, k) + ", soft").c_str(), 2);
        }
      }
    }
  }
}

// Light outside one placement's windows rules that placement out: a bare holder laid across
// lights the guards of the other placement.
TEST(FilmHolder, BareWindowsOfEitherPlacementGiveNoFrames) {
  for (bool across : {false, true}) {
    const Holder h = FilmHolder(300, Strips{0, false, across, false}, 7);
    ImageRect frames[2] = {};
    EXPECT_EQ(Film(h, frames), 0) << (across ? "across" : "along");
  }
}

TEST(SlideHolder, FindsNightScenesWithoutSplittingThem) {
  uint32_t seed = 500;
  for (uint32_t dpi : {300u, 600u}) {
    for (unsigned portrait : {0x00u, 0x3Fu, 0x0Cu}) {
      if (dpi == 600 && portrait != 0x0C) continue;
      // Soft edges too at 300 dpi.
      const Holder h = SlideHolder(dpi, dpi == 300 ? 0x3F : 0x2D, portrait, seed++, true, dpi == 300 ? 3 : 0);
      ImageRect frames[6] = {};
      const std::string what = std::to_string(dpi) + " dpi, dark slides, portrait " + std::to_string(portrait);
      ExpectFrames(h, Slides(h, frames), frames, what.c_str());
    }
  }
}

}  // namespace
}  // namespace imgfiltTest
