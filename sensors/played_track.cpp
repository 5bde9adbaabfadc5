#include "sensors/played_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace roadkeep::sensors {
namespace {

std::vector<int> ShockPerSecond(const RecordingTrack& track, int unitsPerG) {
  std::vector<int> shock;
  const GCalibration c = CalibrateG(track.samples);
  if (!c.valid) return shock;
  for (const GSample& s : track.samples) {
    if (s.ms <= 0) continue;
    // Second i + 1 ends at (i + 1) * 1000 ms and holds the samples after i * 1000.
    const size_t i = static_cast<size_t>((s.ms - 1) / 1000);
    if (i >= 100000) break;  // a day and more: not a recording's time
    if (shock.size() <= i) shock.resize(i + 1, 0);
    shock[i] = std::max(shock[i], static_cast<int>(std::lround(SampleG(c, s) * unitsPerG)));
  }
  return shock;
}

// A recording's impacts as marks: "1.52 g front".
std::string ImpactText(const std::string& name, const Impact& impact) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f g %s", impact.peakG, SideName(impact.side));
  return name + ": " + text;
}

}  // namespace

PlayedTelemetry JoinParts(std::span<const PlayedPart> parts, double thresholdG, int unitsPerG) {
  PlayedTelemetry played;
  played.thresholdG = thresholdG;
  for (const PlayedPart& part : parts) {
    PartTelemetry t;
    t.name = part.name;
    t.offsetMs = part.offsetMs;
    t.impacts = FindImpacts(part.track, thresholdG);
    t.shock = ShockPerSecond(part.track, unitsPerG);
    t.startUtcMs = part.track.StartUtcMs();
    if (t.startUtcMs != kNoTime && part.recorderStartS >= 0) {
      t.clockOffsetMs = part.recorderStartS * 1000 - t.startUtcMs;
    }
    for (const Impact& impact : t.impacts) {
      played.marks.push_back({part.offsetMs + impact.ms, true, ImpactText(part.name, impact)});
    }
    if (part.event && !part.track.fixes.empty()) {
      played.marks.push_back({part.offsetMs + part.track.fixes.front().ms, false, part.name});
    }
    for (GpsFix f : part.track.fixes) {
      f.ms += part.offsetMs;
      // Overlapping recordings: the earlier one holds the time.
      if (!played.route.fixes.empty() && f.ms <= played.route.fixes.back().ms) continue;
      played.route.fixes.push_back(f);
    }
    played.parts.push_back(std::move(t));
  }
  MarkRuns(played.route.fixes);  // across the recordings' ends as within one
  std::sort(played.marks.begin(), played.marks.end(),
            [](const RouteMark& a, const RouteMark& b) { return a.ms < b.ms; });
  return played;
}

std::string OffsetText(int64_t ms) {
  const int64_t seconds = std::llabs(ms) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%c%lld:%02lld:%02lld", ms < 0 ? '-' : '+',
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace roadkeep::sensors
