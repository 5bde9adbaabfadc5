#include "sensors/track_distance.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sensors/gps_data.h"
#include "tat/card.h"
#include "tat/trips.h"

namespace roadkeep::sensors {
namespace {

constexpr double kEarthRadiusKm = 6371.0088;  // mean radius
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// 'G' + "$xxRMC,...": the text chunk of a GPS fix.
bool IsRmc(const char* text, int length) {
  return length >= 8 && text[0] == 'G' && text[1] == '$' && std::memcmp(text + 4, "RMC,", 4) == 0;
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

double TrackLengthKm(const std::vector<TrackFix>& fixes) {
  double km = 0;
  for (size_t i = 1; i < fixes.size(); ++i) {
    const TrackFix& a = fixes[i - 1];
    const TrackFix& b = fixes[i];
    const double hop = GreatCircleKm(a.latitude, a.longitude, b.latitude, b.longitude);
    const double seconds = static_cast<double>(b.timeMs - a.timeMs) / 1000.0;
    if (hop * 1000.0 <= kMaxTrackSpeedMs * seconds) km += hop;
  }
  return km;
}

bool ReadTrackFixes(CCard& card, const Recording& recording, int64_t baseMs,
                    std::vector<TrackFix>* fixes) {
  const std::unique_ptr<CRecordingReader> reader =
      card.OpenReader(recording.kindCode, recording.index);
  // The card may have been read again since the recording was listed.
  if (!reader || reader->Info().name != recording.name) return false;
  std::vector<char> text(256);
  for (;;) {
    uint32_t timeMs = 0;
    int size = 0;
    // One byte kept for the terminator the sentence parser needs.
    const int capacity = static_cast<int>(text.size()) - 1;
    const CRecordingReader::Result result = reader->ReadText(&timeMs, &size, text.data(), capacity);
    if (result == CRecordingReader::kEnd) return true;
    if (result == CRecordingReader::kTooSmall) {
      text.resize(static_cast<size_t>(size) + 1);
      continue;
    }
    if (result != CRecordingReader::kOk) return false;
    if (!IsRmc(text.data(), size)) continue;
    // The sentence ends at the first zero within the chunk, or at its end.
    text[static_cast<size_t>(size)] = '\0';
    const CGPSData fix(text.data(), 0);
    if (!fix.IsValid()) continue;
    fixes->push_back({baseMs + timeMs, fix.GetLatitude(), fix.GetLongitude()});
  }
}

double RecordingDistanceKm(CCard& card, const Recording& recording) {
  if (!recording.HasGps()) return -1;
  std::vector<TrackFix> fixes;
  if (!ReadTrackFixes(card, recording, 0, &fixes) || fixes.empty()) return -1;
  return TrackLengthKm(fixes);
}

void FillTripDistances(CCard& card, std::vector<roadkeep::tat::Trip>* trips) {
  for (roadkeep::tat::Trip& trip : *trips) {
    trip.distanceKm = -1;
    std::vector<TrackFix> fixes;
    bool readable = true;
    for (const Recording& r : trip.recordings) {
      if (!r.HasGps()) continue;
      const int64_t start = roadkeep::tat::RecordingStart(r);
      readable = ReadTrackFixes(card, r, start < 0 ? 0 : start * 1000, &fixes) && readable;
    }
    if (!readable || fixes.empty()) continue;
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const TrackFix& a, const TrackFix& b) { return a.timeMs < b.timeMs; });
    trip.distanceKm = TrackLengthKm(fixes);
  }
}

}  // namespace roadkeep::sensors
