// Resampling tables of the scaler: for each output position along one direction, which source
// positions it draws on and with what weights. Built once per image and direction.
#ifndef IMGFILT_SRC_SCALE_TABLE_H_
#define IMGFILT_SRC_SCALE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgfilt {

// Weight of a neighbour at distance d >= 0: 1 at 0, 2d^3 - 3d^2 + 1 below 1, 0 from 1 on.
float CubicWeight(float d);

// Enlargement: output position x blends source positions index and index + 1 with weights w0
// and w1 in 1/128 (w0 + w1 = 128). index may be -1, a virtual position before the first.
struct EnlargeEntry {
  int32_t index;
  uint8_t w0;
  uint8_t w1;
};

// Horizontal enlargement laid out for a byte shuffle: a group covers up to 16 consecutive output
// bytes whose first sources lie within 16 bytes of `base` in the padded source line (the virtual
// pixel, the line, its last pixel again). Output byte k of the group is
// (w0[k] x padded[base + index[k]] + (128 - w0[k]) x padded[base + index[k] + bpp] + 4) >> 7.
// A group with base -1 does not fit and is computed byte by byte.
struct EnlargeGroup {
  int32_t base;
  uint8_t index[16];
  uint8_t w0[16];
};

struct EnlargeTable {
  std::vector<EnlargeEntry> entries;
  std::vector<EnlargeGroup> groups;
  size_t groupBytes = 0;  // output bytes per group: whole pixels
};

// Reduction: output position x is the weighted sum of `count` source positions starting at
// pairs[first]; the weights sum to 1 (unless they were all 0). Indices may lie outside the source;
// each pass decides what stands in for them.
struct ReducePair {
  ReducePair() {}  // left unset: tables size their pair lists first and fill them after
  ReducePair(int32_t index_, float weight_) : index(index_), weight(weight_) {}
  int32_t index;
  float weight;
};

struct ReduceEntry {
  size_t first;
  uint32_t count;
};

// Horizontal reduction laid out for vector lanes: for each tap k below `taps` and each output
// byte o, the byte offset in the source line (already mirrored) and the weight, at
// [k x outBytes + o]. Entries with fewer pairs are padded with weight 0 at the end, which leaves
// every sum unchanged. When every weight is a multiple of 1/256 and each output's weights add
// up to at most 1, `weight256` holds them as integers (and `weight` stays empty): the
// single-precision sums are then exact, and integer arithmetic gives the same bytes.
struct ReduceLanes {
  size_t taps = 0;
  size_t outBytes = 0;
  std::vector<int32_t> source;
  std::vector<float> weight;
  std::vector<uint16_t> weight256;  // empty unless the weights allow it
  // Halving: output pixels [halvingBegin, halvingEnd) take source pixel 2x + offset[k] with
  // integer weight weight[k] for every tap k, the same for every x, so that deinterleaving loads
  // can fetch them. Empty range when the table has no such stretch.
  size_t halvingBegin = 0;
  size_t halvingEnd = 0;
  std::vector<int32_t> halvingOffset;
  std::vector<uint16_t> halvingWeight;
};

struct ReduceTable {
  std::vector<ReduceEntry> entries;
  std::vector<ReducePair> pairs;
  size_t maxSpan = 0;  // largest index range one entry covers
  size_t maxCount = 0;
  bool halving = false;  // an exact halving: taps 1/4, 1/2, 1/4 on pixels 2t, 2t + 1, 2t + 2
  ReduceLanes lanes;    // built for horizontal tables only
};

// Candidate weights of up to kChunk consecutive reduction outputs: output i's window starts at
// 1-based source position first[i] and has count[i] positions; weight[k][i] is the weight of its
// k-th position (0 past count[i]), before zero weights are dropped and the rest normalised.
struct ReduceWindows {
  static constexpr size_t kChunk = 64;
  static constexpr size_t kMaxCandidates = 24;
  int32_t first[kChunk];
  int32_t count[kChunk];
  float weight[kMaxCandidates][kChunk];
};

// Fills `windows` for outputs [firstOutput, firstOutput + outputs), outputs <= kChunk, with the
// widest vectors the processor has; false when a window has more than kMaxCandidates positions.
bool ReduceWindowsFast(float f, float radius, uint32_t firstOutput, size_t outputs,
                       ReduceWindows& windows);

// The same one output at a time: the definition the vector builder is checked against.
bool ReduceWindowsPlain(float f, float radius, uint32_t firstOutput, size_t outputs,
                        ReduceWindows& windows);

// How a reduction table's weights are computed: by vectors where the windows are narrow enough,
// or one output at a time. Both give the same table.
enum class TableMath { kVector, kPlain };

// `weight` as a multiple of 1/256, when it is one.
bool WeightIn256ths(float weight, uint16_t& in256ths);

// The weights as integers in 1/256 when each is such a multiple and together they make at most 1.
bool WeightsIn256ths(const float* weights, size_t count, uint16_t* in256ths);

// Both return 0, 12 when `target` is not on the table's side of `source`, or 10 when the memory
// cannot be had. source and target are at least 1.
uint8_t BuildEnlargeTable(uint32_t source, uint32_t target, EnlargeTable& table);
uint8_t BuildReduceTable(uint32_t source, uint32_t target, ReduceTable& table,
                         TableMath math = TableMath::kVector);

// Adds the shuffle groups to a horizontal enlargement of lines `width` pixels wide.
uint8_t BuildEnlargeGroups(uint32_t width, int bpp, EnlargeTable& table);

// Adds the lane layout to a horizontal reduction of lines `width` pixels wide.
uint8_t BuildReduceLanes(uint32_t width, int bpp, ReduceTable& table);

// Padded source position of output pixel `entry`: 0 is the virtual pixel before the line,
// width + 1 repeats the last pixel.
inline size_t PaddedPixel(const EnlargeEntry& entry, size_t width) {
  if (entry.index < 0) return 0;
  const auto at = static_cast<size_t>(entry.index);
  return (at < width ? at : width - 1) + 1;
}

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SCALE_TABLE_H_
