// Where to measure the screen: a 128 x 128 block of a colour scan free of edges and rich in fine
// texture, found with a 14 x 14 window over an edge map of the gray plane.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "imgfilt.h"

namespace {

constexpr int kWindow = 14;
constexpr int kEdgeContrast = 150;      // a step of three-pixel sums above this is an edge
constexpr int64_t kEnoughTexture = 15000;
constexpr int32_t kBlock = 128;

struct Plane {
  int w = 0, h = 0;
  std::vector<uint8_t> v;
};

Plane GrayPlane(const uint8_t* image, uint32_t lineBytes, const ImageRect& r) {
  Plane g;
  g.w = r.right - r.left + 1;
  g.h = r.bottom - r.top + 1;
  g.v.resize(static_cast<size_t>(g.w) * static_cast<size_t>(g.h));
  for (int y = 0; y < g.h; ++y) {
    const uint8_t* line = image + static_cast<size_t>(r.top + y) * lineBytes + static_cast<size_t>(r.left) * 3;
    for (int x = 0; x < g.w; ++x) {
      g.v[static_cast<size_t>(y) * static_cast<size_t>(g.w) + static_cast<size_t>(x)] =
          static_cast<uint8_t>((line[3 * x] + line[3 * x + 1] + line[3 * x + 2]) / 3);
    }
  }
  return g;
}

// 1 where a pixel is an edge: on the border, or where a three-pixel sum across it steps by more
// than the edge contrast in any of four directions.
std::vector<uint8_t> EdgeMap(const Plane& g) {
  std::vector<uint8_t> edge(g.v.size(), 1);
  const size_t w = static_cast<size_t>(g.w);
  for (int y = 1; y + 1 < g.h; ++y) {
    // Rows above, at and below, read through plain pointers: this runs for every pixel.
    const uint8_t* a = g.v.data() + static_cast<size_t>(y - 1) * w;
    const uint8_t* m = a + w;
    const uint8_t* b = m + w;
    uint8_t* out = edge.data() + static_cast<size_t>(y) * w;
    for (size_t x = 1; x + 1 < w; ++x) {
      const int d[4] = {
          a[x - 1] + m[x - 1] + b[x - 1] - a[x + 1] - m[x + 1] - b[x + 1],
          a[x - 1] + a[x] + a[x + 1] - b[x - 1] - b[x] - b[x + 1],
          a[x - 1] + a[x] + m[x - 1] - b[x + 1] - b[x] - m[x + 1],
          a[x] + a[x + 1] + m[x + 1] - b[x - 1] - b[x] - m[x - 1],
      };
      const bool flat = std::all_of(d, d + 4, [](int v) { return std::abs(v) <= kEdgeContrast; });
      out[x] = flat ? 0 : 1;
    }
  }
  return edge;
}

// |8P - the eight neighbours| of every interior pixel (0 on the border).
std::vector<uint16_t> Texture(const Plane& g) {
  std::vector<uint16_t> t(g.v.size(), 0);
  const size_t w = static_cast<size_t>(g.w);
  for (int y = 1; y + 1 < g.h; ++y) {
    const uint8_t* a = g.v.data() + static_cast<size_t>(y - 1) * w;
    const uint8_t* m = a + w;
    const uint8_t* b = m + w;
    uint16_t* out = t.data() + static_cast<size_t>(y) * w;
    for (size_t x = 1; x + 1 < w; ++x) {
      const int sum = a[x - 1] + a[x] + a[x + 1] + m[x - 1] + m[x] + m[x + 1] + b[x - 1] + b[x] + b[x + 1];
      out[x] = static_cast<uint16_t>(std::abs(9 * m[x] - sum));
    }
  }
  return t;
}

struct Best {
  int x, y;
};

Best Search(const Plane& g) {
  const std::vector<uint8_t> edge = EdgeMap(g);
  const std::vector<uint16_t> texture = Texture(g);
  const size_t w = static_cast<size_t>(g.w);
  // Per column, edges and texture in the window's rows y..y + 13, kept up to date as y moves.
  std::vector<int> edges(w, 0);
  std::vector<int64_t> energy(w, 0);
  auto addRow = [&](int row, int sign) {
    for (size_t x = 0; x < w; ++x) {
      edges[x] += sign * edge[static_cast<size_t>(row) * w + x];
      energy[x] += sign * texture[static_cast<size_t>(row) * w + x];
    }
  };
  Best best{g.w, g.h};
  int64_t most = -1, last = 0;
  for (int y = 1; y < g.h - 15 && last <= kEnoughTexture; ++y) {
    if (y == 1) {
      for (int row = 1; row < 1 + kWindow; ++row) addRow(row, 1);
    } else {
      addRow(y - 1, -1);
      addRow(y + kWindow - 1, 1);
    }
    for (int x = 1; x < g.w - 15 && last <= kEnoughTexture;) {
      int rightmost = -1;
      for (int dx = kWindow - 1; dx >= 0 && rightmost < 0; --dx) {
        if (edges[static_cast<size_t>(x + dx)] > 0) rightmost = dx;
      }
      if (rightmost >= 0) {
        x += rightmost + 1;
        continue;
      }
      last = 0;
      for (int dx = 0; dx < kWindow; ++dx) last += energy[static_cast<size_t>(x + dx)];
      if (last > most) {
        most = last;
        best = {x, y};
      }
      ++x;
    }
  }
  return best;
}

}  // namespace

extern "C" IMGFILT_API void IMGFILT_CALL AutoDescreenColor(const uint8_t* image, uint32_t lineBytes, uint32_t width,
                                                           uint32_t height, ImageRect* result, const ImageRect* region) {
  if (image == nullptr || result == nullptr || width == 0 || height == 0) return;
  if (uint64_t{width} * 3 > lineBytes || width > INT32_MAX || height > INT32_MAX) return;
  const auto lastX = static_cast<int32_t>(width - 1), lastY = static_cast<int32_t>(height - 1);
  ImageRect r = region != nullptr ? *region : ImageRect{0, 0, lastX, lastY};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  // Reading outside the image is never safe; the search keeps to the part of it in the image.
  r.left = std::clamp(r.left, 0, lastX);
  r.right = std::clamp(r.right, 0, lastX);
  r.top = std::clamp(r.top, 0, lastY);
  r.bottom = std::clamp(r.bottom, 0, lastY);
  Best best{};
  try {
    best = Search(GrayPlane(image, lineBytes, r));
  } catch (const std::bad_alloc&) {
    best = {r.right - r.left + 1, r.bottom - r.top + 1};  // as when no block qualifies
  }
  const int32_t left = r.left + best.x, top = r.top + best.y;
  *result = ImageRect{left, top, left + kBlock, top + kBlock};
}
