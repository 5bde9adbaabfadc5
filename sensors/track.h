// A recording's whole track: its GPS fixes and G-sensor samples with their times in the
// recording, built from the text stream's chunks (the payloads CTextData takes) without
// playing it. Qt-free and card-free; the card's reader side is sensors/recording_track.h.
//
// What the track keeps of untrusted sentences: only valid fixes (status 'A', a latitude and a
// longitude that are plain numbers on the globe and not 0 N 0 E), each at most once, in the order of their time in the recording; a fix whose GPS
// time goes back or repeats is a stale one and is left out. A speed or course that is not a
// believable number is unknown (-1), a date or time of day that is not a real one makes the
// fix's UTC unknown. Fixes form runs: a run ends where fixes are missing for longer than
// kMaxFixGapMs or where the car would have moved faster than kMaxTrackSpeedMs, so a map or a
// GPX file draws a gap there, never a line across it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace roadkeep::sensors {

inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
inline constexpr int64_t kMaxFixGapMs = 3000;
// A hop between fixes faster than this (or a change of place at one time) is a jump of the
// receiver, not driving.
inline constexpr double kMaxTrackSpeedMs = 200.0;  // metres per second
inline constexpr double kMaxSpeedKmh = 500.0;      // above: not a car's speed, unknown

struct GpsFix {
  int64_t ms = 0;            // the chunk's time in the recording
  int64_t utcMs = kNoTime;   // from the sentence's date and time of day; kNoTime without them
  double latitude = 0, longitude = 0;  // degrees
  double speedKmh = -1;      // -1: unknown
  double courseDeg = -1;     // 0..360 clockwise from north; -1: unknown
  bool startsRun = false;    // the fix before it is missing, too old or too far away
};

// One G-sensor reading: axes as CGSensorData's (128 - raw byte).
struct GSample {
  int64_t ms = 0;
  int x = 0, y = 0, z = 0;
};

struct RecordingTrack {
  std::vector<GpsFix> fixes;     // by ms; the first is always a run's start
  std::vector<GSample> samples;  // by ms
  // UTC of the recording's first moment, from the first fix with a UTC (its UTC less its
  // time in the recording); kNoTime when no fix has one.
  int64_t StartUtcMs() const;
  // UTC of a moment of the recording; kNoTime when StartUtcMs is unknown.
  int64_t UtcAt(int64_t ms) const;
  // The car's place at ms, on the line between the fixes around it within one run (the
  // first or last fix of the run outside them). False where no run covers ms.
  bool PlaceAt(int64_t ms, double* latitude, double* longitude) const;
  // The speed of the latest fix at or before ms (no more than kMaxFixGapMs before); -1 if none.
  double SpeedAt(int64_t ms) const;
};

// Great-circle distance in km between two points in degrees (haversine, on a sphere of the
// Earth's mean radius).
double GreatCircleKm(double latitude1, double longitude1, double latitude2, double longitude2);

// Sets each fix's startsRun (fixes by time, each time once): the first fix, and each one
// after a gap longer than kMaxFixGapMs or a hop faster than kMaxTrackSpeedMs.
void MarkRuns(std::vector<GpsFix>& fixes);

// Collects text chunks, then orders and checks them into a track.
class CTrackBuilder {
 public:
  // One text-stream payload at ms in the recording: 'G' + an RMC sentence or 'M' + three axis
  // bytes; anything else is ignored. Nothing at or past text + size is read.
  void Add(int64_t ms, const char* text, int size);
  // The track of what was added; the builder is empty again afterwards.
  RecordingTrack Finish();

 private:
  std::vector<GpsFix> m_fixes;
  std::vector<GSample> m_samples;
  std::string m_sentence;  // a terminated copy of the sentence being parsed
};

// "2026-12-08T05:00:03Z" (with ".250" when the milliseconds are not zero); "" for kNoTime.
std::string IsoUtc(int64_t utcMs);

}  // namespace roadkeep::sensors
