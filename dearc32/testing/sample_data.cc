#include "sample_data.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace dearc32::testing {
namespace {

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 24> kWords = {
    "scanner", "the",   "image", "driver", "of",     "setup",  "a",      "resolution",
    "and",     "film",  "to",    "colour", "window", "is",     "gamma",  "table",
    "port",    "with",  "line",  "data",   "for",    "device", "system", "file"};

void AppendText(std::vector<uint8_t>& out, size_t end, Random& random) {
  size_t column = 0;
  while (out.size() < end) {
    const std::string_view word = kWords[random.Below(kWords.size())];
    out.insert(out.end(), word.begin(), word.end());
    column += word.size() + 1;
    const uint32_t r = random.Below(16);
    out.push_back(column > 70 ? '\n' : r == 0 ? ',' : r == 1 ? '.' : ' ');
    if (column > 70) column = 0;
  }
  out.resize(end);
}

// Records of small integers, offsets and a few repeated opcodes, as executables and tables hold.
void AppendBinary(std::vector<uint8_t>& out, size_t end, Random& random) {
  uint32_t offset = random.Next() & 0xFFFF;
  while (out.size() < end) {
    switch (random.Below(4)) {
      case 0:
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(offset >> (8 * i)));
        offset += 4 + random.Below(64);
        break;
      case 1:
        out.insert(out.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC, static_cast<uint8_t>(random.Below(64))});
        break;
      case 2:
        out.insert(out.end(), random.Below(12), 0);
        break;
      default:
        for (uint32_t i = random.Below(8); i > 0; --i) out.push_back(static_cast<uint8_t>(random.Next()));
    }
  }
  out.resize(end);
}

}  // namespace

std::vector<uint8_t> SampleText(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  out.reserve(size + 16);
  Random random(seed);
  AppendText(out, size, random);
  return out;
}

std::vector<uint8_t> SampleBinary(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  out.reserve(size + 16);
  Random random(seed);
  AppendBinary(out, size, random);
  return out;
}

std::vector<uint8_t> SampleNoise(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  Random random(seed);
  for (auto& b : out) b = static_cast<uint8_t>(random.Next());
  return out;
}

std::vector<uint8_t> SampleRuns(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  out.reserve(size);
  Random random(seed);
  constexpr std::array<uint8_t, 3> kBytes = {0x00, 0xFF, 'A'};
  while (out.size() < size) {
    const size_t run = std::min<size_t>(size - out.size(), 1 + random.Below(8192));
    out.insert(out.end(), run, kBytes[random.Below(kBytes.size())]);
  }
  return out;
}

std::vector<uint8_t> SampleMixed(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  out.reserve(size + 16);
  Random random(seed);
  bool text = true;
  while (out.size() < size) {
    const size_t end = std::min(size, out.size() + 4096 + random.Below(60000));
    text ? AppendText(out, end, random) : AppendBinary(out, end, random);
    text = !text;
  }
  return out;
}

}  // namespace dearc32::testing
