// One three-axis G-sensor sample from the text stream ('M' and three raw axis bytes).
#pragma once

#include <cstdint>

class CGSensorData {
 public:
  CGSensorData() = default;
  // Each axis is 128 - raw, where only the raw value's low eight bits count (-127..128).
  CGSensorData(int b1, int b2, int b3, int32_t tag);
  // A sample with the given axis values (already 128 - raw), for views and tests.
  static CGSensorData FromAxes(int32_t x, int32_t y, int32_t z, int32_t tag = 0) {
    CGSensorData d;
    d.x = x;
    d.y = y;
    d.z = z;
    d.tag = tag;
    return d;
  }

  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int32_t tag = 0;
};
