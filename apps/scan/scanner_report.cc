#include "scanner_report.h"

const char* BusName(int busType) {
  switch (busType) {
    case kBusEppParallel: return "EPP parallel";
    case kBusStillImage: return "still-image";
    default: return "SCSI";
  }
}

const char* OptionName(Option option) {
  switch (option) {
    case kOptionFirst: return "option 1";
    case kOptionSecond: return "option 2";
    default: return "none";
  }
}

void PrintListLine(std::ostream& out, int index, const DEVICEINFO& device,
                   const CHWScannerInfo& info) {
  out << "device " << index << ": adapter " << int(device.AdapterID) << " ("
      << info.GetHostAdapter() << "), target " << int(device.TargetID) << ", "
      << BusName(device.BusType) << " bus: " << info.GetModelName() << ", firmware "
      << info.GetFWVersion() << " of " << info.GetFWDate() << ", " << info.GetOpticalRes()
      << " dpi, " << int(info.GetADBits()) << "-bit A/D, installed option: "
      << OptionName(info.GetInstalledOption()) << "\n";
}

void PrintDetails(std::ostream& out, int index, const DEVICEINFO& device,
                  const CHWScannerInfo& info) {
  out << "device:             " << index << "\n"
      << "model:              " << info.GetModelName() << "\n"
      << "sensor type:        " << int(info.GetSensorType()) << "\n"
      << "bus:                " << BusName(device.BusType) << "\n"
      << "ASPI manager:       " << info.GetDeviceManager() << "\n"
      << "host adapter:       " << int(device.AdapterID) << " (" << info.GetHostAdapter() << ")\n"
      << "target:             " << info.GetTargetID() << "\n";
  if (device.BusType == kBusEppParallel) {
    out << "port base address:  0x" << info.GetBaseAddress() << "\n";
  }
  out << "firmware version:   " << info.GetFWVersion() << "\n"
      << "firmware date:      " << info.GetFWDate() << "\n"
      << "optical resolution: " << info.GetOpticalRes() << " dpi\n"
      << "A/D converter:      " << int(info.GetADBits()) << " bits\n"
      << "installed option:   " << OptionName(info.GetInstalledOption()) << "\n"
      << "glass:              " << info.GetPhysicalWidth() << " x " << info.GetPhysicalHeight()
      << " inches\n";
}
