// Benchmark test fakes: a clock that moves only when asked, and a reporter sink that keeps the lines.
#pragma once

#include <atomic>

#include <string>
#include <vector>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench::testing {

// Time advances by the slept amount, and by `tickNs` at every reading.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint64_t tickNs = 0) : tick_(tickNs) {}
    uint64_t nowNs() override { return now_.fetch_add(tick_) + tick_; }
    void sleepMs(uint32_t ms) override { slept.push_back(ms), now_ += uint64_t(ms) * 1000000; }
    void advanceNs(uint64_t ns) { now_ += ns; }
    std::vector<uint32_t> slept;
private:
    std::atomic<uint64_t> now_{1000000000};

    uint64_t tick_;
};

struct LineLog {
    std::vector<std::string> lines;
    Reporter reporter{[this](std::string_view l) { lines.emplace_back(l); }};

    std::vector<std::string> withPrefix(char type) const {
        std::vector<std::string> out;
        for (const auto& l : lines) if (!l.empty() && l[0] == type) out.push_back(l);
        return out;
    }

};

}  // namespace kalorix::bench::testing
