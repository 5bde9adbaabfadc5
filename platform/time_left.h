// The time a long job still needs, from its rate so far: "0:42", "1:05:00". Empty until half a
// second has passed and some of the job is done, when a guess would be noise. Qt-free.
#pragma once

#include <cstdio>
#include <string>

inline std::string TimeLeftText(double elapsedSeconds, double doneFraction) {
  if (!(elapsedSeconds > 0.5) || !(doneFraction > 0.0) || !(doneFraction < 1.0)) return {};
  const long s = static_cast<long>(elapsedSeconds * (1.0 - doneFraction) / doneFraction + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}
