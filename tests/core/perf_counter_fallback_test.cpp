// Load and clock from the system's time accounting when the processor
// counters are missing: the delta maths and which source serves.
#include <gtest/gtest.h>

#include <map>

#include "providers/processor_times.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;

namespace {

constexpr uint64_t kMax = ~uint64_t(0);

// Scripted samples: each call to perProcessor/total takes the next entry.
class ScriptedTimes : public ProcessorTimesSource {
public:
    std::vector<std::optional<std::vector<CpuTimes>>> perSamples;
    std::vector<std::optional<CpuTimes>> totalSamples;
    std::vector<ProcessorClock> clockAnswer;
    int clockCalls = 0;

    std::optional<std::vector<CpuTimes>> perProcessor() override { return Next(perSamples, perAt_); }
    std::optional<CpuTimes> total() override { return Next(totalSamples, totalAt_); }
    std::vector<ProcessorClock> clocks() override {
        ++clockCalls;
        return clockAnswer;
    }

private:
    template <class T>
    static std::optional<T> Next(const std::vector<std::optional<T>>& list, size_t& at) {
        return at < list.size() ? list[at++] : std::nullopt;
    }
    size_t perAt_ = 0, totalAt_ = 0;
};

// Counters that collect or not, with fixed arrays.
class FixedCounters : public CounterSource {
public:
    bool collectOk = true;
    std::map<PerfCounterId, CounterArray> arrays;
    bool collect() override { return collectOk; }
    CounterArray readArray(PerfCounterId id) override { return arrays.count(id) ? arrays[id] : CounterArray{}; }
    std::optional<double> readValue(PerfCounterId) override { return std::nullopt; }
};

// Two processors: the first 25 % busy, the second 75 %; the system-wide times 70 %.
std::unique_ptr<ScriptedTimes> TwoProcessors() {
    auto t = std::make_unique<ScriptedTimes>();
    t->perSamples = {std::vector<CpuTimes>{{0, 0, 0}, {0, 0, 0}}, std::vector<CpuTimes>{{75, 80, 20}, {25, 50, 50}}};
    t->totalSamples = {CpuTimes{0, 0, 0}, CpuTimes{60, 130, 70}};
    t->clockAnswer = {{3000, 1500}, {3000, 4500}};
    return t;
}

SensorFrame Poll(ProcessorFallbackSource& source) {
    SensorFrame frame;
    PollPerfCounters(source, L"CPU", frame);
    return frame;
}

}  // namespace

TEST(ProcessorTimes, LoadBetweenSamples) {
    const struct {
        CpuTimes before, after;
        std::optional<double> load;
    } cases[] = {
        {{100, 200, 300}, {130, 260, 340}, 70.0},                     // kernel holds idle
        {{kMax - 9, kMax - 19, kMax - 39}, {20, 40, 0}, 70.0},       // the counters wrapped
        {{0, 0, 0}, {80, 10, 10}, 20.0},                              // idle grew more than kernel
        {{0, 0, 0}, {0, 40, 60}, 100.0},
        {{5, 5, 5}, {5, 5, 5}, std::nullopt},                         // no time passed
        {{1000, 2000, 3000}, {0, 2100, 3100}, std::nullopt},          // a reset, not a wrap
    };
    for (const auto& c : cases) EXPECT_EQ(LoadBetween(c.before, c.after), c.load);
    // By position: a processor that vanished or appeared in between has no load.
    const std::vector<CpuTimes> three = {{50, 100, 0}, {0, 50, 50}, {10, 10, 0}};
    const auto fewer = LoadsBetween({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, three);
    EXPECT_EQ(fewer, (std::vector<std::optional<double>>{50.0, 100.0, 0.0}));
    const auto more = LoadsBetween({{0, 0, 0}}, three);
    EXPECT_EQ(more, (std::vector<std::optional<double>>{50.0, std::nullopt, std::nullopt}));
}

TEST(ProcessorFallback, WithoutCountersTheSystemTimesGiveTheCounterReadings) {
    ProcessorFallbackSource source(nullptr, TwoProcessors());
    const SensorFrame frame = Poll(source);
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 70.0);  // the system-wide times cover every processor group
    EXPECT_DOUBLE_EQ(Find(frame, L"cpu/load/core02")->value, 75.0);
    EXPECT_NEAR(*frame.cpuClock, 3000.0, 1e-9);  // the mean of the current clocks
    EXPECT_EQ(frame.readings.size(), 6u);

    auto noTotal = TwoProcessors();
    noTotal->totalSamples.clear();
    ProcessorFallbackSource sum(nullptr, std::move(noTotal));
    EXPECT_DOUBLE_EQ(*Poll(sum).cpuLoad, 50.0);  // (25 + 75) busy of 200
}

TEST(ProcessorFallback, FirstSampleAndFailedCallsGiveNoLoad) {
    auto times = std::make_unique<ScriptedTimes>();
    times->perSamples = {std::nullopt, std::vector<CpuTimes>{{0, 0, 0}}};
    times->clockAnswer = {{0, 0}};  // no clock known
    ProcessorFallbackSource source(nullptr, std::move(times));
    const SensorFrame frame = Poll(source);
    EXPECT_TRUE(frame.readings.empty());
    EXPECT_FALSE(frame.cpuLoad || frame.cpuClock);
}

TEST(ProcessorFallback, CountersServeWhatTheyHaveAndTheTimesTakeOverWhenTheyStop) {
    auto counters = std::make_unique<FixedCounters>();
    counters->arrays[PerfCounterId::Utility] = {{L"_Total", 12}, {L"0,0", 12}};
    counters->arrays[PerfCounterId::Thermal] = {{L"\\_TZ.CPUZ", 3282}};
    FixedCounters* raw = counters.get();
    auto times = TwoProcessors();
    ScriptedTimes* timesRaw = times.get();
    ProcessorFallbackSource source(std::move(counters), std::move(times));
    SensorFrame frame = Poll(source);
    EXPECT_FALSE(source.clockFromCounters());  // no frequency counter: the power manager's clock
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 12.0);
    EXPECT_FALSE(Find(frame, L"cpu/load/core02"));
    EXPECT_NEAR(*frame.cpuClock, 3000.0, 1e-9);
    EXPECT_NEAR(*frame.cpuTemp, 55.05, 1e-9);

    raw->collectOk = false;
    timesRaw->totalSamples.push_back(CpuTimes{60, 230, 170});  // another 200 ticks, all busy
    frame = Poll(source);
    EXPECT_FALSE(source.loadFromCounters());
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 100.0);
    EXPECT_FALSE(frame.cpuTemp);  // zones only ever come from the counters
}

TEST(ProcessorFallback, CounterClockWinsWhenComplete) {
    auto counters = std::make_unique<FixedCounters>();
    counters->arrays[PerfCounterId::Frequency] = {{L"_Total", 2000}};
    counters->arrays[PerfCounterId::Performance] = {{L"_Total", 150}};
    auto times = TwoProcessors();
    ScriptedTimes* timesRaw = times.get();
    ProcessorFallbackSource source(std::move(counters), std::move(times));
    const SensorFrame frame = Poll(source);
    EXPECT_TRUE(source.clockFromCounters());
    EXPECT_DOUBLE_EQ(*frame.cpuClock, 3000.0);
    EXPECT_EQ(timesRaw->clockCalls, 0);
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 70.0);  // load still from the times
}
