#include <gtest/gtest.h>

#include <cstring>

#include "providers/gpu_provider.h"

using namespace kalorix;

namespace {

const std::wstring kKeyA = L"luid_0x00000000_0x0000D1F2";
const std::wstring kKeyB = L"luid_0x00000001_0x0000ABCD";

std::wstring Engine(const std::wstring& key, int pid, int eng, const std::wstring& type) {
    return L"pid_" + std::to_wstring(pid) + L"_" + key + L"_phys_0_eng_" + std::to_wstring(eng) + L"_engtype_" + type;
}

GpuAdapterSample Sample(const std::wstring& name, const std::wstring& key, uint64_t dedicated) {
    GpuAdapterSample s;
    s.name = name;
    s.luidKey = key;
    s.dedicatedBytes = dedicated;
    s.discrete = IsDiscreteGpu(dedicated);
    return s;
}

}  // namespace

TEST(GpuCore, LuidKeyIsHighThenLowInUpperCaseHex) {
    EXPECT_EQ(GpuLuidKey(0, 0xD1F2), L"luid_0x00000000_0x0000D1F2");
    EXPECT_EQ(GpuLuidKey(1, 0xABCDEF01u), L"luid_0x00000001_0xABCDEF01");
    EXPECT_EQ(GpuLuidKey(-1, 0), L"luid_0xFFFFFFFF_0x00000000");  // signed high part
}

TEST(GpuCore, EngineTypesOfOneAdapterAddUpAndTheBusiestWins) {
    const std::vector<GpuCounterItem> items = {
        {Engine(kKeyA, 100, 0, L"3D"), 30.0, 0},
        {Engine(kKeyA, 200, 0, L"3D"), 25.0, 0},
        {Engine(kKeyA, 100, 3, L"VideoDecode"), 40.0, 0},
        {Engine(kKeyB, 100, 0, L"Copy"), 5.0, 0},
        {Engine(kKeyB, 100, 1, L"3D"), 7.0, 0x800007D2u},          // bad status: skipped
        {L"pid_1_" + kKeyB + L"_eng_0_engtype_3D", 90.0, 0},        // no "_phys_": skipped
        {L"pid_1_" + kKeyB + L"_phys_0_eng_0", 90.0, 0},            // no engine type: skipped
        {L"luid_without_tags", 90.0, 0},
    };
    const auto loads = GpuEngineLoads(items);
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_DOUBLE_EQ(loads.at(kKeyA), 55.0);
    EXPECT_DOUBLE_EQ(loads.at(kKeyB), 5.0);
}

TEST(GpuCore, EngineLoadIsNeverNegativeAndCappedOnlyWhenApplied) {
    const auto loads = GpuEngineLoads({{Engine(kKeyA, 1, 0, L"3D"), -3.0, 0},
                                       {Engine(kKeyB, 1, 0, L"3D"), 80.0, 0},
                                       {Engine(kKeyB, 2, 0, L"3D"), 50.0, 0}});
    EXPECT_DOUBLE_EQ(loads.at(kKeyA), 0.0);
    EXPECT_DOUBLE_EQ(loads.at(kKeyB), 130.0);

    GpuAdapterSample s = Sample(L"GPU", kKeyB, 0);
    ApplyGpuCounterMaps(s, loads, {});
    ASSERT_TRUE(s.load);
    EXPECT_DOUBLE_EQ(*s.load, 100.0);
    GpuAdapterSample other = Sample(L"GPU", L"luid_0x00000009_0x00000009", 0);
    ApplyGpuCounterMaps(other, loads, {});
    EXPECT_FALSE(other.load);
}

TEST(GpuCore, DedicatedUsageAddsPhysicalPartsAndNeedsBothTags) {
    const auto usage = GpuDedicatedUsage({
        {kKeyA + L"_phys_0", 1024.0 * 1024 * 1024, 0},
        {kKeyA + L"_phys_1", 512.0 * 1024 * 1024, 0},
        {kKeyB, 4096.0, 0},                  // no "_phys_"
        {kKeyB + L"_phys_0", 4096.0, 1},     // bad status
    });
    ASSERT_EQ(usage.size(), 1u);
    EXPECT_DOUBLE_EQ(usage.at(kKeyA), 1.5 * 1024 * 1024 * 1024);

    GpuAdapterSample s = Sample(L"GPU", kKeyA, 2ull << 30);
    ApplyGpuCounterMaps(s, {}, usage);
    EXPECT_EQ(s.usedBytes, 3ull << 29);
    GpuAdapterSample neg = Sample(L"GPU", kKeyA, 2ull << 30);
    ApplyGpuCounterMaps(neg, {}, {{kKeyA, -5.0}});
    EXPECT_EQ(neg.usedBytes, 0u);
}

TEST(GpuCore, PerfDataFieldsAndTheirRanges) {
    uint8_t raw[64] = {};
    const uint32_t fan = 1234, temp = 455;
    std::memcpy(raw + 48, &fan, 4);
    std::memcpy(raw + 56, &temp, 4);
    const auto perf = ParseGpuPerfData(raw, sizeof raw);
    ASSERT_TRUE(perf);
    EXPECT_EQ(perf->fanRpm, 1234u);
    EXPECT_EQ(perf->temperatureDeci, 455u);
    EXPECT_FALSE(ParseGpuPerfData(raw, 63));

    EXPECT_DOUBLE_EQ(*GpuTemperatureFromRaw(455), 45.5);
    EXPECT_DOUBLE_EQ(*GpuTemperatureFromRaw(1), 0.1);
    EXPECT_DOUBLE_EQ(*GpuTemperatureFromRaw(1499), 149.9);
    EXPECT_FALSE(GpuTemperatureFromRaw(0));
    EXPECT_FALSE(GpuTemperatureFromRaw(1500));
    EXPECT_FALSE(GpuTemperatureFromRaw(0xFFFFFFFFu));
    EXPECT_DOUBLE_EQ(*GpuFanFromRaw(1), 1.0);
    EXPECT_DOUBLE_EQ(*GpuFanFromRaw(19999), 19999.0);
    EXPECT_FALSE(GpuFanFromRaw(0));
    EXPECT_FALSE(GpuFanFromRaw(20000));
}

TEST(GpuCore, DiscreteAdaptersComeFirstAndKeepTheirOrder) {
    struct A {
        int id;
        bool discrete;
    };
    std::vector<A> list = {{0, false}, {1, true}, {2, false}, {3, true}};
    OrderGpuAdapters(list);
    std::vector<int> ids;
    for (const A& a : list) ids.push_back(a.id);
    EXPECT_EQ(ids, (std::vector<int>{1, 3, 0, 2}));
    EXPECT_TRUE(IsDiscreteGpu(1ull << 30));
    EXPECT_FALSE(IsDiscreteGpu((1ull << 30) - 1));
}

TEST(GpuCore, MemorySensorNeeds256MiBAndAKnownCounter) {
    SensorFrame frame;
    AppendGpuAdapter(frame, Sample(L"small", kKeyA, 128ull << 20));
    EXPECT_TRUE(frame.readings.empty());

    AppendGpuAdapter(frame, Sample(L"big", kKeyB, 2ull << 30));  // no instance matched: 0
    ASSERT_EQ(frame.readings.size(), 1u);
    EXPECT_EQ(frame.readings[0].id, L"gpu/" + kKeyB + L"/mem");
    EXPECT_EQ(frame.readings[0].value, 0.0);

    GpuAdapterSample unknown = Sample(L"big", kKeyB, 2ull << 30);
    unknown.usageKnown = false;  // the counter itself is missing
    SensorFrame f2;
    AppendGpuAdapter(f2, unknown);
    EXPECT_TRUE(f2.readings.empty());
    EXPECT_TRUE(f2.gpu);
}

TEST(GpuCore, SummaryGoesToTheFirstAdapterUnlessOnlyALaterOneHasATemperature) {
    GpuAdapterSample discrete = Sample(L"discrete", kKeyB, 4ull << 30);
    GpuAdapterSample integrated = Sample(L"integrated", kKeyA, 128ull << 20);
    {
        SensorFrame frame;
        discrete.temperature = 50.0;
        integrated.temperature = 40.0;
        AppendGpuAdapter(frame, discrete);
        AppendGpuAdapter(frame, integrated);
        EXPECT_EQ(frame.gpu->name, L"discrete");
    }
    {
        SensorFrame frame;
        discrete.temperature.reset();
        AppendGpuAdapter(frame, discrete);
        AppendGpuAdapter(frame, integrated);
        EXPECT_EQ(frame.gpu->name, L"integrated");
        EXPECT_FALSE(frame.gpu->discrete);
        EXPECT_EQ(frame.gpu->temperature, 40.0);
        GpuAdapterSample third = Sample(L"third", L"luid_0x00000000_0x00000003", 0);
        third.temperature = 70.0;
        AppendGpuAdapter(frame, third);  // the summary already has a temperature
        EXPECT_EQ(frame.gpu->name, L"integrated");
    }
    {
        SensorFrame frame;
        integrated.temperature.reset();
        AppendGpuAdapter(frame, discrete);
        AppendGpuAdapter(frame, integrated);
        EXPECT_EQ(frame.gpu->name, L"discrete");
        EXPECT_FALSE(frame.gpu->temperature);
    }
}
