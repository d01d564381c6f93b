// The real GPU, storage and system providers on this machine. Under Wine this
// checks what Wine offers (one DXGI adapter, no GPU counters or kernel
// performance data, no battery) and that no unimplemented stub is reached,
// which would abort the whole test program.
#include <windows.h>

#include <gtest/gtest.h>

#include "providers/disk_provider_win.h"
#include "providers/factories_win.h"
#include "providers/gpu_provider_win.h"
#include "providers/system_provider_win.h"
#include "sensors/text.h"

using namespace kalorix;

namespace {

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool HostHasBattery() {
    // Wine takes the power status from the host's power-supply class.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(L"Z:\\sys\\class\\power_supply\\BAT*", &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

bool HasReadingEndingWith(const SensorFrame& f, const std::wstring& suffix) {
    for (const auto& r : f.readings)
        if (r.id.size() >= suffix.size() && r.id.compare(r.id.size() - suffix.size(), suffix.size(), suffix) == 0)
            return true;
    return false;
}

}  // namespace

TEST(DevicesReal, GpuProviderSeesTheAdapterWithoutKernelOrCounterData) {
    GpuProvider p;
    ASSERT_FALSE(p.adapters().empty());
    for (const GpuAdapter& a : p.adapters()) EXPECT_FALSE(a.name.empty());
    SensorFrame f;
    for (int i = 0; i < 3; ++i) {
        f.clear();
        p.poll(f);
    }
    ASSERT_TRUE(f.gpu);
    EXPECT_EQ(f.gpu->name, p.adapters()[0].name);
    for (const auto& r : f.readings) {
        EXPECT_EQ(r.id.rfind(L"gpu/luid_0x", 0), 0u) << WideToUtf8(r.id);
        EXPECT_EQ(r.device.empty(), false);
    }
    if (UnderWine()) {
        EXPECT_FALSE(HasReadingEndingWith(f, L"/temp"));
        EXPECT_FALSE(HasReadingEndingWith(f, L"/load"));
        EXPECT_FALSE(HasReadingEndingWith(f, L"/fan"));
        EXPECT_FALSE(f.gpu->temperature);
        EXPECT_FALSE(f.gpu->load);
    }
}

TEST(DevicesReal, DiskProviderAndListDisksDoNotFail) {
    DiskProvider p;
    SensorFrame f;
    p.poll(f);
    for (const auto& r : f.readings) {
        EXPECT_EQ(r.kind, SensorKind::Temperature);
        EXPECT_GE(r.value, 1.0);
        EXPECT_LE(r.value, 119.0);
    }
    EXPECT_EQ(f.hottestDiskTemp.has_value(), !f.readings.empty());
    const auto list = ListDisks();
    uint32_t last = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_LT(list[i].number, 16u);
        if (i) EXPECT_GT(list[i].number, last);
        last = list[i].number;
        EXPECT_FALSE(list[i].bus.empty());
    }
    for (const DiskEntry& d : p.disks()) EXPECT_FALSE(d.name.empty());
}

TEST(DevicesReal, SystemProviderReportsMemory) {
    SystemProvider p;
    SensorFrame f;
    p.poll(f);
    ASSERT_GE(f.readings.size(), 3u);
    EXPECT_EQ(f.readings[0].id, L"mem/load");
    EXPECT_EQ(f.readings[1].id, L"mem/used");
    EXPECT_EQ(f.readings[2].id, L"mem/avail");
    EXPECT_GT(f.memoryTotalBytes, 0u);
    EXPECT_LE(f.memoryAvailableBytes, f.memoryTotalBytes);
    EXPECT_GE(f.readings[0].value, 0.0);
    EXPECT_LE(f.readings[0].value, 100.0);
    EXPECT_NEAR(f.readings[1].value + f.readings[2].value, f.memoryTotalBytes / 1073741824.0, 1e-6);
    if (UnderWine() && !HostHasBattery()) {
        EXPECT_FALSE(f.hasBattery);
        EXPECT_EQ(f.readings.size(), 3u);
        EXPECT_FALSE(p.batteryInfo().valid);
    }
}

TEST(DevicesReal, FactoriesGiveTheThreeProvidersByName) {
    auto gpu = CreateGpuProvider();
    auto disk = CreateDiskProvider();
    auto sys = CreateSystemProvider();
    ASSERT_TRUE(gpu && disk && sys);
    EXPECT_STREQ(gpu->name(), L"GPU (D3DKMT)");
    EXPECT_STREQ(disk->name(), L"Depolama");
    EXPECT_STREQ(sys->name(), L"Sistem");
    auto list = CreateProviders(false);
    int mine = 0;
    for (const auto& p : list) {
        const std::wstring n = p->name();
        if (n == L"GPU (D3DKMT)" || n == L"Depolama" || n == L"Sistem") ++mine;
    }
    EXPECT_EQ(mine, 3);
}
