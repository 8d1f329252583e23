// What Initialize found out about the chosen scanner.
#pragma once

#include <cstdint>
#include <string>

#include "scancore/device_info.h"

class CScanCore;

class CHWScannerInfo {
 public:
  CHWScannerInfo() = default;

  std::string GetModelName() const { return modelName_; }
  SensorType GetSensorType() const { return sensorType_; }
  uint16_t GetOpticalRes() const { return opticalRes_; }
  float GetPhysicalWidth() const { return physicalWidth_; }    // inches
  float GetPhysicalHeight() const { return physicalHeight_; }  // inches
  std::string GetFWVersion() const { return fwVersion_; }
  std::string GetFWDate() const { return fwDate_; }
  Option GetInstalledOption() const { return installedOption_; }
  uint8_t GetADBits() const { return adBits_; }
  std::string GetDeviceManager() const { return deviceManager_; }  // the ASPI manager's name
  std::string GetHostAdapter() const { return hostAdapter_; }      // the adapter's name
  std::string GetTargetID() const { return targetId_; }            // decimal
  std::string GetXferMode() const { return xferMode_; }
  std::string GetBaseAddress() const { return baseAddress_; }      // hex; EPP adapters only
  // From CheckHolderType: the film holder's type and details (inquiry bytes 118-121).
  uint8_t GetHolderType() const { return holderType_; }
  uint32_t GetHolderInfo() const { return holderInfo_; }
  // The maker as the scanner names itself (inquiry bytes 8-15, trailing blanks dropped).
  std::string GetVendor() const { return vendor_; }

  void SetFWVersion(std::string version) { fwVersion_ = std::move(version); }
  void SetFWDate(std::string date) { fwDate_ = std::move(date); }
  void SetXferMode(std::string mode) { xferMode_ = std::move(mode); }

 private:
  friend class CScanCore;

  std::string modelName_;
  SensorType sensorType_ = kSensorStandard;
  uint16_t opticalRes_ = 0;
  float physicalWidth_ = 0;
  float physicalHeight_ = 0;
  std::string fwVersion_;
  std::string fwDate_;
  Option installedOption_ = kOptionNone;
  uint8_t adBits_ = 0;
  std::string deviceManager_;
  std::string hostAdapter_;
  std::string targetId_;
  std::string xferMode_;
  std::string baseAddress_;
  uint8_t holderType_ = 0;
  uint32_t holderInfo_ = 0;
  std::string vendor_;
};
