// The document on the scanner glass: its bounding rectangle and its tilt.
//
// After a tone curve the three channels of each pixel are summed. The search needs a dark
// surround: the mean along the fifth line from the top and the bottom and the fifth column from
// the left and the right must each be below 151. A pixel is an edge when one of four differences
// of three-pixel sums across it (columns, rows, both diagonals) exceeds 100. The document's outline
// is the largest 8-connected group of edge pixels together with every group whose box comes near
// it (content inside, breaks where the document's border is dark); specks on the glass stay apart.
// The crop is that box less the one pixel of surround the edge test marks beside a bright border.
// The tilt is fitted to the straight stretches of the outline (side_fit.h).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis_area.h"
#include "edge_components.h"
#include "imgfilt.h"
#include "side_fit.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

constexpr int kEdgeDifference = 100;
constexpr double kDarkSurround = 151;

// Tone-curved channel sums of the area, row-major.
bool Sums(const AnalysisArea& area, std::vector<uint16_t>& s) {
  static const std::array<uint16_t, 256> curve = [] {
    std::array<uint16_t, 256> c{};
    for (int i = 0; i < 256; ++i) c[size_t(i)] = uint16_t(255 * std::pow(i / 255.0, 0.72));
    return c;
  }();
  const uint32_t w = area.width(), h = area.height();
  if (!TryResize(s, size_t{w} * h)) return false;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* p = area.at(x, y);
      s[size_t{y} * w + x] = uint16_t(curve[p[0]] + curve[p[1]] + curve[p[2]]);
    }
  }
  return true;
}

bool DarkSurround(const std::vector<uint16_t>& s, uint32_t w, uint32_t h) {
  if (w < 11 || h < 11) return false;
  auto rowMean = [&](uint32_t y) {
    double sum = 0;
    for (uint32_t x = 0; x < w; ++x) sum += s[size_t{y} * w + x];
    return sum / w;
  };
  auto columnMean = [&](uint32_t x) {
    double sum = 0;
    for (uint32_t y = 0; y < h; ++y) sum += s[size_t{y} * w + x];
    return sum / h;
  };
  return rowMean(4) < kDarkSurround && rowMean(h - 5) < kDarkSurround &&
         columnMean(4) < kDarkSurround && columnMean(w - 5) < kDarkSurround;
}

bool EdgeMap(const std::vector<uint16_t>& s, uint32_t w, uint32_t h, std::vector<uint8_t>& e) {
  if (!TryResize(e, s.size())) return false;
  std::fill(e.begin(), e.end(), uint8_t{0});
  auto v = [&](uint32_t x, uint32_t y) { return int{s[size_t{y} * w + x]}; };
  for (uint32_t y = 1; y + 1 < h; ++y) {
    for (uint32_t x = 1; x + 1 < w; ++x) {
      const int left = v(x - 1, y - 1) + v(x - 1, y) + v(x - 1, y + 1);
      const int right = v(x + 1, y - 1) + v(x + 1, y) + v(x + 1, y + 1);
      const int top = v(x - 1, y - 1) + v(x, y - 1) + v(x + 1, y - 1);
      const int bottom = v(x - 1, y + 1) + v(x, y + 1) + v(x + 1, y + 1);
      const int upperLeft = v(x - 1, y - 1) + v(x, y - 1) + v(x - 1, y);
      const int lowerRight = v(x + 1, y + 1) + v(x, y + 1) + v(x + 1, y);
      const int upperRight = v(x + 1, y - 1) + v(x, y - 1) + v(x + 1, y);
      const int lowerLeft = v(x - 1, y + 1) + v(x, y + 1) + v(x - 1, y);
      e[size_t{y} * w + x] = std::abs(left - right) > kEdgeDifference ||
                             std::abs(top - bottom) > kEdgeDifference ||
                             std::abs(upperLeft - lowerRight) > kEdgeDifference ||
                             std::abs(upperRight - lowerLeft) > kEdgeDifference;
    }
  }
  return true;
}

// The four outline profiles of the gathered groups within `box`.
std::vector<Profile> Profiles(const std::vector<uint32_t>& labels, const std::vector<uint8_t>& in,
                              uint32_t w, const Component& box) {
  const uint32_t bw = box.right - box.left + 1, bh = box.bottom - box.top + 1;
  std::vector<Profile> p = {{std::vector<int32_t>(bw, -1), true, false},
                            {std::vector<int32_t>(bw, -1), true, true},
                            {std::vector<int32_t>(bh, -1), false, false},
                            {std::vector<int32_t>(bh, -1), false, true}};
  for (uint32_t y = 0; y < bh; ++y) {
    for (uint32_t x = 0; x < bw; ++x) {
      const uint32_t label = labels[size_t{box.top + y} * w + box.left + x];
      if (label == 0 || !in[label - 1]) continue;
      if (p[0].depth[x] < 0) p[0].depth[x] = int32_t(y);
      p[1].depth[x] = int32_t(bh - 1 - y);
      if (p[2].depth[y] < 0) p[2].depth[y] = int32_t(x);
      p[3].depth[y] = int32_t(bw - 1 - x);
    }
  }
  return p;
}

// Finds the document; false leaves the caller's defaults.
bool Find(const AnalysisArea& area, ImageRect& crop, double& tilt) {
  const uint32_t w = area.width(), h = area.height();
  std::vector<uint16_t> sums;
  if (!Sums(area, sums) || !DarkSurround(sums, w, h)) return false;
  std::vector<uint8_t> edges;
  if (!EdgeMap(sums, w, h, edges)) return false;
  sums = {};
  std::vector<uint32_t> labels;
  std::vector<Component> groups;
  if (!LabelComponents(edges, w, h, labels, groups) || groups.empty()) return false;
  Component box{};
  const std::vector<uint8_t> in = GatherObject(groups, std::max(w, h) / 100 + 2, box);
  if (box.right < box.left + 4 || box.bottom < box.top + 4) return false;
  const ImageRect r = area.rect();
  crop = ImageRect{r.left + int32_t(box.left + 1), r.top + int32_t(box.top + 1),
                   r.left + int32_t(box.right - 1), r.top + int32_t(box.bottom - 1)};
  if (!FitTilt(Profiles(labels, in, w, box), tilt)) tilt = 0;
  return true;
}

}  // namespace
}  // namespace imgfilt

extern "C" IMGFILT_API void IMGFILT_CALL AutoCropColor(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       ImageRect* crop, float* angle,
                                                       uint8_t orientation, ImageRect* region) {
  imgfilt::AnalysisArea area;
  ImageRect found{0, 0, 0, 0};
  double tilt = 0;
  if (area.Open(image, lineBytes, width, height, orientation, 3, region)) {
    found = area.rect();
    if (!imgfilt::Find(area, found, tilt)) tilt = 0;
  } else if (region != nullptr) {
    found = *region;
  }
  // The turn that sets the document upright undoes its tilt.
  const double turn = tilt > 0 ? 360 - tilt : 0.0 - tilt + 0.0;
  if (crop != nullptr) *crop = found;
  const auto single = static_cast<float>(turn);
  if (angle != nullptr) *angle = single >= 360.0f ? 0.0f : single;
  if (crop != nullptr && found.left > found.right) std::swap(crop->left, crop->right);
  if (crop != nullptr && found.top > found.bottom) std::swap(crop->top, crop->bottom);
}
