#include "scan_job.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "scancore/error_codes.h"
#include "scancore/message_file.h"
#include "scanrequest/band_reader.h"
#include "scanrequest/scan_request.h"

namespace {

using scanrequest::kGlassHeightInches;
using scanrequest::kGlassWidthInches;
using scanrequest::kMinResolution;
using scanrequest::kMmPerInch;

FileFormat FormatFor(const ScanOptions& o, const std::string& name) {
  if (o.format) return *o.format;
  auto endsWith = [&](const char* tail) {
    const size_t n = std::strlen(tail);
    return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, tail) == 0;
  };
  if (endsWith(".png")) return FileFormat::kPng;
  if (endsWith(".tif") || endsWith(".tiff")) return FileFormat::kTiff;
  return FileFormat::kPnm;
}

int gLastPercent = -1;
int PrintProgress(unsigned short kind, unsigned short value) {
  if (kind == kProgressWarmUp) {
    std::fprintf(stderr, "Warming up: %u s\n", value);
  } else if (value != gLastPercent) {
    gLastPercent = value;
    std::fprintf(stderr, "Progress: %u%%\n", value);
  }
  return 1;
}

int FailureStatus(uint32_t code) {
  return code == scancore::kErrUserCancelled ? kExitCancelled : kExitScanFailed;
}

// Reads the scan set up in `core` into `writer`, band by band.
int ReadInto(CScanCore& core, const myIMAGEINFO& image, ImageWriter& writer, uint32_t lineBytes,
             platform::Host& host, std::ostream& err) {
  scanrequest::BandReader reader(core, image, lineBytes);
  const uint8_t* lines = nullptr;
  uint32_t count = 0;
  for (;;) {
    switch (reader.Next(&lines, &count)) {
      case scanrequest::BandReader::Result::kEnd:
        return kExitOk;
      case scanrequest::BandReader::Result::kFailed:
        err << "scan: " << ErrorText(host, reader.errorCode()) << "\n";
        return FailureStatus(reader.errorCode());
      case scanrequest::BandReader::Result::kStalled:
        err << "scan: the scanner stopped delivering lines\n";
        return kExitScanFailed;
      case scanrequest::BandReader::Result::kLines:
        if (!writer.WriteLines(lines, count)) {
          err << "scan: the image could not be written: " << std::strerror(errno) << "\n";
          return kExitOutput;
        }
        break;
    }
  }
}

// One image into `name` ("" for standard output), under a temporary name until complete.
int ScanOne(const ScanOptions& o, CScanCore& core, const SCANPARAM& request, const std::string& name,
            platform::Host& host, std::ostream& err) {
  const FileFormat format = FormatFor(o, name);
  if (name.empty() && format == FileFormat::kTiff) {
    err << "scan: TIFF needs a file (-o)\n";
    return kExitUsage;
  }
  gLastPercent = -1;
  if (o.progress) core.SetProgressCallBack(&PrintProgress);
  myIMAGEINFO image;
  if (!core.SetScanParam(request, image, 0)) {
    const uint32_t code = core.GetErrorCode();
    err << "scan: " << ErrorText(host, code) << "\n";
    core.AbortScan();
    return FailureStatus(code);
  }
  const std::string temporary = name.empty() ? "" : name + ".part";
  FILE* file = name.empty() ? stdout : std::fopen(temporary.c_str(), "wb");
  if (!file) {
    err << "scan: cannot write " << temporary << ": " << std::strerror(errno) << "\n";
    core.AbortScan();
    return kExitOutput;
  }
  ImageShape shape;
  shape.kind = request.Mode == kModeLineArt ? ImageKind::kLineArt
               : request.Mode == kModeGray  ? ImageKind::kGray
                                            : ImageKind::kColor;
  shape.width = image.PixelsPerLine;
  shape.height = image.Lines;
  shape.resolution = request.XResolution;
  int status = kExitOutput;
  if (auto writer = MakeWriter(format, shape, file)) {
    status = ReadInto(core, image, *writer, LineBytes(shape), host, err);
    if (status == kExitOk && !writer->Finish()) {
      err << "scan: the image could not be completed\n";
      status = kExitOutput;
    }
  } else {
    err << "scan: the " << Extension(format) << " encoder did not start\n";
  }
  core.AbortScan();
  if (name.empty()) return status;
  if (std::fclose(file) != 0 && status == kExitOk) status = kExitOutput;
  if (status == kExitOk && std::rename(temporary.c_str(), name.c_str()) != 0) {
    err << "scan: cannot rename to " << name << ": " << std::strerror(errno) << "\n";
    status = kExitOutput;
  }
  if (status != kExitOk) std::remove(temporary.c_str());
  return status;
}

std::string FrameName(const std::string& pattern, int number) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
      out += std::to_string(number);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace

std::string ErrorText(platform::Host& host, uint32_t code) {
  using namespace scancore;
  char text[160];
  if ((code & 0xFFFF00FFu) == kErrWarmingUp) {
    std::snprintf(text, sizeof text, "Scanner is warming up...%u sec", (code >> 8) & 0xFF);
  } else if (code >= kErrHardware && code < kErrHardware + 16) {
    std::snprintf(text, sizeof text, "Scanner hardware error %u", code - kErrHardware);
  } else {
    const char* fixed = nullptr;
    switch (code) {
      case kErrLunNotSupported: fixed = "Logical unit not supported"; break;
      case kErrAbortedCommand: fixed = "Command aborted by the scanner"; break;
      case kErrFirmware: fixed = "Scanner firmware could not be loaded"; break;
      case kErrNotFoundCancelled: fixed = "Scanner is not found!"; break;
      case kErrNoMemory: fixed = "Not enough memory"; break;
      case kErrBufferTooSmall: fixed = "The scan does not fit the buffer"; break;
      case kErrDeviceTimeout: fixed = "Scanner is not ready"; break;
      case kErrUserCancelled: fixed = "Scan cancelled"; break;
      case kErrNoLinesLeft: fixed = "No more lines to read"; break;
      case kErrNoWinAspi: fixed = "WNASPI32.DLL is not installed"; break;
      case kErrNoStiAspi: fixed = "The still-image ASPI layer is not installed"; break;
      case kErrRequestTimeout: fixed = "Scanner does not answer"; break;
      default: break;
    }
    if (fixed) {
      std::snprintf(text, sizeof text, "%s", fixed);
    } else if ((code >> 16) == 0xFFFF) {
      std::snprintf(text, sizeof text, "Scanner error %04X", code & 0xFFFF);
    } else {
      std::snprintf(text, sizeof text, "SCSI command %02Xh failed (ASPI %02Xh, adapter %02Xh, target %02Xh)",
                    code >> 24, (code >> 16) & 0xFF, (code >> 8) & 0xFF, code & 0xFF);
    }
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", code);
  return CMessageFile::ForProcess().Translate(text) + " (error " + hex + ")";
}

void PrintScannerOptions(std::ostream& out, int index, const CHWScannerInfo& info) {
  const uint16_t optical = info.GetOpticalRes();
  char line[200];
  out << "Options of device " << index << " (" << info.GetModelName() << "), [default]:\n";
  out << "  --mode Lineart|Gray|Color [Color]\n";
  std::snprintf(line, sizeof line, "  --resolution %d..%ddpi [150]\n", kMinResolution, 2 * optical);
  out << line;
  const double w = kGlassWidthInches * kMmPerInch, h = kGlassHeightInches * kMmPerInch;
  std::snprintf(line, sizeof line, "  -l 0..%.1fmm [0]  -t 0..%.1fmm [0]\n  -x 0..%.1fmm [%.1f]  -y 0..%.1fmm [%.1f]\n",
                w, h, w, w, h, h);
  out << line;
  out << "  --source Flatbed" << (info.GetHolderType() != 0 ? "|Positive|Negative" : "")
      << " [Flatbed]\n";
}

int RunScanJob(const ScanOptions& o, CScanCore& core, CHWScannerInfo& info, platform::Host& host,
               std::ostream& err) {
  const uint16_t optical = info.GetOpticalRes();
  if (o.resolution < kMinResolution || o.resolution > 2 * optical) {
    err << "scan: --resolution is " << kMinResolution << " to " << 2 * optical << " dpi here\n";
    return kExitUsage;
  }
  SCANPARAM request;
  scanrequest::Area area;
  area.left = o.left;
  area.top = o.top;
  area.width = o.width;
  area.height = o.height;
  switch (scanrequest::BuildRequest(o.mode, o.resolution, area, o.source, optical, &request)) {
    case scanrequest::RequestError::kCornerOutside:
      err << "scan: the corner -l/-t lies outside the glass\n";
      return kExitUsage;
    case scanrequest::RequestError::kEmptyArea:
      err << "scan: the area -x/-y is empty\n";
      return kExitUsage;
    default:
      break;
  }
  core.CheckHolderType(info);
  if (o.source != kSourceReflective && info.GetHolderType() == 0) {
    err << "scan: --source " << SourceName(o.source) << " needs a film unit, which "
        << info.GetModelName() << " does not have\n";
    return kExitScanFailed;
  }
  if (!o.batch) return ScanOne(o, core, request, o.output, host, err);

  // Film frames: the holder is loaded, and each frame brought under the lens in turn.
  // The format follows --format, else the pattern's name.
  const FileFormat format = FormatFor(o, o.batch->empty() ? std::string() : *o.batch);
  const std::string pattern = o.batch->empty() ? std::string("out%d.") + Extension(format) : *o.batch;
  const int count = o.batchCount > 0 ? o.batchCount : 1;
  if (info.GetHolderType() != 0 && !core.LoadObject()) {
    err << "scan: " << ErrorText(host, core.GetErrorCode()) << "\n";
    return kExitScanFailed;
  }
  for (int frame = 0; frame < count; ++frame) {
    if (info.GetHolderType() != 0 && !core.AbsoultePosition(static_cast<unsigned long>(frame))) {
      err << "scan: " << ErrorText(host, core.GetErrorCode()) << "\n";
      return kExitScanFailed;
    }
    ScanOptions one = o;
    one.format = format;
    const std::string name = FrameName(pattern, o.batchStart + frame);
    if (int status = ScanOne(one, core, request, name, host, err)) return status;
    err << "scan: frame " << o.batchStart + frame << " written to " << name << "\n";
  }
  if (info.GetHolderType() != 0) core.Eject();
  return kExitOk;
}
