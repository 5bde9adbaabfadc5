// Trips: a card's recordings grouped into journeys. Recordings that follow each other within a
// gap (the end of one to the start of the next) form one trip, whatever their kind; the
// played time of a trip runs through its recordings one after another. Pure functions over
// Recording values: any thread, nothing read from the card (the distance is filled in by
// sensors/track_distance).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tat/card.h"

namespace roadkeep::tat {

inline constexpr int kDefaultTripGapSeconds = 30;

struct Trip {
  std::vector<Recording> recordings;  // in time order (start, then kind, then index)
  int64_t start = 0;       // seconds since 1970 by the recorder's clock: the first recording's
                           // start; -1 when unknown
  int64_t end = 0;         // latest end (start + length in whole seconds, rounded up) among its
                           // recordings; -1 when the start is unknown
  int64_t lengthMs = 0;    // played length: the sum of its recordings' lengths
  int events = 0;          // event and manual recordings among them
  double distanceKm = -1;  // from GPS; -1 while not known (BuildTrips leaves it so)

  // Played time (ms from the trip's start) at which recording i begins: the sum of the
  // lengths before it; lengthMs for i past the last.
  int64_t OffsetMs(size_t i) const;
  // The recording playing at played time ms (clamped into the trip) and the time within it
  // (withinMs may be null). A boundary belongs to the recording that begins there, the end
  // of the trip to the last one; recordings of no length are never chosen unless all are.
  // 0 with *withinMs 0 for a trip without recordings.
  size_t RecordingAt(int64_t ms, int64_t* withinMs) const;
};

// A recording's start: the header's startTime when it is plausible (a year 2000..2100), else
// the date and time in its name (KIND_YYYYMMDD_HHMMSS_x.avi, a real date of those years),
// else -1.
int64_t RecordingStart(const Recording& recording);

// The trips of recordings, oldest first. A recording whose start cannot be known is a trip of
// its own (start -1), after the others. Overlapping or out-of-order recordings are sorted by
// start; one that starts before the previous end belongs to its trip. A recording joins the
// trip before it when its start - the trip's end <= gapSeconds; gapSeconds < 0 counts as 0.
std::vector<Trip> BuildTrips(std::vector<Recording> recordings,
                             int gapSeconds = kDefaultTripGapSeconds);

}  // namespace roadkeep::tat
