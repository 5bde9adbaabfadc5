// Tracks as files others read: GPX 1.1 and CSV. Qt-free, pure: the texts are built whole and
// the caller saves them (platform/ini_profile.h SaveFileWhole: a failed write leaves nothing).
#pragma once

#include <span>
#include <string>

#include "sensors/track.h"

namespace roadkeep::sensors {

struct NamedTrack {
  std::string name;  // the recording's, as the card stores it
  RecordingTrack track;
};

// A GPX 1.1 document: one trk per recording with a fix, one trkseg per run of fixes, each
// trkpt with lat, lon, its UTC time (a fix without one: the recording's start plus its time;
// left out where neither is known) and, in Garmin's
// TrackPointExtension v2, speed (m/s) and course (degrees) where known. creator: the
// program's name and version.
std::string GpxText(std::span<const NamedTrack> tracks, const std::string& creator);

// CSV with the header "time_utc,recording_ms,lat,lon,speed_kmh,course_deg,gx,gy,gz": one row
// per fix and one per G-sensor sample, by time within each recording, recordings in the
// order given. A cell a sample has no value for is empty; G values are in g (gravity
// included), empty without a calibration.
std::string CsvText(std::span<const NamedTrack> tracks);

}  // namespace roadkeep::sensors
