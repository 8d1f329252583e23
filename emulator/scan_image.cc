#include "scan_image.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace emulator {

namespace {
uint32_t Mix(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u + b * 0x85EBCA77u + c * 0xC2B2AE3Du + 0x27D4EB2Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// Rows kept at most before the cache starts again; rows repeat in far fewer keys than this.
constexpr size_t kRowCacheLimit = 2048;
}  // namespace

uint8_t Sensitivity(const ScannerModel& model, uint32_t element, int channel) {
  if (model.flatSensor) return 255;
  return static_cast<uint8_t>(216 + Mix(element, static_cast<uint32_t>(channel), 1) % 40);
}

uint8_t ShadingSample(const ScannerModel& model, int line, uint32_t element, int channel) {
  int noise = static_cast<int>(Mix(element, static_cast<uint32_t>(channel), 100 + line) % 5) - 2;
  return static_cast<uint8_t>(std::clamp(Sensitivity(model, element, channel) + noise, 0, 255));
}

ScanImage::ScanImage(const Settings& settings)
    : s_(settings), channels_(settings.window.Channels()), ppl_(settings.geometry.pixelsPerLine) {
  const ScannerModel& m = *s_.model;
  chartX_.resize(ppl_);
  int64_t left = int64_t{s_.window.left} * kChartUnitsPerInch / m.opticalRes;
  for (uint32_t px = 0; px < ppl_; ++px) {
    chartX_[px] = left + (2 * int64_t{px} + 1) * kChartUnitsPerInch / (2 * s_.window.xRes);
  }
  BuildTables();
  scratch_.resize(static_cast<size_t>(channels_) * ppl_);
}

void ScanImage::BuildTables() {
  const ScannerModel& m = *s_.model;
  const uint32_t maxLevel = m.AdMax();
  const int shift = m.adBits - 8;
  const bool internalShading = !s_.hostWhite && !s_.window.HostTables() && s_.window.Source() == 0;
  rows256_.clear();
  rowOf_.resize(static_cast<size_t>(channels_) * ppl_);
  for (int ch = 0; ch < channels_; ++ch) {
    const int sensorChannel = channels_ == 1 ? 1 : ch;  // gray is read through green
    const std::vector<uint8_t>* gamma = nullptr;
    if (s_.window.TablesWanted()) {
      auto it = s_.gamma->find(ch);
      if (it != s_.gamma->end()) gamma = &it->second;
    }
    // Each distinct row is worked out once a channel and shared by every pixel that has it.
    std::map<uint64_t, size_t> made;
    for (uint32_t px = 0; px < ppl_; ++px) {
      uint32_t element = std::min<uint32_t>(
          m.Width() - 1, s_.window.left + static_cast<uint32_t>(uint64_t{px} * m.opticalRes / s_.window.xRes));
      uint32_t sens = Sensitivity(m, element, sensorChannel);
      uint32_t white = 255;
      if (s_.hostWhite) {
        white = std::max<uint32_t>(1, (*s_.hostWhite)[size_t{static_cast<uint32_t>(ch)} * m.Width() + element]);
      }
      size_t& row = rowOf_[size_t{static_cast<uint32_t>(ch)} * ppl_ + px];
      const uint64_t key = internalShading ? 0 : uint64_t{sens} << 32 | white;
      if (auto same = made.find(key); same != made.end()) {
        row = same->second;
        continue;
      }
      row = rows256_.size();
      made.emplace(key, row);
      rows256_.resize(row + 256);
      uint8_t* out = &rows256_[row];
      for (uint32_t c = 0; c < 256; ++c) {
        uint32_t level = c * sens * maxLevel / (255 * 255);
        uint32_t corrected = internalShading ? c * maxLevel / 255
                             : s_.hostWhite  ? std::min(maxLevel, level * 255 / white)
                                             : level;
        out[c] = gamma ? (*gamma)[corrected] : static_cast<uint8_t>(corrected >> shift);
      }
    }
  }
}

void ScanImage::MakeRow(int64_t imageLine, uint8_t* out) {
  const ScannerModel& m = *s_.model;
  int64_t top = int64_t{s_.window.top} * kChartUnitsPerInch / m.opticalRes;
  int64_t y = top + (2 * imageLine + 1) * kChartUnitsPerInch / (2 * s_.window.yRes);
  const bool negative = s_.window.Source() == 2;
  for (uint32_t px = 0; px < ppl_; ++px) {
    Rgb c = s_.page->At(chartX_[px], y);
    if (negative) c = {static_cast<uint8_t>(255 - c.r), static_cast<uint8_t>(255 - c.g),
                       static_cast<uint8_t>(255 - c.b)};
    const uint8_t* t = rows256_.data();
    if (channels_ == 1) {
      out[px] = t[rowOf_[px] + Luminance(c)];
    } else {
      out[px] = t[rowOf_[px] + c.r];
      out[ppl_ + px] = t[rowOf_[ppl_ + px] + c.g];
      out[2 * ppl_ + px] = t[rowOf_[2 * ppl_ + px] + c.b];
    }
  }
}

const uint8_t* ScanImage::PlaneRow(int64_t imageLine, int channel) {
  const ScannerModel& m = *s_.model;
  int64_t top = int64_t{s_.window.top} * kChartUnitsPerInch / m.opticalRes;
  int64_t y = top + (2 * imageLine + 1) * kChartUnitsPerInch / (2 * s_.window.yRes);
  int64_t key = s_.page->RowKey(y);
  // Rows that do not repeat are cached by their line, in a key space of their own.
  if (key < 0) key = -2 - imageLine;
  auto it = rows_.find(key);
  if (it == rows_.end()) {
    std::vector<uint8_t> row(size_t{static_cast<uint32_t>(channels_)} * ppl_);
    MakeRow(imageLine, row.data());
    it = rows_.emplace(key, std::move(row)).first;
  }
  return it->second.data() + size_t{static_cast<uint32_t>(channel)} * ppl_;
}

void ScanImage::RawLine(uint32_t line, uint8_t* out) {
  if (rows_.size() > kRowCacheLimit) rows_.clear();
  const ScanGeometry& g = s_.geometry;
  std::memset(out, 0, g.bytesPerLine);
  if (channels_ == 3) {
    const int64_t base = int64_t{line} + std::min({g.greenDelay, g.blueDelay, 0});
    std::memcpy(out, PlaneRow(base, 0), ppl_);
    std::memcpy(out + ppl_, PlaneRow(base - g.greenDelay, 1), ppl_);
    std::memcpy(out + 2 * ppl_, PlaneRow(base - g.blueDelay, 2), ppl_);
    return;
  }
  const uint8_t* gray = PlaneRow(line, 0);
  if (s_.window.composition == Composition::kGray) {
    std::memcpy(out, gray, ppl_);
    return;
  }
  for (uint32_t px = 0; px < ppl_; ++px) {
    if (gray[px] < s_.window.threshold) out[px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
  }
}

void ScanImage::ImageLine(uint32_t line, uint32_t defocus, bool bgr, uint8_t* out) {
  if (rows_.size() > kRowCacheLimit) rows_.clear();
  const ScanGeometry& g = s_.geometry;
  std::vector<uint8_t> planes(size_t{static_cast<uint32_t>(channels_)} * ppl_, 0);
  for (int ch = 0; ch < channels_; ++ch) {
    std::memcpy(planes.data() + size_t{static_cast<uint32_t>(ch)} * ppl_, PlaneRow(line, ch), ppl_);
  }
  std::memset(out, 0, g.bytesPerLine);
  if (s_.window.composition == Composition::kLineArt) {
    for (uint32_t px = 0; px < ppl_; ++px) {
      if (planes[px] < s_.window.threshold) out[px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
    }
    return;
  }
  Defocus(g, channels_, defocus, planes.data());
  if (channels_ == 1) {
    std::memcpy(out, planes.data(), ppl_);
    return;
  }
  for (uint32_t px = 0; px < ppl_; ++px) {
    out[3 * px] = planes[(bgr ? 2 : 0) * ppl_ + px];
    out[3 * px + 1] = planes[ppl_ + px];
    out[3 * px + 2] = planes[(bgr ? 0 : 2) * ppl_ + px];
  }
}

void Defocus(const ScanGeometry& g, int channels, uint32_t distance, uint8_t* line) {
  const int radius = static_cast<int>(std::min<uint32_t>(distance / 16, 8));
  if (radius == 0) return;
  const int ppl = g.pixelsPerLine;
  std::vector<uint8_t> plane(static_cast<size_t>(ppl));
  for (int ch = 0; ch < channels; ++ch) {
    uint8_t* p = line + static_cast<size_t>(ch) * ppl;
    std::memcpy(plane.data(), p, plane.size());
    // A running sum over the window x - radius .. x + radius, cut at the line's ends: one add
    // and one subtract a pixel, whatever the radius (every film line of a scan passes here).
    int sum = 0;
    for (int k = 0; k <= std::min(radius, ppl - 1); ++k) sum += plane[k];
    for (int x = 0; x < ppl; ++x) {
      const int lo = std::max(0, x - radius), hi = std::min(ppl - 1, x + radius);
      p[x] = static_cast<uint8_t>(sum / (hi - lo + 1));
      if (x + radius + 1 < ppl) sum += plane[x + radius + 1];
      if (x - radius >= 0) sum -= plane[x - radius];
    }
  }
}

}  // namespace emulator
