// Finds earlier occurrences of the bytes ahead, for the encoder. The history is the data
// itself preceded by the spaces the decoder's ring starts with, so a file that begins with
// spaces compresses from its first byte.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dearc32 {

struct Match {
  unsigned length = 0;    // 0 when nothing of kMinMatch bytes or more was found
  unsigned distance = 0;  // 1 = the byte just before
};

class MatchFinder {
 public:
  // Farthest distance a match may reach back: the ring less the bytes still to be written, so
  // the decoder never copies a ring byte that it has not yet written.
  static constexpr unsigned kMaxDistance = 4096 - 60;

  explicit MatchFinder(std::span<const uint8_t> data);

  // The longest match for the bytes at `pos` (an index into the data). Positions must be
  // visited in increasing order, each exactly once, through Find or Skip.
  Match Find(size_t pos);
  void Skip(size_t pos);

 private:
  uint32_t HashAt(size_t textPos) const;
  void Insert(size_t textPos);
  Match Longest(size_t textPos) const;

  std::vector<uint8_t> text_;         // the leading spaces, then the data
  size_t lead_;                       // how many leading spaces
  std::vector<int64_t> head_;         // hash -> latest text position, or -1
  std::vector<int64_t> previous_;     // text position (modulo its size) -> previous with that hash
};

}  // namespace dearc32
