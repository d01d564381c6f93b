// Time source of the benchmarks: a monotonic nanosecond clock and a sleep,
// behind one small interface so that the timing logic (durations, batch sizes,
// pauses) runs against a fake clock in the tests.
#pragma once

#include <cstdint>

namespace kalorix::bench {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t nowNs() = 0;           // monotonic nanoseconds
    virtual void sleepMs(uint32_t ms) = 0;  // pause of the calling thread

    double nowSeconds() { return static_cast<double>(nowNs()) / 1e9; }
};

// The real clock (std::chrono::steady_clock, which is the performance counter on Windows).
//
// scale < 1 makes time run faster for the benchmark: every sleep lasts scale
// times as long and the clock advances 1 / scale times as fast, so every
// measurement and pause shrinks by the same factor. Only the test harness sets
// it (the test build's hooks, read by the benchmark child); the figures
// measured that way are meaningless.
class SteadyClock : public Clock {
public:
    explicit SteadyClock(double scale = 1.0);
    uint64_t nowNs() override;
    void sleepMs(uint32_t ms) override;

private:
    double scale_;
    uint64_t origin_;
};

// Sleeps in whole milliseconds (rounded up) until clock passes deadlineNs.
void SleepUntil(Clock& clock, uint64_t deadlineNs);

// Parses a time-scale text: a number in (0, 1]; anything
// else (missing, damaged, out of range) gives 1.
double ParseTimeScale(const char* text);

}  // namespace kalorix::bench
