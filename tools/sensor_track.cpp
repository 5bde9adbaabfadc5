#include "tools/sensor_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace roadkeep::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

// ddmm.mmmm from degrees.
double ToNmea(double degrees) {
  const double a = std::fabs(degrees);
  const double d = std::floor(a);
  return d * 100 + (a - d) * 60;
}

}  // namespace

std::string RmcSentence(std::time_t utc, bool valid, double latitude, double longitude,
                        double speedKmh, double course) {
  std::tm t{};
  gmtime_r(&utc, &t);
  char body[160];
  if (valid) {
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,A,%09.4f,%c,%010.4f,%c,%.2f,%.1f,%02d%02d%02d,,,A",
                  t.tm_hour, t.tm_min, t.tm_sec, ToNmea(latitude), latitude >= 0 ? 'N' : 'S',
                  ToNmea(longitude), longitude >= 0 ? 'E' : 'W', speedKmh / 1.852, course,
                  t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
  } else {
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,V,,,,,,,%02d%02d%02d,,,N", t.tm_hour,
                  t.tm_min, t.tm_sec, t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
  }
  uint8_t checksum = 0;
  for (const char* p = body; *p; ++p) checksum ^= static_cast<uint8_t>(*p);
  char sentence[200];
  std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, checksum);
  return sentence;
}

CGpsTrack::CGpsTrack(uint32_t seed) : m_rng(seed) {}

std::string CGpsTrack::NextFix(std::time_t utc) {
  const bool valid = m_fixes >= 3;  // the receiver needs a few seconds for its first fix
  // Speed cycles 0 -> 90 -> 0 km/h over two minutes.
  const double phase = (m_fixes % 120) / 120.0;
  const double speed = valid ? 90.0 * std::sin(phase * kPi) : 0.0;
  std::string payload = "G" + RmcSentence(utc, valid, m_latitude, m_longitude, speed, m_heading);
  if (valid) {
    const double metres = speed / 3.6;
    m_latitude += metres * std::cos(m_heading * kPi / 180) / 111320.0;
    m_longitude += metres * std::sin(m_heading * kPi / 180) / (111320.0 * std::cos(m_latitude * kPi / 180));
    m_heading = std::fmod(m_heading + std::uniform_real_distribution<double>(-4, 6)(m_rng) + 360, 360);
  }
  ++m_fixes;
  return payload;
}

std::vector<uint8_t> GSensorSample(uint32_t ms, const ImpactSpike& impact, std::mt19937* rng) {
  constexpr int kUnitsPerG = 64;
  std::uniform_int_distribution<int> noise(-3, 3);
  int x = noise(*rng), y = noise(*rng), z = kUnitsPerG + noise(*rng);
  const int distance = std::abs(static_cast<int>(ms) - impact.ms);
  if (impact.ms >= 0 && distance < 250) {
    // The blow pushes the car away from the side it came from.
    const double push = impact.g * kUnitsPerG * (1.0 - distance / 250.0);
    const int units = static_cast<int>(std::lround(push));
    switch (impact.side) {
      case 0: x -= units; break;
      case 1: x += units; break;
      case 2: y -= units; break;
      default: y += units; break;
    }
  }
  auto raw = [](int v) { return static_cast<uint8_t>(std::clamp(128 - v, 0, 255)); };
  return {'M', raw(x), raw(y), raw(z)};
}

}  // namespace roadkeep::tools
