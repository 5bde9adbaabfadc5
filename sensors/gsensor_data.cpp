#include "sensors/gsensor_data.h"

CGSensorData::CGSensorData(int b1, int b2, int b3, int32_t tag_)
    : x(128 - (b1 & 0xFF)), y(128 - (b2 & 0xFF)), z(128 - (b3 & 0xFF)), tag(tag_) {}
