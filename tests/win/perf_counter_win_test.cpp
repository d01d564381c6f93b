#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "providers/factories_win.h"
#include "providers/perf_counter_win.h"

using namespace kalorix;

namespace {

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Recorded answers of a machine with two cores, one zone and a package channel.
class RecordedCounters : public CounterSource {
public:
    explicit RecordedCounters(bool collectOk = true) : collectOk_(collectOk) {}
    bool collect() override { return collectOk_; }
    CounterArray readArray(PerfCounterId id) override {
        switch (id) {
            case PerfCounterId::Utility: return {{L"_Total", 40}, {L"0,_Total", 40}, {L"0,0", 30}, {L"0,1", 50}};
            case PerfCounterId::Performance: return {{L"_Total", 110}, {L"0,0", 100}, {L"0,1", 120}};
            case PerfCounterId::Frequency: return {};
            case PerfCounterId::Thermal: return {{L"\\_TZ.CPUZ", 3282}};
            case PerfCounterId::Energy: return {{L"RAPL_Package0_PKG", 15000}, {L"RAPL_Package0_PSYS", 1}};
        }
        return {};
    }
    std::optional<double> readValue(PerfCounterId id) override {
        if (id == PerfCounterId::Frequency) return 2000.0;
        return std::nullopt;
    }

private:
    bool collectOk_;
};

void ExpectWellFormed(const SensorFrame& frame) {
    std::set<std::wstring> ids;
    for (const auto& r : frame.readings) {
        EXPECT_TRUE(ids.insert(r.id).second) << "duplicate id";
        if (r.kind == SensorKind::Load) {
            EXPECT_GE(r.value, 0.0);
            EXPECT_LE(r.value, 100.0);
        }
        if (r.kind == SensorKind::Temperature) {
            EXPECT_GE(r.value, 5.0);
            EXPECT_LE(r.value, 125.0);
        }
    }
}

}  // namespace

TEST(PerfCounterProviderWin, RealCountersPollSafely) {
    std::unique_ptr<Provider> provider = CreatePerfCounterProvider();
    ASSERT_NE(provider, nullptr);  // always created, even when nothing can be read
    EXPECT_STREQ(provider->name(), L"Performans sayaçları");
    for (int i = 0; i < 3; ++i) {
        SensorFrame frame;
        provider->poll(frame);
        ExpectWellFormed(frame);
        if (UnderWine()) {
            // The processor, thermal and energy objects do not exist there.
            EXPECT_TRUE(frame.readings.empty());
            EXPECT_FALSE(frame.cpuLoad);
            EXPECT_FALSE(frame.cpuTemp);
        }
    }
}

TEST(PerfCounterProviderWin, ProcessorNameIsTrimmedAndNeverEmpty) {
    const std::wstring name = ReadCpuName();
    ASSERT_FALSE(name.empty());
    EXPECT_NE(name.front(), L' ');
    EXPECT_NE(name.back(), L' ');
}

TEST(PerfCounterProviderWin, RecordedCountersThroughTheProvider) {
    PerfCounterProvider provider(std::make_unique<RecordedCounters>(), L"  Kayıtlı İşlemci ");
    EXPECT_EQ(provider.cpuName(), L"Kayıtlı İşlemci");
    SensorFrame frame;
    provider.poll(frame);
    ExpectWellFormed(frame);
    std::vector<std::wstring> ids;
    for (const auto& r : frame.readings) ids.push_back(r.id);
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"cpu/load/total", L"cpu/load/core01", L"cpu/load/core02",
                                              L"cpu/clock/avg", L"cpu/clock/core01", L"cpu/clock/core02",
                                              L"acpi/\\_TZ.CPUZ", L"rapl/rapl_package0_pkg"}));
    EXPECT_EQ(frame.readings.front().device, L"Kayıtlı İşlemci");
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 40.0);
    EXPECT_DOUBLE_EQ(*frame.cpuClock, 2200.0);  // single-value frequency 2000 MHz x 110 %
    EXPECT_NEAR(*frame.cpuTemp, 55.05, 1e-9);
    EXPECT_EQ(frame.cpuTempSource, L"ACPI");
    EXPECT_DOUBLE_EQ(*frame.cpuPackagePower, 15.0);
}

TEST(PerfCounterProviderWin, NoSourceOrFailedCollectionReportsNothing) {
    PerfCounterProvider closed(nullptr, L"");
    EXPECT_FALSE(closed.hasSource());
    SensorFrame frame;
    closed.poll(frame);
    EXPECT_TRUE(frame.readings.empty());

    PerfCounterProvider failing(std::make_unique<RecordedCounters>(false), L"x");
    failing.poll(frame);
    EXPECT_TRUE(frame.readings.empty());
    EXPECT_FALSE(frame.cpuLoad);
}
