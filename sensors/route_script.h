// What the map page is told about a played track: the route with its runs, speeds and times,
// the marks on it (impacts, event recordings) and the played clock. Built as script
// expressions the page runs (SetRoute, SetClock, ClearRoute in the map page). Qt-free.
#pragma once

#include <span>
#include <string>

#include "sensors/track.h"

namespace roadkeep::sensors {

struct RouteMark {
  int64_t ms = 0;    // played time
  bool impact = false;  // else an event recording's start
  std::string text;  // the mark's tooltip
};

// SetRoute("{...}"): the runs of fixes as [lat, lon, ms, speed km/h (-1 unknown), course
// (-1 unknown)], and the marks placed on the route at their times (a mark where no run is
// left out). Numbers are written locale-free.
std::string SetRouteScript(const RecordingTrack& track, std::span<const RouteMark> marks);

// SetClock(ms, rate, playing, atMs): the played time at wall-clock time atMs (ms since 1970)
// and how fast it runs, so the page moves the car on its own, and a clock the page is given
// late (it slept while hidden) still places the car right.
std::string SetClockScript(int64_t ms, double rate, bool playing, int64_t atMs);

}  // namespace roadkeep::sensors
