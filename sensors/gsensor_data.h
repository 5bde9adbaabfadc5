// One three-axis G-sensor sample from the text stream ('M' and three raw axis bytes).
#pragma once

#include <cstdint>

class CGSensorData {
 public:
  CGSensorData() = default;
  // Each axis is 128 - raw, where only the raw value's low eight bits count (-127..128).
  CGSensorData(int b1, int b2, int b3, int32_t tag);

  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int32_t tag = 0;
};
