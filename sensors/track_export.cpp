#include "sensors/track_export.h"

#include "platform/safe_text.h"
#include "sensors/fixed_text.h"
#include "sensors/impacts.h"

namespace roadkeep::sensors {
namespace {

using roadkeep::platform::XmlText;

// utcMs: the fix's own UTC, else the recording's start plus its time (kNoTime: left out).
void AddPoint(const GpsFix& f, int64_t utcMs, std::string* out) {
  *out += "      <trkpt lat=\"" + FixedText(f.latitude, 7) + "\" lon=\"" +
          FixedText(f.longitude, 7) + "\">";
  if (utcMs != kNoTime) *out += "<time>" + IsoUtc(utcMs) + "</time>";
  if (f.speedKmh >= 0 || f.courseDeg >= 0) {
    *out += "<extensions><gpxtpx:TrackPointExtension>";
    if (f.speedKmh >= 0) *out += "<gpxtpx:speed>" + FixedText(f.speedKmh / 3.6, 3) + "</gpxtpx:speed>";
    if (f.courseDeg >= 0) *out += "<gpxtpx:course>" + FixedText(f.courseDeg, 1) + "</gpxtpx:course>";
    *out += "</gpxtpx:TrackPointExtension></extensions>";
  }
  *out += "</trkpt>\n";
}

std::string Cell(double value, int decimals, bool known) {
  return known ? FixedText(value, decimals) : std::string();
}

}  // namespace

std::string GpxText(std::span<const NamedTrack> tracks, const std::string& creator) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"" + XmlText(creator) + "\"\n"
      "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
      "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"\n"
      "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
      "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
  for (const NamedTrack& named : tracks) {
    if (named.track.fixes.empty()) continue;
    out += "  <trk>\n    <name>" + XmlText(named.name) + "</name>\n";
    for (size_t i = 0; i < named.track.fixes.size(); ++i) {
      const GpsFix& f = named.track.fixes[i];
      if (f.startsRun) out += i == 0 ? "    <trkseg>\n" : "    </trkseg>\n    <trkseg>\n";
      AddPoint(f, f.utcMs != kNoTime ? f.utcMs : named.track.UtcAt(f.ms), &out);
    }
    out += "    </trkseg>\n  </trk>\n";
  }
  return out + "</gpx>\n";
}

std::string CsvText(std::span<const NamedTrack> tracks) {
  std::string out = "time_utc,recording_ms,lat,lon,speed_kmh,course_deg,gx,gy,gz\n";
  for (const NamedTrack& named : tracks) {
    const RecordingTrack& t = named.track;
    const GCalibration c = CalibrateG(t.samples);
    size_t fix = 0, sample = 0;
    while (fix < t.fixes.size() || sample < t.samples.size()) {
      // Fixes first at a time both have.
      if (fix < t.fixes.size() && (sample == t.samples.size() || t.fixes[fix].ms <= t.samples[sample].ms)) {
        const GpsFix& f = t.fixes[fix++];
        out += IsoUtc(f.utcMs != kNoTime ? f.utcMs : t.UtcAt(f.ms)) + "," + std::to_string(f.ms) + "," +
               FixedText(f.latitude, 7) + "," + FixedText(f.longitude, 7) + "," +
               Cell(f.speedKmh, 2, f.speedKmh >= 0) + "," + Cell(f.courseDeg, 1, f.courseDeg >= 0) +
               ",,,\n";
        continue;
      }
      const GSample& s = t.samples[sample++];
      out += IsoUtc(t.UtcAt(s.ms)) + "," + std::to_string(s.ms) + ",,,,," +
             Cell(s.x / c.unitsPerG, 3, c.valid) + "," + Cell(s.y / c.unitsPerG, 3, c.valid) + "," +
             Cell(s.z / c.unitsPerG, 3, c.valid) + "\n";
    }
  }
  return out;
}

}  // namespace roadkeep::sensors
