#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "providers/perf_counter.h"

using namespace kalorix;

namespace {

const std::wstring kCpu = L"Test CPU 9000";

const SensorReading* Find(const SensorFrame& frame, const std::wstring& id) {
    for (const auto& r : frame.readings)
        if (r.id == id) return &r;
    return nullptr;
}

std::vector<std::wstring> Ids(const SensorFrame& frame) {
    std::vector<std::wstring> ids;
    for (const auto& r : frame.readings) ids.push_back(r.id);
    return ids;
}

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
    int arrayReads = 0;
    int valueReads = 0;

    bool collect() override { return collectOk; }
    CounterArray readArray(PerfCounterId id) override {
        ++arrayReads;
        auto it = arrays.find(id);
        return it == arrays.end() ? CounterArray{} : it->second;
    }
    std::optional<double> readValue(PerfCounterId id) override {
        ++valueReads;
        return id == PerfCounterId::Frequency ? singleFrequency : std::nullopt;
    }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(PerfCounterDecode, CoreIndexAndLabels) {
    // The core index is the leading number after the first comma; the group is not part of it.
    const std::pair<const wchar_t*, std::optional<int>> index[] = {
        {L"0,3", 3}, {L"1,12", 12}, {L"0,7x", 7}, {L"0,0", 0}, {L"0,_Total", std::nullopt},
        {L"_Total", std::nullopt}, {L"3", std::nullopt}, {L"0,", std::nullopt}, {L"0, 3", std::nullopt},
        {L"a,b,5", std::nullopt}, {L"0,99999999999999999999", std::nullopt}};  // no overflow
    for (auto [instance, want] : index) EXPECT_EQ(CoreIndexOfInstance(instance), want) << instance;

    // Zones: the part after the last dot, upper-cased; channels: by suffix, psys and unknown ones unnamed.
    const std::pair<const wchar_t*, const wchar_t*> labels[] = {
        {L"\\_TZ.CPUZ", L"Bölge CPUZ"}, {L"\\_TZ.tz01", L"Bölge TZ01"}, {L"a.b.cpu", L"Bölge CPU"},
        {L"thrm", L"Bölge THRM"}, {L"zone.", L"Bölge "}};
    for (auto [zone, want] : labels) EXPECT_EQ(ThermalZoneLabel(zone), want) << zone;
    const std::pair<const wchar_t*, const wchar_t*> channels[] = {
        {L"rapl_package0_pkg", L"Paket gücü"}, {L"rapl_package0_pp0", L"Çekirdek gücü"},
        {L"rapl_package0_pp1", L"Tümleşik GPU gücü"}, {L"rapl_package0_dram", L"Bellek gücü"},
        {L"rapl_package0_psys", L""}, {L"pkg", L""}};
    for (auto [channel, want] : channels) EXPECT_EQ(EnergyChannelLabel(channel), want) << channel;

    EXPECT_EQ(CpuDisplayName(L"  Intel(R) Core(TM) i7  "), L"Intel(R) Core(TM) i7");
    EXPECT_EQ(CpuDisplayName(L""), L"İşlemci");
    EXPECT_EQ(CpuDisplayName(L"    "), L"İşlemci");
}

TEST(PerfCounterFold, LoadIsClampedAndOnlyTotalsAndCoresReport) {
    PerfCounterArrays a;
    a.utility = {{L"0,_Total", 50}, {L"_Total", 37.5}, {L"0,3", 120.5}, {L"0,0", -4}, {L"garbage", 10}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core04", L"cpu/load/core01"}));
    EXPECT_EQ(f.cpuLoad, 37.5);
    const SensorReading* core = Find(f, L"cpu/load/core04");
    EXPECT_EQ(core->label, L"Çekirdek #4 yük");
    EXPECT_EQ(core->device, kCpu);
    EXPECT_EQ(core->kind, SensorKind::Load);
    EXPECT_EQ(core->value, 100.0);
    EXPECT_EQ(Find(f, L"cpu/load/core01")->value, 0.0);
    EXPECT_EQ(Find(f, L"cpu/load/total")->label, L"Toplam yük");
    EXPECT_FALSE(f.cpuClock);
    EXPECT_FALSE(f.cpuTemp);
}

TEST(PerfCounterFold, ClockScalesTheBaseFrequencyAndIsNotClamped) {
    PerfCounterArrays a;
    a.frequency = {{L"_Total", 1800}, {L"_Total", 2400}};  // the last item counts
    a.performance = {{L"_Total", 125}, {L"0,9", 50}, {L"0,_Total", 90}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/clock/avg", L"cpu/clock/core10"}));
    EXPECT_DOUBLE_EQ(*f.cpuClock, 3000.0);
    EXPECT_DOUBLE_EQ(Find(f, L"cpu/clock/core10")->value, 1200.0);
    EXPECT_EQ(Find(f, L"cpu/clock/core10")->label, L"Çekirdek #10 frekans");
    EXPECT_EQ(Find(f, L"cpu/clock/avg")->label, L"Ortalama frekans");
    EXPECT_EQ(Find(f, L"cpu/clock/avg")->kind, SensorKind::Clock);
}

TEST(PerfCounterFold, BaseFrequencyFallsBackToTheSingleValue) {
    PerfCounterArrays a;
    a.performance = {{L"_Total", 100}};
    EXPECT_TRUE(Fold(a).readings.empty());  // no frequency at all: no clock
    EXPECT_FALSE(Fold(a).cpuClock);

    a.frequencyValue = 3100;
    EXPECT_DOUBLE_EQ(*Fold(a).cpuClock, 3100.0);

    a.frequency = {{L"_Total", 0}};  // a zero last item also falls back
    EXPECT_DOUBLE_EQ(*Fold(a).cpuClock, 3100.0);

    a.frequency = {{L"_Total", kNaN}};
    a.frequencyValue = -5;
    EXPECT_FALSE(Fold(a).cpuClock);
}

TEST(PerfCounterFold, ThermalZonesInTenthsOfKelvinWithThePlausibleRange) {
    PerfCounterArrays a;
    a.thermal = {{L"\\_TZ.CPUZ", 3282}, {L"\\_TZ.COLD", 2700}, {L"\\_TZ.HOT", 4000},
                 {L"thrm", 3332}, {L"\\_TZ.SAME", 3332}, {L"\\_TZ.NAN", kNaN}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"acpi/\\_TZ.CPUZ", L"acpi/thrm", L"acpi/\\_TZ.SAME"}));
    const SensorReading* cpuz = Find(f, L"acpi/\\_TZ.CPUZ");
    EXPECT_NEAR(cpuz->value, 55.05, 1e-9);
    EXPECT_EQ(cpuz->label, L"Bölge CPUZ");
    EXPECT_EQ(cpuz->device, L"ACPI termal bölgeleri");
    EXPECT_EQ(cpuz->kind, SensorKind::Temperature);
    EXPECT_EQ(Find(f, L"acpi/thrm")->label, L"Bölge THRM");
    ASSERT_TRUE(f.cpuTemp);
    EXPECT_NEAR(*f.cpuTemp, 60.05, 1e-9);
    EXPECT_EQ(f.cpuTempSource, L"ACPI");
}

TEST(PerfCounterFold, AcpiTemperatureNeverReplacesAnEarlierOneOrInventsOne) {
    PerfCounterArrays a;
    a.thermal = {{L"\\_TZ.CPUZ", 3282}};
    SensorFrame f;
    f.cpuTemp = 70.0;
    f.cpuTempSource = L"MSI EC";
    FoldPerfCounters(a, kCpu, f);
    EXPECT_EQ(f.cpuTemp, 70.0);
    EXPECT_EQ(f.cpuTempSource, L"MSI EC");
    EXPECT_EQ(f.readings.size(), 1u);  // the zone itself is still listed

    a.thermal = {{L"\\_TZ.COLD", 2700}};
    const SensorFrame none = Fold(a);
    EXPECT_TRUE(none.readings.empty());
    EXPECT_FALSE(none.cpuTemp);
    EXPECT_TRUE(none.cpuTempSource.empty());
}

TEST(PerfCounterFold, EnergyChannelsInMilliwattsAndThePackagePower) {
    PerfCounterArrays a;
    a.energy = {{L"RAPL_Package0_PKG", 15000}, {L"RAPL_Package0_PSYS", 30000},
                {L"RAPL_Package0_PP0", 9000}, {L"RAPL_Package0_DRAM", 1500},
                {L"RAPL_Package1_PKG", 12000}};
    const SensorFrame f = Fold(a);
    ASSERT_EQ(Ids(f), (std::vector<std::wstring>{L"rapl/rapl_package0_pkg", L"rapl/rapl_package0_pp0",
                                                 L"rapl/rapl_package0_dram", L"rapl/rapl_package1_pkg"}));
    const SensorReading* pkg = Find(f, L"rapl/rapl_package0_pkg");
    EXPECT_EQ(pkg->label, L"Paket gücü");
    EXPECT_EQ(pkg->kind, SensorKind::Power);
    EXPECT_EQ(pkg->device, kCpu);
    EXPECT_DOUBLE_EQ(pkg->value, 15.0);
    EXPECT_EQ(Find(f, L"rapl/rapl_package0_dram")->label, L"Bellek gücü");
    EXPECT_DOUBLE_EQ(*f.cpuPackagePower, 12.0);  // a later package channel wins

    a.energy = {{L"RAPL_Package0_PKG", 15000}};
    EXPECT_DOUBLE_EQ(*Fold(a).cpuPackagePower, 15.0);
    a.energy = {{L"RAPL_Package0_PSYS", 15000}};
    EXPECT_FALSE(Fold(a).cpuPackagePower);
    EXPECT_TRUE(Fold(a).readings.empty());
}

TEST(PerfCounterFold, ReadingsComeInCounterOrderWithUniqueIds) {
    PerfCounterArrays a;
    a.energy = {{L"X_PKG", 1000}};
    a.thermal = {{L"tz", 3000}};
    a.performance = {{L"_Total", 100}};
    a.frequency = {{L"_Total", 1000}};
    // Two processor groups: the core index repeats; the first instance keeps the id.
    a.utility = {{L"_Total", 10}, {L"0,0", 20}, {L"1,0", 30}};
    const SensorFrame f = Fold(a);
    EXPECT_EQ(Ids(f), (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core01", L"cpu/clock/avg",
                                                 L"acpi/tz", L"rapl/x_pkg"}));
    EXPECT_EQ(Find(f, L"cpu/load/core01")->value, 20.0);
}

TEST(PerfCounterFold, NonFiniteSamplesAreDropped) {
    PerfCounterArrays a;
    a.utility = {{L"_Total", kNaN}, {L"0,1", std::numeric_limits<double>::infinity()}};
    a.frequency = {{L"_Total", 2000}};
    a.performance = {{L"_Total", kNaN}};
    a.energy = {{L"A_PKG", kNaN}};
    const SensorFrame f = Fold(a);
    EXPECT_TRUE(f.readings.empty());
    EXPECT_FALSE(f.cpuLoad);
    EXPECT_FALSE(f.cpuClock);
    EXPECT_FALSE(f.cpuPackagePower);
}

TEST(PerfCounterPoll, FailedCollectionReadsNothing) {
    RecordedSource source;
    source.collectOk = false;
    source.arrays[PerfCounterId::Utility] = {{L"_Total", 10}};
    SensorFrame f;
    PollPerfCounters(source, kCpu, f);
    EXPECT_TRUE(f.readings.empty());
    EXPECT_EQ(source.arrayReads, 0);
    EXPECT_EQ(source.valueReads, 0);
}

TEST(PerfCounterPoll, SingleFrequencyValueIsAskedOnlyWithoutAUsableArray) {
    RecordedSource source;
    source.arrays[PerfCounterId::Frequency] = {{L"_Total", 2400}};
    source.arrays[PerfCounterId::Performance] = {{L"_Total", 125}};
    source.singleFrequency = 1.0;
    SensorFrame f;
    PollPerfCounters(source, kCpu, f);
    EXPECT_EQ(source.valueReads, 0);
    EXPECT_DOUBLE_EQ(*f.cpuClock, 3000.0);

    source.arrays[PerfCounterId::Frequency] = {};
    source.singleFrequency = std::nullopt;  // the single-value query fails too
    f.clear();
    PollPerfCounters(source, kCpu, f);
    EXPECT_EQ(source.valueReads, 1);
    EXPECT_FALSE(f.cpuClock);
    EXPECT_TRUE(f.readings.empty());

    source.singleFrequency = 2000.0;
    f.clear();
    PollPerfCounters(source, kCpu, f);
    EXPECT_DOUBLE_EQ(*f.cpuClock, 2500.0);
}
