// The sampling engine's Windows host: QueryPerformanceCounter clock, COM for the
// sampling thread, the real provider list, the BIOS maker and PostMessageW; and
// the power notifications the engine needs (sleep and wake-up).
#pragma once

#include <windows.h>

#include <memory>

#include "sensors/sampling_engine.h"

namespace kalorix {

// In the test build the hooks may replace the providers with scripted ones and
// speed the clock up so a chart fills in seconds (app/test_hooks_win.h).
std::unique_ptr<EngineHost> MakeWindowsEngineHost();

// WM_POWERBROADCAST: a suspend closes the heavy-use period in progress and stops
// usage tracking until the resume. True for the events the engine is told of.
bool NotifyPowerBroadcast(SamplingEngine& engine, WPARAM event);

}  // namespace kalorix
