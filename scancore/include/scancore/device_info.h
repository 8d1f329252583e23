// One scanner found by discovery, and the enumerations the scanner records use.
#pragma once

#include <cstdint>
#include <string>

enum SensorType : int32_t { kSensorStandard = 0, kSensorContact = 1 };
enum Option : int32_t { kOptionNone = 0, kOptionFirst = 1, kOptionSecond = 2 };

// How the library reaches a scanner.
enum BusKind : int32_t { kBusAspiScsi = 0, kBusEppParallel = 1, kBusStillImage = 2 };

struct DEVICEINFO {
  std::string ModelName;                  // display name from the model table
  ::SensorType SensorType = kSensorStandard;
  uint8_t AdapterID = 0;
  uint8_t TargetID = 0;
  int32_t BusType = kBusAspiScsi;         // a BusKind
};

// Discovery keeps at most this many scanners; later ones are left out.
inline constexpr uint8_t kMaxDeviceInfo = 5;
