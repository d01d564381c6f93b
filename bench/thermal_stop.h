// The thermal safety stop of a running test: the window feeds every sensor
// snapshot it receives while a test runs; after three distinct hot snapshots
// in a row the guard returns the stop reason to hand to BenchRunner::Stop.
#pragma once

#include <optional>
#include <string>

#include "bench/protocol.h"
#include "sensors/sensor_model.h"

namespace kalorix::bench {

// Limit in °C for a run: WarningTemp capped at 95, or 75 for the disk test.
int ThermalLimit(BenchKind kind, int warningTemp);

// The temperature a run watches: CPU and memory runs the CPU, GPU runs the
// GPU summary, disk runs the hottest disk. Absent when the snapshot lacks it.
std::optional<double> WatchedTemperature(BenchKind kind, const FrameHeadline& snapshot);

// "İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu" and its kin; the
// temperature is written as the formatter writes it (FormatTemperature).
std::wstring ThermalStopReason(BenchKind kind, double celsius, bool fahrenheit);

class ThermalGuard {
public:
    // At every test start.
    void reset() {
        count_ = 0;
        lastUpdate_.reset();
    }
    // One snapshot; returns the stop reason when the stop is due (at the third
    // consecutive snapshot at or above the limit, and again for each further
    // one). A snapshot is counted once: the same update time seen again (the
    // window may be told twice about one sampling pass) changes nothing.
    std::optional<std::wstring> observe(BenchKind kind, const SensorSnapshot& snapshot, int warningTemp,
                                        bool fahrenheit);
    int count() const { return count_; }

private:
    int count_ = 0;
    std::optional<double> lastUpdate_;
};

}  // namespace kalorix::bench
