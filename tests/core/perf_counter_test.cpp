// Processor readings from the performance counters, and the fallback to the system's time accounting.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <deque>
#include <map>

#include "providers/perf_counter.h"
#include "providers/processor_times.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;
using test::Ids;

namespace {

const std::wstring kCpu = L"Test CPU 9000";
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SensorFrame Fold(const PerfCounterArrays& arrays) {
    SensorFrame frame;
    FoldPerfCounters(arrays, kCpu, frame);
    return frame;
}

// Recorded counter arrays, answering like the PDH source does.
struct RecordedSource : CounterSource {
    bool collectOk = true;
    std::map<PerfCounterId, CounterArray> arrays;
    std::optional<double> singleFrequency;
    int arrayReads = 0, valueReads = 0;
    bool collect() override { return collectOk; }
    CounterArray readArray(PerfCounterId id) override { return ++arrayReads, arrays[id]; }
    std::optional<double> readValue(PerfCounterId id) override {
        return ++valueReads, id == PerfCounterId::Frequency ? singleFrequency : std::nullopt;
    }
};

}  // namespace

TEST(PerfCounterDecode, InstanceNamesAndLabels) {
    // The core index is the leading number after the first comma.
    const std::pair<const wchar_t*, std::optional<int>> index[] = {
        {L"0,3", 3}, {L"1,12", 12}, {L"0,7x", 7}, {L"0,_Total", std::nullopt}, {L"_Total", std::nullopt},
        {L"3", std::nullopt}, {L"0,", std::nullopt}, {L"0, 3", std::nullopt}, {L"0,99999999999999999999", std::nullopt}};
    for (auto [instance, want] : index) EXPECT_EQ(CoreIndexOfInstance(instance), want) << instance;
    // The system channel is not shown; a blank processor name has a default.
    EXPECT_EQ(ThermalZoneLabel(L"\\_TZ.tz01") + L"|" + EnergyChannelLabel(L"rapl_package0_psys") + L"|" +
                  CpuDisplayName(L"  Intel(R) Core(TM) i7  ") + L"|" + CpuDisplayName(L"    "),
              L"Bölge TZ01||Intel(R) Core(TM) i7|İşlemci");
}

TEST(PerfCounterFold, ClockScalesTheBaseFrequencyWhichFallsBackToTheSingleValue) {
    PerfCounterArrays a;
    a.frequency = {{L"_Total", 1800}, {L"_Total", 2400}};  // the last item counts
    a.performance = {{L"_Total", 125}, {L"0,9", 50}, {L"0,_Total", 90}};
    SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/clock/avg", L"cpu/clock/core10"}));
    EXPECT_EQ(std::pair(*f.cpuClock, Find(f, L"cpu/clock/core10")->value), std::pair(3000.0, 1200.0));  // no clamp at 100 %
    a.frequency = {{L"_Total", kNaN}}, a.frequencyValue = 3100;
    EXPECT_DOUBLE_EQ(*Fold(a).cpuClock, 3875.0);
    a.frequencyValue = -5;
    EXPECT_FALSE(Fold(a).cpuClock);  // no usable base frequency at all: no clock
}

TEST(PerfCounterFold, ThermalZonesInTenthsOfKelvinWithinThePlausibleRange) {
    PerfCounterArrays a;
    a.thermal = {{L"\\_TZ.CPUZ", 3282}, {L"\\_TZ.COLD", 2700}, {L"\\_TZ.HOT", 4000},
                 {L"thrm", 3332}, {L"\\_TZ.NAN", kNaN}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"acpi/\\_TZ.CPUZ", L"acpi/thrm"}));
    EXPECT_NEAR(Find(f, L"acpi/\\_TZ.CPUZ")->value, 55.05, 1e-9);
    EXPECT_NEAR(*f.cpuTemp, 60.05, 1e-9);  // the hottest zone
    EXPECT_EQ(f.cpuTempSource, L"ACPI");

    // An earlier provider's temperature is never replaced; the zone is still listed.
    SensorFrame msi;
    msi.cpuTemp = 70.0, msi.cpuTempSource = L"MSI EC";
    FoldPerfCounters(a, kCpu, msi);
    EXPECT_TRUE(msi.cpuTempSource == L"MSI EC" && msi.readings.size() == 2);
}

TEST(PerfCounterFold, EnergyChannelsInMilliwattsAndThePackagePower) {
    PerfCounterArrays a;
    a.energy = {{L"RAPL_Package0_PKG", 15000}, {L"RAPL_Package0_PSYS", 30000}, {L"RAPL_Package0_DRAM", 1500},
                {L"RAPL_Package1_PKG", 12000}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"rapl/rapl_package0_pkg", L"rapl/rapl_package0_dram",
                                                 L"rapl/rapl_package1_pkg"}));
    EXPECT_DOUBLE_EQ(*f.cpuPackagePower, 12.0);  // a later package channel wins
    a.energy = {{L"RAPL_Package0_PSYS", 15000}};
    EXPECT_FALSE(Fold(a).cpuPackagePower);
}

// Only totals and cores report, load clamped to 0..100, ids unique, counters in a fixed order.
TEST(PerfCounterFold, LoadClampCounterOrderUniqueIdsAndNoNonFiniteSample) {
    PerfCounterArrays a;
    a.energy = {{L"X_PKG", 1000}}, a.thermal = {{L"tz", 3000}};
    a.performance = {{L"_Total", 100}}, a.frequency = {{L"_Total", 1000}};
    a.utility = {{L"0,_Total", 50}, {L"_Total", 37.5}, {L"0,3", 120.5}, {L"0,0", -4}, {L"garbage", 10},
                 {L"1,0", 30}};  // two groups: the core index repeats
    const SensorFrame f = Fold(a);
    EXPECT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core04", L"cpu/load/core01",
                                                 L"cpu/clock/avg", L"acpi/tz", L"rapl/x_pkg"}));
    // Clamped; of the repeated ids the first stays.
    EXPECT_EQ(std::tuple(*f.cpuLoad, Find(f, L"cpu/load/core04")->value, Find(f, L"cpu/load/core01")->value),
              std::tuple(37.5, 100.0, 0.0));

    PerfCounterArrays bad;
    bad.utility = {{L"_Total", kNaN}, {L"0,1", std::numeric_limits<double>::infinity()}};
    bad.frequency = {{L"_Total", 2000}}, bad.performance = {{L"_Total", kNaN}}, bad.energy = {{L"A_PKG", kNaN}};
    const SensorFrame none = Fold(bad);
    EXPECT_TRUE(none.readings.empty());
    EXPECT_FALSE(none.cpuLoad || none.cpuClock || none.cpuPackagePower);
}

TEST(PerfCounterPoll, FailedCollectionReadsNothingAndTheSingleValueIsAskedOnlyWhenNeeded) {
    RecordedSource source;
    source.collectOk = false, source.arrays[PerfCounterId::Utility] = {{L"_Total", 10}};
    SensorFrame f;
    PollPerfCounters(source, kCpu, f);
    EXPECT_TRUE(f.readings.empty() && source.arrayReads + source.valueReads == 0);
    source.collectOk = true;
    source.arrays[PerfCounterId::Frequency] = {{L"_Total", 2400}};
    PollPerfCounters(source, kCpu, f);
    EXPECT_EQ(source.valueReads, 0);
    source.arrays = {{PerfCounterId::Performance, {{L"_Total", 125}}}}, source.singleFrequency = 2000.0;
    PollPerfCounters(source, kCpu, f = {});
    EXPECT_DOUBLE_EQ(*f.cpuClock, 2500.0);
}

namespace {

constexpr uint64_t kMax = ~uint64_t(0);

template <class T>
std::optional<T> Next(std::deque<std::optional<T>>& list) {
    if (list.empty()) return std::nullopt;
    auto v = list.front();
    list.pop_front();
    return v;
}

// Scripted samples: each call to perProcessor/total takes the next entry.
struct ScriptedTimes : ProcessorTimesSource {
    std::deque<std::optional<std::vector<CpuTimes>>> perSamples;
    std::deque<std::optional<CpuTimes>> totalSamples;
    std::vector<ProcessorClock> clockAnswer;
    int clockCalls = 0;
    std::optional<std::vector<CpuTimes>> perProcessor() override { return Next(perSamples); }
    std::optional<CpuTimes> total() override { return Next(totalSamples); }
    std::vector<ProcessorClock> clocks() override { return ++clockCalls, clockAnswer; }
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
    const struct { CpuTimes before, after; std::optional<double> load; } cases[] = {
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
    using Loads = std::vector<std::optional<double>>;
    EXPECT_EQ(LoadsBetween({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, three), (Loads{50.0, 100.0, 0.0}));
    EXPECT_EQ(LoadsBetween({{0, 0, 0}}, three), (Loads{50.0, std::nullopt, std::nullopt}));
}

TEST(ProcessorFallback, WithoutCountersTheSystemTimesGiveTheCounterReadings) {
    ProcessorFallbackSource source(nullptr, TwoProcessors());
    const SensorFrame frame = Poll(source);
    // The system-wide times cover every processor group; the clock is the mean of the current clocks.
    EXPECT_EQ(std::pair(*frame.cpuLoad, Find(frame, L"cpu/load/core02")->value), std::pair(70.0, 75.0));
    EXPECT_NEAR(*frame.cpuClock, 3000.0, 1e-9);

    auto noTotal = TwoProcessors();
    noTotal->totalSamples.clear();
    ProcessorFallbackSource sum(nullptr, std::move(noTotal));
    EXPECT_DOUBLE_EQ(*Poll(sum).cpuLoad, 50.0);  // (25 + 75) busy of 200

    auto times = std::make_unique<ScriptedTimes>();  // first sample failed, no clock known
    times->perSamples = {std::nullopt, std::vector<CpuTimes>{{0, 0, 0}}};
    times->clockAnswer = {{0, 0}};
    ProcessorFallbackSource none(nullptr, std::move(times));
    EXPECT_TRUE(Poll(none).readings.empty());
}

TEST(ProcessorFallback, CountersServeWhatTheyHaveAndTheTimesTakeOverWhenTheyStop) {
    auto counters = std::make_unique<RecordedSource>();
    counters->arrays[PerfCounterId::Utility] = {{L"_Total", 12}, {L"0,0", 12}};
    counters->arrays[PerfCounterId::Thermal] = {{L"\\_TZ.CPUZ", 3282}};
    RecordedSource* raw = counters.get();
    auto times = TwoProcessors();
    ScriptedTimes* timesRaw = times.get();
    ProcessorFallbackSource source(std::move(counters), std::move(times));
    SensorFrame frame = Poll(source);
    // No frequency counter: the power manager's clock.
    EXPECT_TRUE(!source.clockFromCounters() && *frame.cpuLoad == 12.0 && !Find(frame, L"cpu/load/core02"));
    EXPECT_NEAR(*frame.cpuClock, 3000.0, 1e-9);
    EXPECT_TRUE(frame.cpuTemp);

    raw->collectOk = false;
    timesRaw->totalSamples.push_back(CpuTimes{60, 230, 170});  // another 200 ticks, all busy
    frame = Poll(source);
    EXPECT_TRUE(!source.loadFromCounters() && *frame.cpuLoad == 100.0);
    EXPECT_FALSE(frame.cpuTemp);  // zones only ever come from the counters

    // A complete counter clock wins; the load still comes from the times.
    raw->collectOk = true;
    raw->arrays = {{PerfCounterId::Frequency, {{L"_Total", 2000}}}, {PerfCounterId::Performance, {{L"_Total", 150}}}};
    const int clockCalls = timesRaw->clockCalls;
    timesRaw->totalSamples.push_back(CpuTimes{60, 330, 270});
    frame = Poll(source);
    EXPECT_TRUE(source.clockFromCounters() && timesRaw->clockCalls == clockCalls);
    EXPECT_EQ(std::pair(*frame.cpuClock, *frame.cpuLoad), std::pair(3000.0, 100.0));
}
