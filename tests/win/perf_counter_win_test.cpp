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

// Recorded answers of two cores' load; the folding itself is checked by the native suite.
class RecordedCounters : public CounterSource {
public:
    bool collect() override { return true; }
    CounterArray readArray(PerfCounterId id) override {
        if (id == PerfCounterId::Utility) return {{L"_Total", 40}, {L"0,_Total", 40}, {L"0,0", 30}, {L"0,1", 50}};
        return {};
    }
    std::optional<double> readValue(PerfCounterId) override { return std::nullopt; }
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

TEST(PerfCounterProviderWin, ProviderPollsItsSourceUnderTheTrimmedNameOrNothingWithoutOne) {
    PerfCounterProvider provider(std::make_unique<RecordedCounters>(), L"  Kayıtlı İşlemci ");
    EXPECT_EQ(provider.cpuName(), L"Kayıtlı İşlemci");
    SensorFrame frame;
    provider.poll(frame);
    ExpectWellFormed(frame);
    ASSERT_EQ(frame.readings.size(), 3u);  // total and two cores
    for (const auto& r : frame.readings) EXPECT_EQ(r.device, L"Kayıtlı İşlemci");
    EXPECT_DOUBLE_EQ(*frame.cpuLoad, 40.0);

    PerfCounterProvider closed(nullptr, L"");
    EXPECT_FALSE(closed.hasSource());
    SensorFrame nothing;
    closed.poll(nothing);
    EXPECT_TRUE(nothing.readings.empty());
    EXPECT_FALSE(nothing.cpuLoad);
}
