// The GPS and G-sensor samples of a demo recording, as text-stream payloads:
// 'G' + an NMEA RMC sentence once a second, 'M' + three axis bytes at 10 Hz.
#pragma once

#include <cstdint>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace roadkeep::tools {

// Follows a route around 37.566 N, 126.978 E across recordings: the first few fixes are
// invalid, then the speed ramps between 0 and 90 km/h.
class CGpsTrack {
 public:
  explicit CGpsTrack(uint32_t seed);
  // The payload for the fix at UTC time `utc`; advances the route by one second.
  std::string NextFix(std::time_t utc);

 private:
  int m_fixes = 0;
  double m_latitude = 37.566;    // degrees
  double m_longitude = 126.978;  // degrees
  double m_heading = 60.0;       // degrees
  std::mt19937 m_rng;
};

// "$GPRMC,...*hh" for the given values (latitude / longitude in degrees).
std::string RmcSentence(std::time_t utc, bool valid, double latitude, double longitude,
                        double speedKmh, double course);

// A blow at ms of g (the resting reading, 64 units, is 1 g) from a side: 0 front, 1 rear,
// 2 left, 3 right. Axes: x along the car (forward positive), y across (left positive), z up.
struct ImpactSpike {
  int ms = -1;  // negative: none
  double g = 0;
  int side = 0;
};

// 'M' and the three axis bytes of a G-sensor sample at `ms` into a recording: gravity on z,
// a little noise, and the spike's triangle of 500 ms around its time.
std::vector<uint8_t> GSensorSample(uint32_t ms, const ImpactSpike& impact, std::mt19937* rng);

}  // namespace roadkeep::tools
