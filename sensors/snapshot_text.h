// A plain-text description of a snapshot, for the probe mode and for logs.
#pragma once

#include <string>

#include "sensors/sensor_model.h"

namespace kalorix {

std::wstring DescribeSnapshot(const SensorSnapshot& s, bool fahrenheit = false);

}  // namespace kalorix
