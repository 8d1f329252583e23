// Preparation of the line pipeline and the line routines of the scan engine.
#include <algorithm>
#include <cstring>
#include <new>

#include "scanner.h"
#include "scanner_routines.h"

namespace usbminid {

namespace {
const ScannerRoutine* Find(int mode, int resolution) {
  for (const ScannerRoutine& r : kScannerRoutines) {
    if (r.mode == mode && r.resolution == resolution) return &r;
  }
  return nullptr;
}
}  // namespace

void Scanner::Prepare() {
  const ScannerRoutine* routine = Find(mode_, resolution_);
  if (routine == nullptr) throw XScanner("SetupScan Failed.");  // refused before by CheckGeometry
  routine_ = nullptr;
  ReleaseCurrentArrays();
  try {
    const uint16_t skip = resolution_ == 3   ? settings_.SkipsPerRow
                          : resolution_ == 2 ? static_cast<uint16_t>(settings_.SkipsPerRow * 2 / 3)
                                             : static_cast<uint16_t>(settings_.SkipsPerRow / 3);
    asic_.SetupScan(mode_ == kColour ? 0 : 1, 1, 0, static_cast<uint16_t>(width_ + x_ + skip), resolution_, invert_, 0);
    asic_.StartWRLine(static_cast<uint16_t>(skip + x_), width_);
    if (mode_ == kColour) {
      PrepareColour(routine->redLines, routine->blueLines);
    } else {
      for (int i = 0; i < routine->leadLines; ++i) asic_.WRLine(greenLine_.data());
    }
  } catch (const XGA1015&) {
    throw XScanner("%s", routine->prepareText);
  }
  redIndex_ = 0;
  blueIndex_ = 0;
  phase_ = 0;
  try {
    PrepareCurrentArrays();
  } catch (const std::bad_alloc&) {
    throw XScanner("new Current Scan Arrays Failed");
  }
  routine_ = routine;
}

// Fills the rings so that the red ring holds the red lines of the last N_R triples and the blue
// ring the blue lines of the last N_B, oldest in slot 0.
void Scanner::PrepareColour(int redLines, int blueLines) {
  redLines_ = redLines;
  blueLines_ = blueLines;
  uint8_t* red = redRing_.data();
  uint8_t* blue = blueRing_.data();
  asic_.WRLine(red);
  asic_.WRLine(greenLine_.data());
  asic_.WRLine(blue);
  for (int i = 1; i <= redLines; ++i) {
    asic_.WRLine(red + size_t(i - 1) * kPixels);
    asic_.WRLine(greenLine_.data());
    const int slot = ((i - 1 - (redLines - blueLines)) % blueLines + blueLines) % blueLines;
    asic_.WRLine(blue + size_t(slot) * kPixels);
  }
}

// At 300 dpi the current arrays are views into the calibration from pixel x; below, each output
// pixel takes the calibration of the 300-dpi pixel the sensor delivers for it.
void Scanner::PrepareCurrentArrays() {
  if (resolution_ == 3) {
    for (int c = 0; c < 3; ++c) {
      currentRows_[c] = gainRows_[c].data() + x_;
      currentDark_[c] = dark_[c].data() + x_;
    }
    return;
  }
  for (int c = 0; c < 3; ++c) {
    ownRows_[c].resize(width_);
    ownDark_[c].resize(width_);
    for (int j = 0; j < width_; ++j) {
      int source;
      if (resolution_ == 2) {
        source = (3 * x_) / 2 + 3 * (j / 2) + (j % 2 ? 2 : 0);
      } else {
        source = std::max(0, 3 * (x_ + j) - 2);
      }
      source = std::min(source, kPixels - 1);
      ownRows_[c][j] = gainRows_[c][source];
      ownDark_[c][j] = dark_[c][source];
    }
    currentRows_[c] = ownRows_[c].data();
    currentDark_[c] = ownDark_[c].data();
  }
}

void Scanner::ReleaseCurrentArrays() {
  for (int c = 0; c < 3; ++c) {
    ownRows_[c] = {};
    ownDark_[c] = {};
    currentRows_[c] = nullptr;
    currentDark_[c] = nullptr;
  }
}

void Scanner::AdvancePosition() {
  if (resolution_ == 3) position_ += 1;
  else if (resolution_ == 1) position_ += 3;
  else {
    position_ += 1 + phase_;
    phase_ ^= 1;
  }
}

void Scanner::ColourLine(uint8_t* out) {
  try {
    uint8_t* red = redRing_.data() + size_t(redIndex_) * kPixels;
    CorrectLine(red, currentRows_[0], currentDark_[0], out, width_, 3);
    asic_.WRLine(red);
    redIndex_ = (redIndex_ + 1) % redLines_;
    asic_.WRLine(greenLine_.data());
    CorrectLine(greenLine_.data(), currentRows_[1], currentDark_[1], out + 1, width_, 3);
    uint8_t* blue = blueRing_.data() + size_t(blueIndex_) * kPixels;
    CorrectLine(blue, currentRows_[2], currentDark_[2], out + 2, width_, 3);
    asic_.WRLine(blue);
    blueIndex_ = (blueIndex_ + 1) % blueLines_;
  } catch (const XGA1015&) {
    throw XScanner("%s", routine_->lineText);
  }
  AdvancePosition();
}

void Scanner::GrayLine(uint8_t* out) {
  try {
    asic_.WRLine(greenLine_.data());
  } catch (const XGA1015&) {
    throw XScanner("%s", routine_->lineText);
  }
  CorrectLine(greenLine_.data(), currentRows_[1], currentDark_[1], out, width_, 1);
  AdvancePosition();
}

void Scanner::BilevelLine(uint8_t* out) {
  try {
    asic_.WRLine(greenLine_.data());
  } catch (const XGA1015&) {
    throw XScanner("%s", routine_->lineText);
  }
  std::memset(out, 0, bytesPerLine_);
  for (int p = 0; p < width_; ++p) {
    if (CorrectPixel(greenLine_[p], currentDark_[1][p], currentRows_[1][p]) > settings_.Threadhold) {
      out[p / 8] |= static_cast<uint8_t>(0x80 >> (p % 8));
    }
  }
  AdvancePosition();
}

}  // namespace usbminid
