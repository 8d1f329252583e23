// Model names and the reading of inquiry data, pinned down without a machine.
#include <gtest/gtest.h>

#include <cstring>

#include "identity.h"
#include "model_table.h"
#include "platform/system/system.h"
#include "rescan_buses.h"
#include "windows_version.h"

namespace scancore {
namespace {

TEST(ModelTableTest, NamesFollowTheResolution) {
  struct Case {
    const char* model;
    uint16_t resolution;
    const char* name;
    int32_t bus;
    SensorType sensor;
  } cases[] = {
      {"Color   FlatbedScanner_1", 600, "300F", kBusAspiScsi, kSensorStandard},
      {"Color   FlatbedScanner_3", 599, "609P", kBusEppParallel, kSensorStandard},
      {"Color   FlatbedScanner_3", 600, "610P/610PT", kBusEppParallel, kSensorStandard},
      {"Color   FlatbedScanner_4", 600, "610S/610ST", kBusAspiScsi, kSensorStandard},
      {"Color   FlatbedScanner_5", 300, "310U", kBusStillImage, kSensorStandard},
      {"Color   FlatbedScanner_5", 600, "620U/620UT", kBusStillImage, kSensorStandard},
      {"Color   FlatbedScanner_6", 600, "C610P", kBusEppParallel, kSensorContact},
      {"Color   FlatbedScanner_8", 300, "320P", kBusEppParallel, kSensorStandard},
      {"Color   FlatbedScanner_9", 1200, "1220S/1220ST", kBusAspiScsi, kSensorStandard},
      {"Color   FlatbedScanner10", 600, "620S", kBusAspiScsi, kSensorStandard},
      {"Color   FlatbedScanner11", 600, "620P", kBusEppParallel, kSensorStandard},
      {"Color   FlatbedScanner12", 300, "C320P", kBusEppParallel, kSensorContact},
      {"Color   FlatbedScanner13", 600, "620U", kBusStillImage, kSensorStandard},
      {"Color   FlatbedScanner_7", 600, "Color   FlatbedScanner_7", kBusAspiScsi, kSensorStandard},
      {"ZIRK    PELIXORA 1236  x", 600, "ZIRK    PELIXORA 1236  x", kBusAspiScsi, kSensorStandard},
      {"ZIRK    PELIXORA 1212U ", 600, "ZIRK    PELIXORA 1212U ", kBusStillImage, kSensorStandard},
      {"ZIRK    PELIXORA EZ 300", 300, "ZIRK    PELIXORA EZ 300", kBusEppParallel, kSensorStandard},
  };
  for (const Case& c : cases) {
    DEVICEINFO d = NameModel(c.model, c.resolution, false);
    EXPECT_EQ(d.ModelName, c.name) << c.model;
    EXPECT_EQ(d.BusType, c.bus) << c.model;
    EXPECT_EQ(d.SensorType, c.sensor) << c.model;
  }
  // "Support.sti" moves the SCSI models, and only them, to the still-image layer.
  EXPECT_EQ(NameModel("Color   FlatbedScanner_4", 600, true).BusType, kBusStillImage);
  EXPECT_EQ(NameModel("Color   FlatbedScanner_3", 600, true).BusType, kBusEppParallel);
  EXPECT_EQ(NameModel("ZIRK    PELIXORA 1236  x", 600, true).BusType, kBusAspiScsi);
}

TEST(ModelTableTest, AdmissionComparesWholeTextsAndOemPrefixes) {
  EXPECT_TRUE(IsAdmitted("Color   FlatbedScanner_4", false));
  EXPECT_FALSE(IsAdmitted("Color   FlatbedScanner_2", false));
  EXPECT_FALSE(IsAdmitted("color   FlatbedScanner_4", false));
  EXPECT_FALSE(IsAdmitted("Color   FlatbedScanner_", false));
  EXPECT_FALSE(IsAdmitted("ZIRK    PELIXORA 310 abc", false));
  EXPECT_TRUE(IsAdmitted("ZIRK    PELIXORA 310 abc", true));
  EXPECT_TRUE(IsAdmitted("ZIRK    PelixoraAnything", true));
  EXPECT_FALSE(IsAdmitted("ZIRK    PELIXORa 310 abc", true));
  EXPECT_FALSE(IsAdmitted("ZIRK    pelixora 310 abc", true));
}

TEST(ModelTableTest, FirmwareSectionByModel) {
  EXPECT_EQ(FirmwareSection("Color   FlatbedScanner10"), "SCSI");
  EXPECT_EQ(FirmwareSection("Color   FlatbedScanner13"), "USB");
  EXPECT_EQ(FirmwareSection("Color   FlatbedScanner11"), "EPP");
  EXPECT_EQ(FirmwareSection("Color   FlatbedScanner12"), "EPP");
  EXPECT_EQ(FirmwareSection("Color   FlatbedScanner_4"), "EPP");
}

struct Inquiry {
  uint8_t bytes[122] = {};
  Inquiry& Text(size_t at, const char* text) {
    std::memcpy(bytes + at, text, std::strlen(text));
    return *this;
  }
};

TEST(IdentityTest, FirmwareVersionAndDate) {
  EXPECT_EQ(FirmwareVersion(Inquiry().Text(32, "0105").bytes), "1.05");
  EXPECT_EQ(FirmwareVersion(Inquiry().Text(32, "1.05").bytes), "1.05");
  EXPECT_EQ(FirmwareVersion(Inquiry().Text(32, "1205").bytes), "12.05");
  EXPECT_EQ(FirmwareDate(Inquiry().Text(100, "Jan 15 1999").bytes), "Jan. 15, 1999");
  // NUL bytes end a field early; the result stays defined.
  EXPECT_EQ(FirmwareVersion(Inquiry().bytes), ".");
  EXPECT_EQ(FirmwareVersion(Inquiry().Text(32, "0").bytes), ".");
  EXPECT_EQ(FirmwareDate(Inquiry().Text(100, "Ja").bytes), "Ja. , ");
}

TEST(IdentityTest, BitsOptionsAndResolution) {
  Inquiry q;
  EXPECT_EQ(AdBits(q.bytes), 8);
  q.bytes[37] = 0x80;
  EXPECT_EQ(AdBits(q.bytes), 10);
  q.bytes[39] = 0x20;
  EXPECT_EQ(AdBits(q.bytes), 12);  // both set: 12
  q.bytes[37] = 0x60;
  EXPECT_EQ(InstalledOption(q.bytes), kOptionSecond);
  q.bytes[37] = 0x40;
  EXPECT_EQ(InstalledOption(q.bytes), kOptionFirst);
  q.bytes[48] = 0x04, q.bytes[49] = 0xB0;
  EXPECT_EQ(OpticalResolution(q.bytes), 1200);
  q.bytes[40] = 0x02, q.bytes[41] = 7;
  EXPECT_TRUE(WaitsForFirmware(q.bytes));
  EXPECT_EQ(FirmwareId(q.bytes), 7);
}

TEST(IdentityTest, OnlyBit1OfByte40AsksForFirmware) {
  Inquiry q;
  for (uint8_t byte40 : {0x02, 0x03, 0x06, 0xFF}) {
    q.bytes[40] = byte40;
    EXPECT_TRUE(WaitsForFirmware(q.bytes)) << int{byte40};
  }
  for (uint8_t byte40 : {0x00, 0x01, 0x04, 0xFD}) {
    q.bytes[40] = byte40;
    EXPECT_FALSE(WaitsForFirmware(q.bytes)) << int{byte40};
  }
}

TEST(WindowsVersionTest, StillImageLayerAndRescanCodes) {
  platform::VersionRecord osr2c{platform::kPlatformWin32Windows, 4, 0, 0, " c"};
  EXPECT_TRUE(IsWin95Osr2(osr2c));
  EXPECT_TRUE(HasStillImageLayer(osr2c));
  platform::VersionRecord retail{platform::kPlatformWin32Windows, 4, 0, 0, ""};
  EXPECT_FALSE(HasStillImageLayer(retail));
  EXPECT_FALSE(HasStillImageLayer(platform::VersionRecordFor(platform::WindowsVersion::kNt4)));
  EXPECT_TRUE(HasStillImageLayer(platform::VersionRecordFor(platform::WindowsVersion::kWin2000)));
  EXPECT_EQ(OsCodeFor(retail), 0x95);
  EXPECT_EQ(OsCodeFor(osr2c), 0x95);
  EXPECT_EQ(OsCodeFor(platform::VersionRecordFor(platform::WindowsVersion::kWin98)), 0x98);
  EXPECT_EQ(OsCodeFor(platform::VersionRecordFor(platform::WindowsVersion::kNt4)), 0x40);
  EXPECT_EQ(OsCodeFor(platform::VersionRecordFor(platform::WindowsVersion::kWin2000)), 0x50);
  EXPECT_EQ(OsCodeFor({platform::kPlatformWin32Nt, 3, 51, 0, ""}), 0x35);
  EXPECT_EQ(OsCodeFor({platform::kPlatformWin32Windows, 4, 90, 0, ""}), 0xFF);
}

}  // namespace
}  // namespace scancore
