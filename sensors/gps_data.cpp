#include "sensors/gps_data.h"

#include <cmath>
#include <ctime>

#include "sensors/nmea_fields.h"

using roadkeep::sensors::CNmeaFields;
using roadkeep::sensors::DecimalField;
using roadkeep::sensors::TwoDigitGroup;

double NmeaToDegrees(double value) {
  // trunc, not a cast to an integer: a field of hundreds of digits is a finite double far
  // beyond any integer type.
  const double degrees = std::trunc(value);
  return degrees + (value - degrees) * 100.0 / 60.0;
}

bool CGPSData::IsValid() const {
  return valid != 0 && std::fabs(GetLatitude()) <= 90.0 && std::fabs(GetLongitude()) <= 180.0;
}

CGPSData::CGPSData(const char* text, int32_t tag_) : tag(tag_) { ParseRmc(text); }

bool CGPSData::ParseRmc(const char* text) {
  const int32_t keepTag = tag;
  *this = CGPSData();
  tag = keepTag;
  CNmeaFields fields(text);
  fields.Next();  // the leading token, e.g. "G$GPRMC"
  for (int index = 1; index <= 9; ++index) {
    const char* f = fields.Next();
    if (f == nullptr) return false;
    switch (index) {
      case 1:
        hour = TwoDigitGroup(f, 0) + 9;
        minute = TwoDigitGroup(f, 2);
        second = TwoDigitGroup(f, 4);
        break;
      case 2: valid = f[0] == 'A' ? 1 : 0; break;
      case 3: latitude = DecimalField(f); break;
      case 4: if (f[0] != 'N') latitude = -latitude; break;
      case 5: longitude = DecimalField(f); break;
      case 6: if (f[0] != 'E') longitude = -longitude; break;
      case 7: speed = static_cast<float>(DecimalField(f) * 1.852); break;
      case 8: course = static_cast<float>(DecimalField(f)); break;
      case 9:
        day = TwoDigitGroup(f, 0);
        month = TwoDigitGroup(f, 2);
        year = TwoDigitGroup(f, 4);
        break;
    }
  }
  ComputeTimeStamp();
  return true;
}

int64_t CGPSData::ComputeTimeStamp() {
  std::tm tm{};
  tm.tm_sec = second;
  tm.tm_min = minute;
  tm.tm_hour = hour;
  tm.tm_mday = day;
  tm.tm_mon = month - 1;
  tm.tm_year = (year + 30) % 100 + 70;  // 00..69: 2000..2069, 70..99: 1970..1999
  tm.tm_isdst = -1;                     // the C library decides, as for any local time
  time = static_cast<int64_t>(std::mktime(&tm));
  return time;
}
