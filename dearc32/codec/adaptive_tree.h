// The adaptive Huffman code of the compressed stream: 314 symbols (256 literal bytes and 58
// match lengths) in a tree of 627 nodes whose counts follow the data. Encoder and decoder keep
// identical trees by applying Update after every symbol.
//
// Nodes are stored in order of non-decreasing count, and the two children of an inner node are
// always neighbours starting at an even index, so that a node's index tells which branch it
// is. Counts never exceed kRebuildCount at the root; once they reach it every leaf count is
// halved (rounding up) and the inner nodes are rebuilt.
#pragma once

#include <array>
#include <cstdint>

namespace dearc32 {

class AdaptiveTree {
 public:
  static constexpr int kSymbols = 314;
  static constexpr int kNodes = 2 * kSymbols - 1;  // 627
  static constexpr int kRoot = kNodes - 1;
  static constexpr uint16_t kRebuildCount = 0x8000;

  AdaptiveTree() { Reset(); }
  // Every leaf count 1 and the inner nodes paired in order, as at the start of a stream.
  void Reset();

  // Decodes one symbol, walking from the root one bit per inner node (0: the first child), and
  // counts it as Update does. The nodes walked on the way down are remembered, so the way back
  // up reads them instead of chasing parents, until a node has to move. `reader` offers
  // Window() (the next bits, left-aligned) and Consume(n). Bounded counts keep codes to about
  // 22 bits, so one window nearly always does.
  template <class Reader>
  int DecodeAndUpdate(Reader& reader) {
    uint64_t window = reader.Window();
    unsigned used = 0;  // bits taken from `window`; 56 of them are always real or filler
    uint16_t path[kNodes];
    unsigned depth = 0;
    unsigned node = kRoot;
    while (child_[node] < kNodes) {
      if (used == 56) {
        reader.Consume(used);
        window = reader.Window();
        used = 0;
      }
      path[depth++] = static_cast<uint16_t>(node);
      node = child_[node] + static_cast<unsigned>(window >> 63);
      window <<= 1;
      ++used;
    }
    reader.Consume(used);
    const int symbol = static_cast<int>(child_[node] - kNodes);
    // The symbol is decoded with the tree as it stands; a rebuild comes before its count.
    if (count_[kRoot] == kRebuildCount) {
      Update(symbol);
      return symbol;
    }
    // `node` is the leaf; its ancestors are path[depth - 1] up to path[0], the root.
    for (;;) {
      const uint16_t count = static_cast<uint16_t>(count_[node] + 1);
      if (count > count_[node + 1]) {
        IncrementFrom(node);
        return symbol;
      }
      count_[node] = count;
      if (depth == 0) return symbol;
      node = path[--depth];
    }
  }

  // The code of `symbol`: its bits right-aligned in `bits`, `length` of them. Bounded counts
  // keep codes far shorter than 64 bits (a Fibonacci-shaped tree of 0x8000 is about 22 deep).
  void Code(int symbol, uint64_t* bits, unsigned* length) const;

  // Counts one more occurrence of `symbol` and restores the node order.
  void Update(int symbol);

 private:
  void Rebuild();
  void IncrementFrom(unsigned node);
  void SwapNodes(unsigned a, unsigned b);
  unsigned LastBelow(unsigned from, uint16_t count) const;

  // count_[kNodes] is a sentinel larger than any count, which stops the searches.
  std::array<uint16_t, kNodes + 1> count_;
  // Inner node: index of its first child. Leaf: kNodes + symbol.
  std::array<uint16_t, kNodes> child_;
  // parent_[node] for nodes; parent_[kNodes + symbol] is the leaf holding the symbol.
  std::array<uint16_t, kNodes + kSymbols> parent_;
};

}  // namespace dearc32
