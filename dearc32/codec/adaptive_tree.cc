#include "adaptive_tree.h"

namespace dearc32 {

void AdaptiveTree::Reset() {
  for (unsigned i = 0; i < kSymbols; ++i) {
    count_[i] = 1;
    child_[i] = static_cast<uint16_t>(kNodes + i);
    parent_[kNodes + i] = static_cast<uint16_t>(i);
  }
  // Inner nodes take the nodes below them two at a time, lowest first.
  for (unsigned first = 0, node = kSymbols; node < kNodes; first += 2, ++node) {
    count_[node] = static_cast<uint16_t>(count_[first] + count_[first + 1]);
    child_[node] = static_cast<uint16_t>(first);
    parent_[first] = parent_[first + 1] = static_cast<uint16_t>(node);
  }
  count_[kNodes] = 0xFFFF;
  parent_[kRoot] = 0;
}

void AdaptiveTree::Code(int symbol, uint64_t* bits, unsigned* length) const {
  uint64_t code = 0;
  unsigned n = 0;
  for (unsigned node = parent_[kNodes + symbol]; node != kRoot; node = parent_[node]) {
    code |= uint64_t(node & 1) << n;  // the second child of a pair sits at the odd index
    ++n;
  }
  *bits = code;
  *length = n;
}

// The last index from `from` on whose count is below `count`. The counts are sorted, so the
// answer is the end of a run; a short linear probe handles the common case of a short run and
// a doubling search the long runs of equal counts that appear early in a stream.
unsigned AdaptiveTree::LastBelow(unsigned from, uint16_t count) const {
  unsigned lo = from;  // count_[lo] < count
  unsigned step = 1;
  while (count_[lo + step] < count) {
    lo += step;
    if (step < 64) step *= 2;
    if (lo + step > kNodes) step = kNodes - lo;
  }
  unsigned hi = lo + step;  // count_[hi] >= count
  while (hi - lo > 1) {
    const unsigned mid = lo + (hi - lo) / 2;
    (count_[mid] < count ? lo : hi) = mid;
  }
  return lo;
}

void AdaptiveTree::SwapNodes(unsigned a, unsigned b) {
  const unsigned childA = child_[a];
  const unsigned childB = child_[b];
  parent_[childA] = static_cast<uint16_t>(b);
  if (childA < kNodes) parent_[childA + 1] = static_cast<uint16_t>(b);
  parent_[childB] = static_cast<uint16_t>(a);
  if (childB < kNodes) parent_[childB + 1] = static_cast<uint16_t>(a);
  child_[a] = static_cast<uint16_t>(childB);
  child_[b] = static_cast<uint16_t>(childA);
}

void AdaptiveTree::Update(int symbol) {
  if (count_[kRoot] == kRebuildCount) Rebuild();
  IncrementFrom(parent_[kNodes + symbol]);
}

// Counts one more for `node` and each of its ancestors, moving nodes to keep the counts sorted.
void AdaptiveTree::IncrementFrom(unsigned node) {
  for (;;) {
    const uint16_t count = static_cast<uint16_t>(count_[node] + 1);
    if (count > count_[node + 1]) {
      // Moving the node past the run of nodes it now outweighs keeps the counts sorted; it
      // takes the place of the last node of that run, which comes down to its old place.
      const unsigned target = LastBelow(node + 1, count);
      count_[node] = count_[target];
      count_[target] = count;
      SwapNodes(node, target);
      node = target;
    } else {
      count_[node] = count;
    }
    if (node == kRoot) return;
    node = parent_[node];
  }
}

void AdaptiveTree::Rebuild() {
  // Gather the leaves at the bottom, in their present order, with halved counts.
  unsigned leaves = 0;
  for (unsigned node = 0; node < kNodes; ++node) {
    if (child_[node] < kNodes) continue;
    count_[leaves] = static_cast<uint16_t>((count_[node] + 1) / 2);
    child_[leaves] = child_[node];
    ++leaves;
  }
  // Pair the nodes lowest first, as Huffman's construction does, inserting each new inner node
  // after every node whose count does not exceed its own.
  for (unsigned first = 0, node = kSymbols; node < kNodes; first += 2, ++node) {
    const uint16_t count = static_cast<uint16_t>(count_[first] + count_[first + 1]);
    unsigned at = node;
    while (count < count_[at - 1]) --at;
    for (unsigned k = node; k > at; --k) {
      count_[k] = count_[k - 1];
      child_[k] = child_[k - 1];
    }
    count_[at] = count;
    child_[at] = static_cast<uint16_t>(first);
  }
  for (unsigned node = 0; node < kNodes; ++node) {
    const unsigned child = child_[node];
    parent_[child] = static_cast<uint16_t>(node);
    if (child < kNodes) parent_[child + 1] = static_cast<uint16_t>(node);
  }
}

}  // namespace dearc32
