// The sampling engine's Windows host: QueryPerformanceCounter clock, COM for the
// sampling thread, the real provider list, the BIOS maker and PostMessageW.
#pragma once

#include <memory>

#include "sensors/sampling_engine.h"

namespace kalorix {

// In the test build the hooks may replace the providers with scripted ones and
// speed the clock up so a chart fills in seconds (app/test_hooks_win.h).
std::unique_ptr<EngineHost> MakeWindowsEngineHost();

}  // namespace kalorix
