#include "edge_components.h"

#include <algorithm>

#include "work_buffer.h"

namespace imgfilt {

namespace {

// Room for one more element, growing by doubling.
template <typename T>
bool Room(std::vector<T>& v) {
  return v.size() < v.capacity() || TryReserve(v, 2 * v.capacity() + 64);
}

}  // namespace

bool LabelComponents(const std::vector<uint8_t>& map, uint32_t w, uint32_t h,
                     std::vector<uint32_t>& labels, std::vector<Component>& groups) {
  groups.clear();
  if (!TryResize(labels, map.size())) return false;
  std::fill(labels.begin(), labels.end(), 0u);
  std::vector<size_t> stack;
  for (size_t start = 0; start < map.size(); ++start) {
    if (map[start] == 0 || labels[start] != 0) continue;
    const auto label = static_cast<uint32_t>(groups.size() + 1);
    const auto sx = static_cast<uint32_t>(start % w), sy = static_cast<uint32_t>(start / w);
    Component c{sx, sy, sx, sy, 0};
    labels[start] = label;
    stack.assign(1, start);
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      const auto x = static_cast<uint32_t>(i % w), y = static_cast<uint32_t>(i / w);
      ++c.pixels;
      c.left = std::min(c.left, x), c.right = std::max(c.right, x);
      c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
      for (int dy = -1; dy <= 1; ++dy) {
        if ((dy < 0 && y == 0) || (dy > 0 && y + 1 >= h)) continue;
        for (int dx = -1; dx <= 1; ++dx) {
          if ((dx < 0 && x == 0) || (dx > 0 && x + 1 >= w)) continue;
          const size_t j = size_t(int64_t(y) + dy) * w + size_t(int64_t(x) + dx);
          if (map[j] != 0 && labels[j] == 0) {
            labels[j] = label;
            if (!Room(stack)) return false;
            stack.push_back(j);
          }
        }
      }
    }
    if (!Room(groups)) return false;
    groups.push_back(c);
  }
  return true;
}

std::vector<uint8_t> GatherObject(const std::vector<Component>& groups, uint32_t margin,
                                  Component& box) {
  std::vector<uint8_t> in(groups.size(), 0);
  if (groups.empty()) return in;
  const auto largest = std::max_element(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
    return a.pixels < b.pixels;
  });
  box = *largest;
  in[static_cast<size_t>(largest - groups.begin())] = 1;
  for (bool grew = true; grew;) {
    grew = false;
    for (size_t i = 0; i < groups.size(); ++i) {
      const Component& g = groups[i];
      if (in[i]) continue;
      const bool near = int64_t{g.left} <= int64_t{box.right} + margin &&
                        int64_t{g.right} + margin >= int64_t{box.left} &&
                        int64_t{g.top} <= int64_t{box.bottom} + margin &&
                        int64_t{g.bottom} + margin >= int64_t{box.top};
      if (!near) continue;
      in[i] = 1, grew = true;
      box.left = std::min(box.left, g.left), box.right = std::max(box.right, g.right);
      box.top = std::min(box.top, g.top), box.bottom = std::max(box.bottom, g.bottom);
      box.pixels += g.pixels;
    }
  }
  return in;
}

}  // namespace imgfilt
