// One band of a resize: which passes run in which order, where each intermediate line lives, and
// which lines stand in for those outside the band.
#ifndef IMGFILT_SRC_SCALE_BAND_H_
#define IMGFILT_SRC_SCALE_BAND_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster.h"
#include "scale_pass.h"
#include "scale_table.h"

namespace imgfilt {

struct ScaleCall;

// The tables of the image in progress; only those its directions need are filled.
struct ImageTables {
  int bpp;
  const EnlargeTable* enlargeX;
  const EnlargeTable* enlargeY;
  const ReduceTable* reduceX;
  const ReduceTable* reduceY;
};

// Where the band lies in the image.
struct BandPosition {
  bool first;             // the image's first band
  uint32_t linesDone;    // source lines of earlier bands
  uint32_t outputsDone;  // output lines of earlier bands
  uint32_t usedLines;    // this band's lines that belong to the image
  uint32_t outputLines;  // lines this band writes
};

class BandJob {
 public:
  BandJob(const ScaleCall& call, const ScalePasses& passes, const ImageTables& tables,
          const BandPosition& position);

  // Allocates everything first, so that a failure (10) leaves the destination untouched.
  uint8_t Run();
  const BandPosition& position() const { return position_; }

 private:
  bool Allocate();
  void PrepareLines();
  void OutputLine(size_t k, uint8_t* out);
  void Horizontal(const uint8_t* in, uint8_t* out);
  void Vertical(size_t k, bool scaled, uint8_t* out, size_t bytes);
  // Output k of a halving both ways in one sweep, when its upper line is already halved across;
  // false when this output does not have that shape.
  bool HalveTwoLines(size_t k, uint8_t* out);
  // Band line j (-1: the line before the band), as delivered or already scaled across.
  const uint8_t* Line(int64_t j, bool scaled);
  // Writes band line j scaled across to `out`, and remembers it there.
  void CopyScaledLine(int64_t j, uint8_t* out);

  const ScaleCall& call_;
  const ScalePasses& passes_;
  ImageTables tables_;
  BandPosition position_;
  int widthChange_;   // -1 reduce, 0 same, 1 enlarge
  int heightChange_;
  size_t inBytes_;    // bytes of a source line
  size_t outBytes_;   // bytes of an output line
  const uint8_t* source_;      // first band line in memory, or the copy
  ptrdiff_t sourceStep_;
  const uint8_t* previous_ = nullptr;
  size_t ringLines_ = 0;
  std::vector<uint8_t> bandCopy_;  // the band, when it overlaps the destination
  std::vector<uint8_t> previousLine_;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> between_;    // a line reduced in height, before it is widened
  std::vector<uint8_t> ring_;       // recent band lines already scaled across
  std::vector<int64_t> ringTags_;
  std::vector<const uint8_t*> ringWhere_;  // a slot's line, or the output line it went to
  std::vector<const uint8_t*> taps_;
  std::vector<float> weights_;
};

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SCALE_BAND_H_
