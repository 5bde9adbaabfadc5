#include "sensors/track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "sensors/gps_data.h"
#include "sensors/gsensor_data.h"
#include "sensors/nmea_fields.h"

namespace roadkeep::sensors {
namespace {

constexpr double kEarthRadiusKm = 6371.0088;  // mean radius
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// 'G' + "$xxRMC,...": the text chunk of a GPS fix.
bool IsRmc(const char* text, int size) {
  return size >= 8 && text[0] == 'G' && text[1] == '$' && std::memcmp(text + 4, "RMC,", 4) == 0;
}

// UTC of the sentence's date and time of day; kNoTime unless both are real ones. The record
// keeps the hour plus 9; the sentence's own hour is UTC.
int64_t FixUtcMs(const CGPSData& fix) {
  const int hour = fix.hour - 9;
  if (fix.month < 1 || fix.month > 12 || fix.day < 1 || fix.day > 31 || hour < 0 || hour > 23 ||
      fix.minute > 59 || fix.second > 60) {
    return kNoTime;
  }
  std::tm tm{};
  tm.tm_year = (fix.year + 30) % 100 + 70;  // 00..69: 2000..2069, as the record reads it
  tm.tm_mon = fix.month - 1;
  tm.tm_mday = fix.day;
  tm.tm_hour = hour;
  tm.tm_min = fix.minute;
  tm.tm_sec = fix.second;
  const time_t seconds = timegm(&tm);
  // 31 February is no day: timegm would carry it into March.
  if (tm.tm_mday != fix.day) return kNoTime;
  return static_cast<int64_t>(seconds) * 1000;
}

// The field is a plain decimal number: digits with at most one '.', nothing else. The record's
// reader takes the leading number of "12x" or "1e300" and 0 for an empty field; a track takes
// neither as a position.
bool WholeDecimal(const char* field) {
  if (field == nullptr || *field == '\0') return false;
  int dots = 0, digits = 0;
  for (const char* c = field; *c != '\0'; ++c) {
    if (*c == '.') {
      ++dots;
    } else if (*c >= '0' && *c <= '9') {
      ++digits;
    } else {
      return false;
    }
  }
  return dots <= 1 && digits > 0;
}

// Which of the sentence's number fields are whole: latitude and longitude (both), speed,
// course.
struct WholeFields {
  bool place = false, speed = false, course = false;
};

WholeFields CheckFields(const char* sentence) {
  CNmeaFields fields(sentence);
  const char* f[9] = {};
  for (int i = 0; i < 9; ++i) f[i] = fields.Next();
  return {WholeDecimal(f[3]) && WholeDecimal(f[5]), WholeDecimal(f[7]), WholeDecimal(f[8])};
}

double Believable(double value, double low, double high) {
  return std::isfinite(value) && value >= low && value <= high ? value : -1;
}

// The hop from a to b is one the car can have driven.
bool Drivable(const GpsFix& a, const GpsFix& b) {
  const double metres = GreatCircleKm(a.latitude, a.longitude, b.latitude, b.longitude) * 1000.0;
  return metres <= kMaxTrackSpeedMs * static_cast<double>(b.ms - a.ms) / 1000.0;
}

// The last fix at or before ms; fixes.end() when none is.
std::vector<GpsFix>::const_iterator FixAtOrBefore(const std::vector<GpsFix>& fixes, int64_t ms) {
  auto after = std::upper_bound(fixes.begin(), fixes.end(), ms,
                                [](int64_t t, const GpsFix& f) { return t < f.ms; });
  return after == fixes.begin() ? fixes.end() : after - 1;
}

}  // namespace

double GreatCircleKm(double latitude1, double longitude1, double latitude2, double longitude2) {
  const double phi1 = latitude1 * kRadiansPerDegree, phi2 = latitude2 * kRadiansPerDegree;
  const double dPhi = phi2 - phi1;
  const double dLambda = (longitude2 - longitude1) * kRadiansPerDegree;
  const double h = std::sin(dPhi / 2) * std::sin(dPhi / 2) +
                   std::cos(phi1) * std::cos(phi2) * std::sin(dLambda / 2) * std::sin(dLambda / 2);
  return 2 * kEarthRadiusKm * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

int64_t RecordingTrack::StartUtcMs() const {
  for (const GpsFix& f : fixes) {
    if (f.utcMs != kNoTime) return f.utcMs - f.ms;
  }
  return kNoTime;
}

int64_t RecordingTrack::UtcAt(int64_t ms) const {
  const int64_t start = StartUtcMs();
  return start == kNoTime ? kNoTime : start + ms;
}

bool RecordingTrack::PlaceAt(int64_t ms, double* latitude, double* longitude) const {
  const auto at = FixAtOrBefore(fixes, ms);
  if (at == fixes.end()) return false;
  const auto next = at + 1;
  if (next == fixes.end() || next->startsRun) {
    if (ms - at->ms > kMaxFixGapMs) return false;
    *latitude = at->latitude;
    *longitude = at->longitude;
    return true;
  }
  const double t = static_cast<double>(ms - at->ms) / static_cast<double>(next->ms - at->ms);
  double dLongitude = next->longitude - at->longitude;
  // Across the date line the short way round.
  if (dLongitude > 180) dLongitude -= 360;
  if (dLongitude < -180) dLongitude += 360;
  *latitude = at->latitude + (next->latitude - at->latitude) * t;
  *longitude = at->longitude + dLongitude * t;
  if (*longitude > 180) *longitude -= 360;
  if (*longitude < -180) *longitude += 360;
  return true;
}

double RecordingTrack::SpeedAt(int64_t ms) const {
  const auto at = FixAtOrBefore(fixes, ms);
  if (at == fixes.end() || ms - at->ms > kMaxFixGapMs) return -1;
  return at->speedKmh;
}

void MarkRuns(std::vector<GpsFix>& fixes) {
  for (size_t i = 0; i < fixes.size(); ++i) {
    fixes[i].startsRun =
        i == 0 || fixes[i].ms - fixes[i - 1].ms > kMaxFixGapMs || !Drivable(fixes[i - 1], fixes[i]);
  }
}

void CTrackBuilder::Add(int64_t ms, const char* text, int size) {
  if (size >= 4 && text[0] == 'M') {
    const CGSensorData axes(text[1], text[2], text[3], 0);
    m_samples.push_back({ms, axes.x, axes.y, axes.z});
    return;
  }
  if (!IsRmc(text, size)) return;
  // The sentence ends at the first zero within the chunk, or at its end.
  m_sentence.assign(text, strnlen(text, static_cast<size_t>(size)));
  const CGPSData record(m_sentence.c_str(), 0);
  if (!record.IsValid()) return;
  const WholeFields whole = CheckFields(m_sentence.c_str());
  // 0 N 0 E is what receivers send for no place at all.
  if (!whole.place || (record.latitude == 0 && record.longitude == 0)) return;
  GpsFix fix;
  fix.ms = ms;
  fix.utcMs = FixUtcMs(record);
  fix.latitude = record.GetLatitude();
  fix.longitude = record.GetLongitude();
  fix.speedKmh = whole.speed ? Believable(record.GetSpeed(), 0, kMaxSpeedKmh) : -1;
  fix.courseDeg = whole.course ? Believable(record.course, 0, 360) : -1;
  m_fixes.push_back(fix);
}

RecordingTrack CTrackBuilder::Finish() {
  RecordingTrack track;
  const auto byTime = [](const auto& a, const auto& b) { return a.ms < b.ms; };
  std::stable_sort(m_fixes.begin(), m_fixes.end(), byTime);
  std::stable_sort(m_samples.begin(), m_samples.end(), byTime);
  for (const GpsFix& fix : m_fixes) {
    if (!track.fixes.empty()) {
      const GpsFix& last = track.fixes.back();
      if (fix.ms == last.ms) continue;  // a repeat
      if (fix.utcMs != kNoTime && last.utcMs != kNoTime && fix.utcMs <= last.utcMs) continue;
    }
    track.fixes.push_back(fix);
  }
  MarkRuns(track.fixes);
  track.samples = std::move(m_samples);
  m_fixes.clear();
  m_samples.clear();
  return track;
}

std::string IsoUtc(int64_t utcMs) {
  if (utcMs == kNoTime) return {};
  const int64_t seconds = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
  const int millis = static_cast<int>(utcMs - seconds * 1000);
  const time_t t = static_cast<time_t>(seconds);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return {};
  char text[48];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
  if (n == 0) return {};
  std::string out(text, n);
  if (millis != 0) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", millis);
    out += fraction;
  }
  return out + "Z";
}

}  // namespace roadkeep::sensors
