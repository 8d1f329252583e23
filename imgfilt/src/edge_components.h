// Connected groups of edge pixels, for finding a document's outline in an edge map.
#ifndef IMGFILT_SRC_EDGE_COMPONENTS_H_
#define IMGFILT_SRC_EDGE_COMPONENTS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgfilt {

struct Component {
  uint32_t left, top, right, bottom;  // inclusive bounding box
  size_t pixels;
};

// Labels the 8-connected groups of set pixels of a w x h map (row-major, non-zero = set).
// `labels` receives 0 for clear pixels and the group number + 1 for set ones. False when the
// work memory cannot be had.
[[nodiscard]] bool LabelComponents(const std::vector<uint8_t>& map, uint32_t w, uint32_t h,
                                   std::vector<uint32_t>& labels, std::vector<Component>& groups);

// The groups that make up the largest group's object: the largest (by pixels) and, repeatedly,
// every group whose box comes within `margin` pixels of the box gathered so far. Returns a flag
// per group.
std::vector<uint8_t> GatherObject(const std::vector<Component>& groups, uint32_t margin,
                                  Component& box);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_EDGE_COMPONENTS_H_
