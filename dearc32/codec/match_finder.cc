#include "match_finder.h"

#include <algorithm>

#include "lzhuf_params.h"

namespace dearc32 {
namespace {

constexpr unsigned kHashBits = 15;
constexpr size_t kChainSlots = 8192;  // a power of two above kMaxDistance
// How many earlier candidates a search looks at; enough for good matches on text, bounded so
// that long runs of one byte cannot slow the packer down.
constexpr unsigned kMaxCandidates = 32;

}  // namespace

MatchFinder::MatchFinder(std::span<const uint8_t> data)
    : lead_(kStartPosition), head_(size_t{1} << kHashBits, -1), previous_(kChainSlots, -1) {
  text_.reserve(lead_ + data.size());
  text_.assign(lead_, kRingFill);
  text_.insert(text_.end(), data.begin(), data.end());
  // Only the last kMaxDistance spaces can ever be reached.
  for (size_t p = lead_ - std::min<size_t>(lead_, kMaxDistance); p < lead_; ++p) Insert(p);
}

uint32_t MatchFinder::HashAt(size_t p) const {
  const uint32_t v = uint32_t{text_[p]} << 16 | uint32_t{text_[p + 1]} << 8 | text_[p + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

void MatchFinder::Insert(size_t p) {
  if (p + kMinMatch > text_.size()) return;
  const uint32_t h = HashAt(p);
  previous_[p & (kChainSlots - 1)] = head_[h];
  head_[h] = static_cast<int64_t>(p);
}

Match MatchFinder::Longest(size_t p) const {
  Match best;
  const size_t limit = std::min<size_t>(kMaxMatch, text_.size() - p);
  if (limit < kMinMatch) return best;
  const uint8_t* here = text_.data() + p;
  int64_t candidate = head_[HashAt(p)];
  for (unsigned n = 0; n < kMaxCandidates && candidate >= 0; ++n) {
    const size_t distance = p - static_cast<size_t>(candidate);
    if (distance > kMaxDistance) break;
    const uint8_t* there = text_.data() + candidate;
    if (there[best.length] == here[best.length] || best.length == 0) {
      unsigned length = 0;
      while (length < limit && there[length] == here[length]) ++length;
      if (length > best.length) {
        best = {length, static_cast<unsigned>(distance)};
        if (length == limit) break;
      }
    }
    candidate = previous_[static_cast<size_t>(candidate) & (kChainSlots - 1)];
  }
  if (best.length < kMinMatch) best = {};
  return best;
}

Match MatchFinder::Find(size_t pos) {
  const size_t p = lead_ + pos;
  const Match m = Longest(p);
  Insert(p);
  return m;
}

void MatchFinder::Skip(size_t pos) { Insert(lead_ + pos); }

}  // namespace dearc32
