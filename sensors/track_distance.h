// The distance driven in a recording or a trip, from the GPS fixes of the text stream. The
// fixes are read through a reader of their own that walks the chunk headers and reads only
// the text chunks, never the video or the sound. Qt-free; any thread (each call opens its own
// readers on the card).
#pragma once

#include <cstdint>
#include <vector>

#include "sensors/track.h"

class CCard;
struct Recording;

namespace roadkeep::tat {
struct Trip;
}

namespace roadkeep::sensors {

struct TrackFix {
  int64_t timeMs = 0;  // base given to ReadTrackFixes + the chunk's time in the recording
  double latitude = 0, longitude = 0;  // degrees
};

// The length in km of fixes in time order: the great-circle hops between consecutive fixes,
// leaving out those faster than kMaxTrackSpeedMs (a jump of the receiver, not driving).
double TrackLengthKm(const std::vector<TrackFix>& fixes);

// Appends the valid fixes (status 'A', a place on the globe) of the recording's text stream
// to *fixes, as the track keeps them (sensors/track.h), at baseMs + the chunk's time. False
// when the recording cannot be read: not on the card (any more), or a read error; the fixes
// read before the error are kept.
bool ReadTrackFixes(CCard& card, const Recording& recording, int64_t baseMs,
                    std::vector<TrackFix>* fixes);

// The recording's distance in km; -1 when it has no valid fix or cannot be read.
double RecordingDistanceKm(CCard& card, const Recording& recording);

// Sets each trip's distanceKm from the fixes of all its recordings, merged by time (a stretch
// that two overlapping recordings hold counts once; the hop across the pause between two
// recordings counts too). -1 for a trip without a valid fix or with a recording that cannot
// be read.
void FillTripDistances(CCard& card, std::vector<roadkeep::tat::Trip>* trips);

}  // namespace roadkeep::sensors
