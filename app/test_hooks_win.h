// What the test build of the executable (kalorix-test.exe) may change:
// scripted sensors, a faster sampling clock, shorter benchmarks and a report of
// each painted frame. The product executable links test_hooks_off_win.cpp,
// where all of it stays off and no environment variable is read; the test
// build and the Windows test programs link test_hooks_on_win.cpp instead.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

struct TestHooks {
    // Replaces the real provider list when set.
    std::function<std::vector<std::unique_ptr<Provider>>()> fakeProviders;
    // The sampling clock runs this many times as fast (with fake providers only).
    double clockFactor = 1.0;
    // Benchmark child: every duration and pause times this (0, 1].
    double benchTimeScale = 1.0;
    // Receives the text of each painted frame's report (page, state, hit regions).
    std::function<void(const std::string& report)> frameReport;
    // Receives the record of every row the sensor log writes (its writer thread).
    std::function<void(const std::string& line)> sensorLogEcho;
};

// The hooks in force for this process (read again on every call).
TestHooks ActiveTestHooks();

}  // namespace kalorix
