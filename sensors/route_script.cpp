#include "sensors/route_script.h"

#include "sensors/fixed_text.h"
#include "sensors/script_call.h"

namespace roadkeep::sensors {

std::string SetRouteScript(const RecordingTrack& track, std::span<const RouteMark> marks) {
  std::string json = "{\"runs\":[";
  for (size_t i = 0; i < track.fixes.size(); ++i) {
    const GpsFix& f = track.fixes[i];
    if (f.startsRun) json += i == 0 ? "[" : "],[";
    if (!f.startsRun) json += ",";
    json += "[" + FixedText(f.latitude, 7) + "," + FixedText(f.longitude, 7) + "," +
            std::to_string(f.ms) + "," + FixedText(f.speedKmh, 1) + "," +
            FixedText(f.courseDeg, 1) + "]";
  }
  if (!track.fixes.empty()) json += "]";
  json += "],\"marks\":[";
  bool first = true;
  for (const RouteMark& m : marks) {
    double latitude = 0, longitude = 0;
    if (!track.PlaceAt(m.ms, &latitude, &longitude)) continue;
    if (!first) json += ",";
    first = false;
    // The text goes in as a JSON string: ScriptString's escapes are JSON's too.
    json += "{\"lat\":" + FixedText(latitude, 7) + ",\"lon\":" + FixedText(longitude, 7) +
            ",\"ms\":" + std::to_string(m.ms) + ",\"impact\":" + (m.impact ? "true" : "false") +
            ",\"text\":" + ScriptString(m.text) + "}";
  }
  json += "]}";
  return "SetRoute(" + ScriptString(json) + ")";
}

std::string SetClockScript(int64_t ms, double rate, bool playing, int64_t atMs) {
  return "SetClock(" + std::to_string(ms) + "," + FixedText(rate, 4) + "," +
         (playing ? "true" : "false") + "," + std::to_string(atMs) + ")";
}

}  // namespace roadkeep::sensors
