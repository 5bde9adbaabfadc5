// One GPS sample from the text stream: the fields of an NMEA RMC sentence as the recorder
// wrote them ("G$GPRMC,hhmmss,A,ddmm.mmmm,N,dddmm.mmmm,E,knots,course,ddmmyy,...").
#pragma once

#include <cstdint>

// Converts a raw NMEA value already scaled by 0.01 (37.339614 for 3733.9614) to degrees.
double NmeaToDegrees(double value);

class CGPSData {
 public:
  CGPSData() = default;
  // Sets tag, then parses text (zero-terminated; null parses nothing). Whether the parse
  // reached the end is not kept: callers decide by IsValid.
  CGPSData(const char* text, int32_t tag);

  // Fills the fields from an RMC sentence; fields the sentence does not reach stay zero.
  // True when all nine fields after the leading token were read, and then `time` is set.
  // Re-entrant: the splitting state is local to the call.
  bool ParseRmc(const char* text);
  // Seconds since 1970 of the stored date and time, read as the PC's local time (hours of
  // 24 and more carry into the next day); stored in `time` and returned.
  int64_t ComputeTimeStamp();

  double GetLatitude() const { return NmeaToDegrees(latitude * 0.01); }
  double GetLongitude() const { return NmeaToDegrees(longitude * 0.01); }
  double GetSpeed() const { return speed; }  // km/h
  // The status field said 'A' and the position lies on the globe (latitude -90..90,
  // longitude -180..180); a sentence with absurd numbers is not a position.
  bool IsValid() const;

  int32_t year = 0;    // two digits, 0..99
  int32_t month = 0;   // 1..12 as received
  int32_t day = 0;
  int32_t hour = 0;    // UTC hour + 9, not wrapped: 9..32
  int32_t minute = 0;
  int32_t second = 0;
  int32_t valid = 0;   // 1 when the status field began with 'A'
  double latitude = 0;   // raw ddmm.mmmm, negative south
  double longitude = 0;  // raw dddmm.mmmm, negative west
  double speed = 0;      // km/h, single-precision product of knots * 1.852
  double course = 0;     // degrees, single-precision value
  int64_t time = 0;      // from ComputeTimeStamp; 0 until computed
  int32_t tag = 0;
};
