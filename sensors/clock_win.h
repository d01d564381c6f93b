// The program's clocks on Windows: monotonic seconds from the performance counter
// and the local wall-clock time.
#pragma once

#include "sensors/sensor_model.h"

namespace kalorix {

// QueryPerformanceCounter / QueryPerformanceFrequency (read once), in seconds.
double MonotonicSeconds();
LocalTime CurrentLocalTime();

}  // namespace kalorix
