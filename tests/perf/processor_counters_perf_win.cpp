// Prints what one poll of the performance-counter provider costs on this
// machine (under Wine: the fallback through the system's time accounting and
// the power manager, since the processor counters are missing), and what the
// PawnIO status query the sampling thread makes on every cycle costs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "providers/factories_win.h"
#include "providers/pawnio_provider_win.h"
#include "sensors/clock_win.h"

namespace {

template <typename Fn>
double MedianMicroseconds(int runs, Fn&& fn) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = kalorix::MonotonicSeconds();
        fn();
        times.push_back((kalorix::MonotonicSeconds() - start) * 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    using namespace kalorix;
    const double created = MedianMicroseconds(5, [] { CreatePerfCounterProvider(); });
    auto provider = CreatePerfCounterProvider();
    SensorFrame frame;
    size_t readings = 0;
    const double poll = MedianMicroseconds(200, [&] {
        frame.clear();
        provider->poll(frame);
        readings = std::max(readings, frame.readings.size());
    });
    CurrentPawnIoStatus();  // the first call computes the preflight
    const double status = MedianMicroseconds(200, [] { CurrentPawnIoStatus(); });
    const double found = MedianMicroseconds(200, [] { FindPawnIoLibrary(); });
    std::printf("perf-counter provider: created in %.0f us, poll %.1f us (median of 200, up to %zu readings)\n",
                created, poll, readings);
    std::printf("PawnIO status per cycle: CurrentPawnIoStatus %.2f us, FindPawnIoLibrary %.1f us\n", status, found);
    return 0;
}
