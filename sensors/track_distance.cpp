#include "sensors/track_distance.h"

#include <algorithm>
#include <cmath>

#include "sensors/recording_track.h"
#include "tat/card.h"
#include "tat/trips.h"

namespace roadkeep::sensors {

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
  RecordingTrack track;
  const bool read = ReadRecordingTrack(card, recording, &track);
  for (const GpsFix& f : track.fixes) fixes->push_back({baseMs + f.ms, f.latitude, f.longitude});
  return read;
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
