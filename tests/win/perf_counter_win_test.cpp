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

size_t ProcessorCount() { return GetActiveProcessorCount(ALL_PROCESSOR_GROUPS); }

size_t CountWithPrefix(const SensorFrame& frame, const std::wstring& prefix) {
    size_t n = 0;
    for (const auto& r : frame.readings) n += r.id.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

}  // namespace

TEST(PerfCounterProviderWin, RealCountersPollSafelyAndLoadAlwaysArrives) {
    std::unique_ptr<Provider> provider = CreatePerfCounterProvider();
    ASSERT_NE(provider, nullptr);  // always created, even when nothing can be read
    EXPECT_STREQ(provider->name(), L"Performans sayaçları");
    // Load needs time to pass on every processor between two samples: poll
    // until every one has it (bounded).
    const size_t threads = std::min<size_t>(ProcessorCount(), 64);
    SensorFrame frame;
    for (int i = 0; i < 100; ++i) {
        frame.clear();
        provider->poll(frame);
        ExpectWellFormed(frame);
        if (frame.cpuLoad && CountWithPrefix(frame, L"cpu/load/core") == threads) break;
        Sleep(50);
    }
    ASSERT_TRUE(frame.cpuLoad) << "neither the counters nor the system times gave a load";
    EXPECT_GE(*frame.cpuLoad, 0.0);
    EXPECT_LE(*frame.cpuLoad, 100.0);
    // One load per logical processor of this group (the fallback's and the counters' alike).
    EXPECT_EQ(CountWithPrefix(frame, L"cpu/load/core"), threads);
    if (UnderWine()) EXPECT_FALSE(frame.cpuTemp);  // no thermal zones there
}

TEST(PerfCounterProviderWin, SystemProcessorTimesAnswer) {
    auto times = OpenSystemProcessorTimes();
    const auto first = times->perProcessor();
    const auto total = times->total();
    ASSERT_TRUE(first);
    ASSERT_TRUE(total);
    EXPECT_EQ(first->size(), std::min<size_t>(ProcessorCount(), 64));
    const auto second = times->perProcessor();
    ASSERT_TRUE(second);
    ASSERT_EQ(second->size(), first->size());
    for (size_t i = 0; i < first->size(); ++i) {  // accumulated times never go back
        EXPECT_GE((*second)[i].idle, (*first)[i].idle);
        EXPECT_GE((*second)[i].kernel, (*first)[i].kernel);
        EXPECT_GE((*second)[i].user, (*first)[i].user);
    }
    EXPECT_EQ(times->clocks().size(), ProcessorCount());
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
