// Performance-counter readings: instance names, the fold of one collection
// (ranges, units, ids, order) and the poll through a counter source.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "providers/perf_counter.h"
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
class RecordedSource : public CounterSource {
public:
    bool collectOk = true;
    std::map<PerfCounterId, CounterArray> arrays;
    std::optional<double> singleFrequency;
    int arrayReads = 0, valueReads = 0;

    bool collect() override { return collectOk; }
    CounterArray readArray(PerfCounterId id) override {
        ++arrayReads;
        return arrays.count(id) ? arrays[id] : CounterArray{};
    }
    std::optional<double> readValue(PerfCounterId id) override {
        ++valueReads;
        return id == PerfCounterId::Frequency ? singleFrequency : std::nullopt;
    }
};

}  // namespace

TEST(PerfCounterDecode, InstanceNamesAndLabels) {
    // The core index is the leading number after the first comma.
    const std::pair<const wchar_t*, std::optional<int>> index[] = {
        {L"0,3", 3}, {L"1,12", 12}, {L"0,7x", 7}, {L"0,_Total", std::nullopt}, {L"_Total", std::nullopt},
        {L"3", std::nullopt}, {L"0,", std::nullopt}, {L"0, 3", std::nullopt}, {L"0,99999999999999999999", std::nullopt}};
    for (auto [instance, want] : index) EXPECT_EQ(CoreIndexOfInstance(instance), want) << instance;
    EXPECT_EQ(ThermalZoneLabel(L"\\_TZ.tz01"), L"Bölge TZ01");
    EXPECT_EQ(EnergyChannelLabel(L"rapl_package0_psys"), L"");  // not shown
    EXPECT_EQ(CpuDisplayName(L"  Intel(R) Core(TM) i7  "), L"Intel(R) Core(TM) i7");
    EXPECT_EQ(CpuDisplayName(L"    "), L"İşlemci");
}

TEST(PerfCounterFold, LoadIsClampedAndOnlyTotalsAndCoresReport) {
    PerfCounterArrays a;
    a.utility = {{L"0,_Total", 50}, {L"_Total", 37.5}, {L"0,3", 120.5}, {L"0,0", -4}, {L"garbage", 10}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core04", L"cpu/load/core01"}));
    EXPECT_EQ(f.cpuLoad, 37.5);
    EXPECT_EQ(Find(f, L"cpu/load/core04")->value, 100.0);
    EXPECT_EQ(Find(f, L"cpu/load/core01")->value, 0.0);
}

TEST(PerfCounterFold, ClockScalesTheBaseFrequencyWhichFallsBackToTheSingleValue) {
    PerfCounterArrays a;
    a.frequency = {{L"_Total", 1800}, {L"_Total", 2400}};  // the last item counts
    a.performance = {{L"_Total", 125}, {L"0,9", 50}, {L"0,_Total", 90}};
    SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/clock/avg", L"cpu/clock/core10"}));
    EXPECT_DOUBLE_EQ(*f.cpuClock, 3000.0);  // not clamped at 100 %
    EXPECT_DOUBLE_EQ(Find(f, L"cpu/clock/core10")->value, 1200.0);

    a.frequency.clear();
    EXPECT_FALSE(Fold(a).cpuClock);  // no base frequency at all: no clock
    a.frequencyValue = 3100;
    EXPECT_DOUBLE_EQ(*Fold(a).cpuClock, 3875.0);
    a.frequency = {{L"_Total", kNaN}};
    a.frequencyValue = -5;
    EXPECT_FALSE(Fold(a).cpuClock);
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
    msi.cpuTemp = 70.0;
    msi.cpuTempSource = L"MSI EC";
    FoldPerfCounters(a, kCpu, msi);
    EXPECT_EQ(msi.cpuTempSource, L"MSI EC");
    EXPECT_EQ(msi.readings.size(), 2u);
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

TEST(PerfCounterFold, CounterOrderUniqueIdsAndNoNonFiniteSample) {
    PerfCounterArrays a;
    a.energy = {{L"X_PKG", 1000}};
    a.thermal = {{L"tz", 3000}};
    a.performance = {{L"_Total", 100}};
    a.frequency = {{L"_Total", 1000}};
    a.utility = {{L"_Total", 10}, {L"0,0", 20}, {L"1,0", 30}};  // two groups: the core index repeats
    const SensorFrame f = Fold(a);
    EXPECT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core01", L"cpu/clock/avg",
                                                 L"acpi/tz", L"rapl/x_pkg"}));
    EXPECT_EQ(Find(f, L"cpu/load/core01")->value, 20.0);

    PerfCounterArrays bad;
    bad.utility = {{L"_Total", kNaN}, {L"0,1", std::numeric_limits<double>::infinity()}};
    bad.frequency = {{L"_Total", 2000}};
    bad.performance = {{L"_Total", kNaN}};
    bad.energy = {{L"A_PKG", kNaN}};
    const SensorFrame none = Fold(bad);
    EXPECT_TRUE(none.readings.empty());
    EXPECT_FALSE(none.cpuLoad || none.cpuClock || none.cpuPackagePower);
}

TEST(PerfCounterPoll, FailedCollectionReadsNothingAndTheSingleValueIsAskedOnlyWhenNeeded) {
    RecordedSource source;
    source.collectOk = false;
    source.arrays[PerfCounterId::Utility] = {{L"_Total", 10}};
    SensorFrame f;
    PollPerfCounters(source, kCpu, f);
    EXPECT_TRUE(f.readings.empty());
    EXPECT_EQ(source.arrayReads + source.valueReads, 0);

    source.collectOk = true;
    source.arrays[PerfCounterId::Frequency] = {{L"_Total", 2400}};
    source.arrays[PerfCounterId::Performance] = {{L"_Total", 125}};
    source.singleFrequency = 1.0;
    PollPerfCounters(source, kCpu, f);
    EXPECT_EQ(source.valueReads, 0);

    source.arrays[PerfCounterId::Frequency] = {};
    source.singleFrequency = 2000.0;
    f.clear();
    PollPerfCounters(source, kCpu, f);
    EXPECT_EQ(source.valueReads, 1);
    EXPECT_DOUBLE_EQ(*f.cpuClock, 2500.0);
}
