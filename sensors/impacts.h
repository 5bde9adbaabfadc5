// Impacts found in a recording's G-sensor samples. Qt-free, pure.
//
// Calibration: the card gives raw axis units only. The car at rest feels 1 g (gravity), so
// the resting reading, each axis's median over the recording, is taken as 1 g and its length
// in raw units as the scale. A sample's size is the length of its difference from the resting
// reading, in g: what the car felt beyond gravity. A recording whose resting reading is too
// small to be gravity (no samples, all zero) has no calibration and no impacts.
//
// Axes (as the recorder is mounted): the first (x) along the car, positive forward; the
// second (y) across it, positive to the left; the third (z) up. An impact is named by the
// side the blow came from: a blow from the front pushes the car back (x falls).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sensors/track.h"

namespace roadkeep::sensors {

struct GCalibration {
  bool valid = false;
  double restX = 0, restY = 0, restZ = 0;  // raw units
  double unitsPerG = 0;
};

// Resting readings shorter than this are not gravity (raw units; a recorder's 1 g is tens).
inline constexpr double kMinUnitsPerG = 8.0;

GCalibration CalibrateG(std::span<const GSample> samples);
// The sample's size beyond gravity, in g; 0 without a valid calibration.
double SampleG(const GCalibration& calibration, const GSample& sample);

// The recorder's impact sensitivity ("acc_level" of its settings file: 1 low, 3 normal,
// 5 high, 0 in bike mode) as the size that makes an impact: low 0.8 g, normal 0.5 g, high
// 0.3 g, 2 and 4 between them; bike mode and any other value as normal.
double ImpactThresholdG(int accLevel);
inline constexpr double kDefaultImpactThresholdG = 0.5;  // no settings file: normal

enum class ImpactSide { kFront, kRear, kLeft, kRight };
// "front", "rear", "left", "right".
const char* SideName(ImpactSide side);

struct Impact {
  int64_t ms = 0;          // the peak's time in the recording
  int64_t startMs = 0;     // the first sample at or above the threshold
  int64_t durationMs = 0;  // first to last sample above the threshold, plus one sample period
  double peakG = 0;
  ImpactSide side = ImpactSide::kFront;
  double speedBeforeKmh = -1;  // the fix at or before the start; -1 unknown
  double speedAfterKmh = -1;   // the first fix 1 s or more after the end; -1 unknown
};

// Samples closer than this stay one impact.
inline constexpr int64_t kImpactMergeMs = 1000;

// The impacts of the track, in time order: runs of samples at or above thresholdG.
std::vector<Impact> FindImpacts(const RecordingTrack& track, double thresholdG);

}  // namespace roadkeep::sensors
