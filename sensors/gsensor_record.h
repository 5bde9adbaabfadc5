// One G-sensor sample as the sensor records keep it, reduced to plain data so that views can
// take the collected samples without knowing their container. No Qt.
#pragma once

#include <cstdint>

struct GSensorRecord {
  int32_t x = 0;    // first axis: 128 - raw byte, -127..128
  int32_t y = 0;    // second axis, the same
  int32_t z = 0;    // third axis, the same
  int32_t tag = 0;  // the caller's value given with the sample
};
