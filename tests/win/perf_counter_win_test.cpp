// The performance-counter provider's fallback source, the system's processor
// times (what Wine offers), the provider without any source, and the real
// provider set.
#include <windows.h>

#include <gtest/gtest.h>

#include "providers/factories_win.h"
#include "providers/perf_counter_win.h"
#include "tests/win/test_util_win.h"

using namespace kalorix;

TEST(PerfCounterProviderWin, SystemProcessorTimesAnswerAndNeverGoBack) {
    const size_t processors = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    auto times = OpenSystemProcessorTimes();
    const auto first = times->perProcessor();
    ASSERT_TRUE(first && times->total());
    EXPECT_EQ(first->size(), std::min<size_t>(processors, 64));
    const auto second = times->perProcessor();
    ASSERT_TRUE(second && second->size() == first->size());
    for (size_t i = 0; i < first->size(); ++i)
        EXPECT_GE((*second)[i].idle + (*second)[i].kernel + (*second)[i].user,
                  (*first)[i].idle + (*first)[i].kernel + (*first)[i].user);
    EXPECT_EQ(times->clocks().size(), processors);
    const std::wstring name = ReadCpuName();  // from the registry, trimmed
    ASSERT_FALSE(name.empty());
    EXPECT_NE(name.back(), L' ');
    // Without a source, nothing is read.
    PerfCounterProvider closed(nullptr, L"");
    EXPECT_FALSE(closed.hasSource());
    EXPECT_EQ(closed.cpuName(), L"İşlemci");
    SensorFrame nothing;
    closed.poll(nothing);
    EXPECT_TRUE(nothing.readings.empty());
}

TEST(ProviderFactoriesWin, TheRealSetHasTheGpuDiskAndSystemProviders) {
    int mine = 0;
    for (const auto& p : CreateProviders(false)) {
        const std::wstring n = p->name();
        mine += n == CreateGpuProvider()->name() || n == CreateDiskProvider()->name() ||
                n == CreateSystemProvider()->name();
    }
    EXPECT_EQ(mine, 3);
}
