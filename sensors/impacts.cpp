#include "sensors/impacts.h"

#include <algorithm>
#include <cmath>

namespace roadkeep::sensors {
namespace {

double Median(std::vector<int>& values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  return values[middle];
}

// The usual time between samples (their median gap), 100 ms when it cannot be told.
int64_t SamplePeriodMs(std::span<const GSample> samples) {
  std::vector<int> gaps;
  for (size_t i = 1; i < samples.size(); ++i) {
    const int64_t gap = samples[i].ms - samples[i - 1].ms;
    if (gap > 0 && gap < 10000) gaps.push_back(static_cast<int>(gap));
  }
  return gaps.empty() ? 100 : static_cast<int64_t>(Median(gaps));
}

ImpactSide SideOf(const GCalibration& c, const GSample& s) {
  const double along = s.x - c.restX, across = s.y - c.restY;
  if (std::fabs(along) >= std::fabs(across)) return along < 0 ? ImpactSide::kFront : ImpactSide::kRear;
  return across < 0 ? ImpactSide::kLeft : ImpactSide::kRight;
}

double SpeedAfter(const RecordingTrack& track, int64_t ms) {
  for (const GpsFix& f : track.fixes) {
    if (f.ms >= ms) return f.ms - ms > kMaxFixGapMs ? -1 : f.speedKmh;
  }
  return -1;
}

}  // namespace

GCalibration CalibrateG(std::span<const GSample> samples) {
  GCalibration c;
  if (samples.empty()) return c;
  std::vector<int> axis(samples.size());
  const auto median = [&](int GSample::*member) {
    for (size_t i = 0; i < samples.size(); ++i) axis[i] = samples[i].*member;
    return Median(axis);
  };
  c.restX = median(&GSample::x);
  c.restY = median(&GSample::y);
  c.restZ = median(&GSample::z);
  c.unitsPerG = std::sqrt(c.restX * c.restX + c.restY * c.restY + c.restZ * c.restZ);
  c.valid = c.unitsPerG >= kMinUnitsPerG;
  return c;
}

double SampleG(const GCalibration& c, const GSample& s) {
  if (!c.valid) return 0;
  const double x = s.x - c.restX, y = s.y - c.restY, z = s.z - c.restZ;
  return std::sqrt(x * x + y * y + z * z) / c.unitsPerG;
}

double ImpactThresholdG(int accLevel) {
  static constexpr double kByLevel[] = {0.8, 0.65, 0.5, 0.4, 0.3};  // levels 1..5
  return accLevel >= 1 && accLevel <= 5 ? kByLevel[accLevel - 1] : kDefaultImpactThresholdG;
}

const char* SideName(ImpactSide side) {
  switch (side) {
    case ImpactSide::kFront: return "front";
    case ImpactSide::kRear: return "rear";
    case ImpactSide::kLeft: return "left";
    case ImpactSide::kRight: return "right";
  }
  return "front";
}

std::vector<Impact> FindImpacts(const RecordingTrack& track, double thresholdG) {
  std::vector<Impact> impacts;
  const GCalibration c = CalibrateG(track.samples);
  if (!c.valid || !(thresholdG > 0)) return impacts;
  const int64_t period = SamplePeriodMs(track.samples);
  int64_t lastAboveMs = 0;
  for (const GSample& s : track.samples) {
    const double g = SampleG(c, s);
    if (g < thresholdG) continue;
    if (impacts.empty() || s.ms - lastAboveMs >= kImpactMergeMs) {
      Impact impact;
      impact.startMs = s.ms;
      impact.speedBeforeKmh = track.SpeedAt(s.ms);
      impacts.push_back(impact);
    }
    Impact& impact = impacts.back();
    if (g > impact.peakG) {
      impact.peakG = g;
      impact.ms = s.ms;
      impact.side = SideOf(c, s);
    }
    lastAboveMs = s.ms;
    impact.durationMs = s.ms - impact.startMs + period;
  }
  for (Impact& impact : impacts) {
    impact.speedAfterKmh = SpeedAfter(track, impact.startMs + impact.durationMs + 1000);
  }
  return impacts;
}

}  // namespace roadkeep::sensors
