// The performance-counter provider's real sources: PDH (missing under Wine),
// the system's processor times and the processor name from the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include "providers/factories_win.h"
#include "providers/perf_counter_win.h"
#include "tests/win/test_util_win.h"

using namespace kalorix;

namespace {

size_t ProcessorCount() { return GetActiveProcessorCount(ALL_PROCESSOR_GROUPS); }

size_t CoreLoads(const SensorFrame& frame) {
    size_t n = 0;
    for (const auto& r : frame.readings) n += r.id.rfind(L"cpu/load/core", 0) == 0 ? 1 : 0;
    return n;
}

}  // namespace

TEST(PerfCounterProviderWin, RealSourcesGiveOneLoadPerProcessor) {
    std::unique_ptr<Provider> provider = CreatePerfCounterProvider();
    ASSERT_NE(provider, nullptr);  // always created, even when no counter can be added
    const size_t threads = std::min<size_t>(ProcessorCount(), 64);
    SensorFrame frame;
    // Load needs time to pass on every processor between two samples.
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            frame.clear();
            provider->poll(frame);
            return frame.cpuLoad && CoreLoads(frame) == threads;
        },
        5000));
    ASSERT_TRUE(frame.cpuLoad) << "neither the counters nor the system times gave a load";
    EXPECT_LE(*frame.cpuLoad, 100.0);
    if (test::UnderWine()) EXPECT_FALSE(frame.cpuTemp);  // no thermal zones there
    const std::wstring name = ReadCpuName();
    ASSERT_FALSE(name.empty());
    EXPECT_NE(name.back(), L' ');
}

TEST(PerfCounterProviderWin, SystemProcessorTimesAnswerAndNeverGoBack) {
    auto times = OpenSystemProcessorTimes();
    const auto first = times->perProcessor();
    ASSERT_TRUE(first && times->total());
    EXPECT_EQ(first->size(), std::min<size_t>(ProcessorCount(), 64));
    const auto second = times->perProcessor();
    ASSERT_TRUE(second && second->size() == first->size());
    for (size_t i = 0; i < first->size(); ++i)
        EXPECT_GE((*second)[i].idle + (*second)[i].kernel + (*second)[i].user,
                  (*first)[i].idle + (*first)[i].kernel + (*first)[i].user);
    EXPECT_EQ(times->clocks().size(), ProcessorCount());
}

TEST(PerfCounterProviderWin, WithoutASourceNothingIsRead) {
    PerfCounterProvider closed(nullptr, L"");
    EXPECT_FALSE(closed.hasSource());
    EXPECT_EQ(closed.cpuName(), L"İşlemci");
    SensorFrame nothing;
    closed.poll(nothing);
    EXPECT_TRUE(nothing.readings.empty());
}
