// The nine line routines of the scan engine, one per image mode and resolution: how many lines
// the preparation reads ahead and the texts of their failures.
#pragma once

namespace usbminid {

struct ScannerRoutine {
  int mode;        // Scanner::Mode
  int resolution;  // 1 for 100 dpi, 2 for 200 dpi, 3 for 300 dpi
  int redLines;    // colour: triples the red output lags the green (the red ring's slots in use)
  int blueLines;   // colour: triples the blue output lags the green
  int leadLines;   // gray and bilevel: lines read and dropped before the first
  const char* prepareText;
  const char* lineText;
};

inline constexpr ScannerRoutine kScannerRoutines[9] = {
    {0, 3, 15, 8, 0, "Prepare300Color Fail", "Get300ColorLine Fail"},
    {0, 2, 10, 5, 0, "Prepare200Color Fail", "Get200ColorLine Fail"},
    {0, 1, 5, 3, 0, "Prepare100Color Fail", "Get100ColorLine Fail"},
    {1, 3, 0, 0, 16, "Prepare300Gray Fail", "Get300GrayLine Fail"},
    {1, 2, 0, 0, 10, "Prepare200Gray Fail", "Get200GrayLine Fail"},
    {1, 1, 0, 0, 5, "Prepare100Gray Fail", "Get100GrayLine Fail"},
    {2, 3, 0, 0, 16, "Prepare300Gray Fail", "Get300GrayLine Fail"},
    {2, 2, 0, 0, 10, "Prepare200Gray Fail", "Get300GrayLine Fail"},
    {2, 1, 0, 0, 5, "Prepare100Gray Fail", "Get300GrayLine Fail"},
};

}  // namespace usbminid
