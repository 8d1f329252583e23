// The shared library exports exactly the implemented functions, with C prototypes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

extern "C" int imgfiltCNullSourceAnswers(void);

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only '" + library + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::set<std::string> names;
  if (!pipe) return names;
  char line[512];
  while (fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names.insert(name);
  }
  return names;
}

TEST(Exports, LibraryExportsExactlyTheImplementedNames) {
  std::set<std::string> names = DefinedDynamicSymbols(IMGFILT_LIBRARY_FILE);
  // Markers every shared object carries.
  for (const char* marker : {"_init", "_fini", "_edata", "_end", "__bss_start"}) names.erase(marker);
  // The standard library's own inline variables (a debug build keeps one of its comparison
  // helpers) are exported by its headers, not by the library.
  std::erase_if(names, [](const std::string& n) { return n.rfind("_ZNSt", 0) == 0 || n.rfind("_ZSt", 0) == 0; });
  std::set<std::string> implemented = {
      "BlurGray",        "BlurColor",        "SharpenGray", "SharpenColor", "UnsharpmaskGray",
      "UnsharpmaskColor", "MedianGray",      "MedianColor", "ScalingGray",  "ScalingColor",
      "GrayToBW",        "GrayToHalftone",   "MirrorBW",    "MirrorGray",   "MirrorColor",
      "InvertImg",       "HueSaturation",    "DescreenGray", "DescreenColor", "MakeClearGray",
      "MakeClearColor",  "DetectLpiColor",   "AutoDescreenColor", "GetExtraLineNum", "DoImgfiltess"};

  const std::set<std::string> rotationAndAnalyses = {
      "GetRotateSize",     "GetRotateSmallSize", "Rotation90Gray",       "Rotation90Color",
      "RotationGray",      "RotationColor",      "RotationSmallGray",    "RotationSmallColor",
      "RotateGrayBandImg", "RotateGrayDIBBandImg", "RotateBandImg",      "RotateDIBBandImg",
      "RotateAngleGray",   "RotateAngleColor",   "AutoCropColor",        "AutoTypeColor",
      "TPOPositiveAutoRegion", "TPONegativeAutoRegion", "EraseImageShiftGray",
      "EraseImageShiftColor"};
  implemented.insert(rotationAndAnalyses.begin(), rotationAndAnalyses.end());
  EXPECT_EQ(names, implemented);
}

TEST(Exports, CallersInCReachEveryExport) { EXPECT_EQ(imgfiltCNullSourceAnswers(), 23); }

}  // namespace
