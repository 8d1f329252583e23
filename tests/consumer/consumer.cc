// Scans a small gray square through the installed scanner control library and inverts it with
// the installed image library; prints what it did. Exit status 0 when both worked.
#include <cstdio>
#include <vector>

#include "imgfilt.h"
#include "platform/host/host.h"
#include "scancore/scan_core.h"

int main() {
  platform::Host::Current();  // the host of $SCANSUITE_ROOT
  CScanCore core("C:\\TOVELINK");
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found) || found.empty()) {
    std::fprintf(stderr, "consumer: no scanner\n");
    return 1;
  }
  CHWScannerInfo info;
  if (!core.InitializeScanner(found.front(), info)) return 2;
  SCANPARAM request;
  request.XResolution = request.YResolution = 50;
  request.Width = request.Length = info.GetOpticalRes() / 2;  // half an inch
  request.Mode = kModeGray;
  myIMAGEINFO image;
  if (!core.SetScanParam(request, image, 0)) return 3;
  std::vector<uint8_t> page(size_t{image.BytesPerLine} * (image.Lines + 8));
  unsigned long done = 0;
  for (int block = 0; done < size_t{image.BytesPerLine} * image.Lines && block < 100; ++block) {
    unsigned long got = 0;
    if (!core.ReadBlockData(page.data() + done, page.size() - done, page.size() - done, got)) return 4;
    done += got;
  }
  core.AbortScan();
  const uint32_t lines = image.Lines;
  std::vector<uint8_t> inverted(page.size());
  if (InvertImg(page.data(), inverted.data(), image.BytesPerLine, lines, 0) != 0) return 5;
  for (size_t i = 0; i < size_t{image.BytesPerLine} * lines; ++i) {
    if (inverted[i] != 255 - page[i]) return 6;
  }
  std::printf("scanned %u x %u gray on %s, inverted\n", image.PixelsPerLine, lines,
              info.GetModelName().c_str());
  return 0;
}
