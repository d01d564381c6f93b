// The real GPU, storage and system providers on this machine. Under Wine this
// checks that what Wine lacks (GPU counters and kernel performance data, a
// battery) gives no reading and that no unimplemented stub is reached, which
// would abort the whole test program.
#include <windows.h>

#include <gtest/gtest.h>

#include "providers/disk_provider_win.h"
#include "providers/factories_win.h"
#include "providers/gpu_provider_win.h"
#include "providers/system_provider_win.h"
#include "test_util_win.h"

using namespace kalorix;

TEST(DevicesReal, GpuProviderSeesTheAdapterWithoutKernelOrCounterData) {
    GpuProvider p;
    ASSERT_FALSE(p.adapters().empty());
    SensorFrame f;
    for (int i = 0; i < 3; ++i) {
        f.clear();
        p.poll(f);
    }
    ASSERT_TRUE(f.gpu);
    if (test::UnderWine()) {
        EXPECT_FALSE(f.gpu->temperature);
        EXPECT_FALSE(f.gpu->load);
    }
}

TEST(DevicesReal, DiskProviderAndListDisksDoNotFail) {
    DiskProvider p;
    SensorFrame f;
    p.poll(f);
    for (const auto& r : f.readings) EXPECT_LE(r.value, 119.0);
    for (const auto& d : ListDisks()) EXPECT_LT(d.number, 16u);
}

TEST(DevicesReal, SystemProviderReportsMemory) {
    SystemProvider p;
    SensorFrame f;
    p.poll(f);
    EXPECT_GT(f.memoryTotalBytes, 0u);
    EXPECT_LE(f.memoryAvailableBytes, f.memoryTotalBytes);
}

TEST(DevicesReal, FactoriesGiveTheThreeProviders) {
    int mine = 0;
    for (const auto& p : CreateProviders(false)) {
        const std::wstring n = p->name();
        mine += n == CreateGpuProvider()->name() || n == CreateDiskProvider()->name() ||
                n == CreateSystemProvider()->name();
    }
    EXPECT_EQ(mine, 3);
}
