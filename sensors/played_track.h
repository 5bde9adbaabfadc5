// What the window shows of the telemetry of what plays: one recording, or the recordings of
// a trip joined in played time (the first recording's start is 0, each next one follows the
// one before without a gap, as the trip plays). Qt-free, pure.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "sensors/impacts.h"
#include "sensors/route_script.h"
#include "sensors/track.h"

namespace roadkeep::sensors {

struct PlayedPart {
  std::string name;
  RecordingTrack track;     // in the recording's own time
  int64_t offsetMs = 0;     // where the recording begins in played time
  int64_t recorderStartS = -1;  // its start by the recorder's clock (the name's); -1 unknown
  bool event = false;       // an event recording: marked on the route
};

struct PartTelemetry {
  std::string name;
  int64_t offsetMs = 0;
  std::vector<Impact> impacts;  // in the recording's own time
  // Element i: the largest size beyond gravity in second i + 1 of the recording (the second
  // ending there), in units of 1/unitsPerG g, as the G-sensor graph's samples are counted.
  std::vector<int> shock;
  // The recorder's clock less GPS time at the recording's start; kNoTime when either is unknown.
  int64_t clockOffsetMs = kNoTime;
  int64_t startUtcMs = kNoTime;
};

struct PlayedTelemetry {
  RecordingTrack route;  // every part's fixes in played time
  std::vector<RouteMark> marks;
  std::vector<PartTelemetry> parts;
  double thresholdG = kDefaultImpactThresholdG;
};

// Joins the parts (in played order). A run of fixes goes on across a recording's end when
// the car can have driven the hop, as within a recording.
PlayedTelemetry JoinParts(std::span<const PlayedPart> parts, double thresholdG, int unitsPerG);

// "+9:00:03" / "-0:00:02": an offset as signed hours, minutes and seconds.
std::string OffsetText(int64_t ms);

}  // namespace roadkeep::sensors
