#include <ctime>

#include "platform/files/files.h"

namespace platform {

namespace {
constexpr uint64_t kEpochDifference = 11644473600ULL;  // seconds from 1601 to 1970
constexpr uint64_t kTicksPerSecond = 10000000ULL;

int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
}  // namespace

FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  int64_t since1601 = seconds + static_cast<int64_t>(kEpochDifference);
  if (since1601 < 0) return 0;
  return static_cast<uint64_t>(since1601) * kTicksPerSecond + nanoseconds / 100;
}

int64_t UnixFromFileTime(FileTime t) {
  return static_cast<int64_t>(t / kTicksPerSecond) - static_cast<int64_t>(kEpochDifference);
}

FileTime FileTimeFromDos(uint16_t date, uint16_t time) {
  int year = 1980 + (date >> 9);
  unsigned month = (date >> 5) & 0x0F;
  unsigned day = date & 0x1F;
  // Out-of-range fields (a damaged header) are clamped rather than wrapped into another date.
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  if (day < 1) day = 1;
  int64_t seconds = DaysFromCivil(year, month, day) * 86400 + ((time >> 11) & 0x1F) * 3600 +
                    ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
  return FileTimeFromUnix(seconds);
}

void DosFromFileTime(FileTime t, uint16_t* date, uint16_t* time) {
  time_t seconds = static_cast<time_t>(UnixFromFileTime(t));
  struct tm tm {};
  gmtime_r(&seconds, &tm);
  int year = tm.tm_year + 1900;
  if (year < 1980) {  // DOS dates start in 1980
    *date = (1 << 5) | 1;
    *time = 0;
    return;
  }
  if (year > 2107) year = 2107;
  *date = static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  *time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

}  // namespace platform
