#include "playback/play_speed.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace roadkeep {
namespace {

constexpr int kCount = static_cast<int>(sizeof kSpeeds / sizeof kSpeeds[0]);

// The index of the step nearest to speed, on a log scale.
int NearestStep(double speed) {
  if (!(speed > 0)) return 3;
  int best = 0;
  for (int i = 1; i < kCount; ++i) {
    if (std::fabs(std::log2(kSpeeds[i] / speed)) < std::fabs(std::log2(kSpeeds[best] / speed))) best = i;
  }
  return best;
}

}  // namespace

double FasterSpeed(double speed) { return kSpeeds[std::min(NearestStep(speed) + 1, kCount - 1)]; }

double SlowerSpeed(double speed) { return kSpeeds[std::max(NearestStep(speed) - 1, 0)]; }

bool SpeedIsAudible(double speed) { return speed >= 0.5 && speed <= 2.0; }

std::string SpeedName(double speed) {
  const double step = kSpeeds[NearestStep(speed)];
  if (step < 1) return "1/" + std::to_string(static_cast<int>(std::lround(1 / step))) + "x";
  return std::to_string(static_cast<int>(step)) + "x";
}

bool ParseSpeed(const std::string& text, double* speed) {
  std::string body = text;
  if (!body.empty() && (body.back() == 'x' || body.back() == 'X')) body.pop_back();
  if (body.empty() || body.size() > 16) return false;
  double value = 0;
  char* end = nullptr;
  if (const auto slash = body.find('/'); slash != std::string::npos) {
    const std::string topText = body.substr(0, slash), bottomText = body.substr(slash + 1);
    const double top = std::strtod(topText.c_str(), &end);
    if (*end != '\0') return false;
    const double bottom = std::strtod(bottomText.c_str(), &end);
    if (*end != '\0' || !(bottom > 0)) return false;
    value = top / bottom;
  } else {
    value = std::strtod(body.c_str(), &end);
    if (*end != '\0') return false;
  }
  for (const double step : kSpeeds) {
    if (std::fabs(value - step) < 1e-9) {
      *speed = step;
      return true;
    }
  }
  return false;
}

}  // namespace roadkeep
