// The sampling engine's Windows host: QueryPerformanceCounter clock, COM for the
// sampling thread, the real provider list, the BIOS maker and PostMessageW.
#pragma once

#include <memory>

#include "sensors/sampling_engine.h"

namespace kalorix {

// With KALORIX_FAKE_SENSORS set (test harnesses only) the providers are the scripted
// ones of that scenario, and KALORIX_FAKE_CLOCK (a factor, e.g. 30) speeds the clock up
// so a chart fills in seconds.
std::unique_ptr<EngineHost> MakeWindowsEngineHost();

}  // namespace kalorix
