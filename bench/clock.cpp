#include "bench/clock.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace kalorix::bench {

namespace {

uint64_t SteadyNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

SteadyClock::SteadyClock(double scale) : scale_(scale > 0.0 && scale <= 1.0 ? scale : 1.0), origin_(SteadyNs()) {}

uint64_t SteadyClock::nowNs() {
    const uint64_t real = SteadyNs() - origin_;
    if (scale_ == 1.0) return real;
    return static_cast<uint64_t>(static_cast<double>(real) / scale_);
}

void SteadyClock::sleepMs(uint32_t ms) {
    const double real = static_cast<double>(ms) * scale_;
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::ceil(real * 1000.0))));
}

void SleepUntil(Clock& clock, uint64_t deadlineNs) {
    for (;;) {
        const uint64_t now = clock.nowNs();
        if (now >= deadlineNs) return;
        const uint64_t left = deadlineNs - now;
        clock.sleepMs(static_cast<uint32_t>((left + 999999) / 1000000));
    }
}

double ParseTimeScale(const char* text) {
    if (!text || !*text) return 1.0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v <= 0.0 || v > 1.0) return 1.0;
    return v;
}

}  // namespace kalorix::bench
