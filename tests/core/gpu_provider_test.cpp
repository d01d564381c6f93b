// GPU provider rules: LUID keys, counter sums, the display kernel's record, order and summary.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>

#include "providers/gpu_provider.h"

using namespace kalorix;

namespace {

const std::wstring kKeyA = L"luid_0x00000000_0x0000D1F2";
const std::wstring kKeyB = L"luid_0x00000001_0x0000ABCD";

std::wstring Engine(const std::wstring& key, int pid, int eng, const std::wstring& type) {
    return L"pid_" + std::to_wstring(pid) + L"_" + key + L"_phys_0_eng_" + std::to_wstring(eng) + L"_engtype_" + type;
}

GpuAdapterSample Sample(const std::wstring& name, const std::wstring& key, uint64_t dedicated,
                        std::optional<double> temperature = std::nullopt) {
    GpuAdapterSample s;
    s.name = name, s.luidKey = key, s.dedicatedBytes = dedicated, s.temperature = temperature;
    s.discrete = IsDiscreteGpu(dedicated);
    return s;
}

}  // namespace

TEST(GpuCore, LuidKeyIsHighThenLowInUpperCaseHex) {
    EXPECT_EQ(GpuLuidKey(1, 0xABCDEF01u), L"luid_0x00000001_0xABCDEF01");
    EXPECT_EQ(GpuLuidKey(-1, 0), L"luid_0xFFFFFFFF_0x00000000");  // signed high part
}

TEST(GpuCore, EngineLoadsAddUpPerTypeAndTheBusiestTypeWins) {
    const auto loads = GpuEngineLoads({
        {Engine(kKeyA, 100, 0, L"3D"), 30.0, 0}, {Engine(kKeyA, 200, 0, L"3D"), 25.0, 0},
        {Engine(kKeyA, 100, 3, L"VideoDecode"), 40.0, 0},
        {Engine(kKeyB, 100, 0, L"Copy"), 80.0, 0}, {Engine(kKeyB, 200, 0, L"Copy"), 50.0, 0},
        {Engine(kKeyB, 100, 1, L"3D"), 7.0, 0x800007D2u},         // bad status: skipped
        {L"pid_1_" + kKeyB + L"_eng_0_engtype_3D", 90.0, 0},       // no "_phys_": skipped
        {L"pid_1_" + kKeyB + L"_phys_0_eng_0", 90.0, 0},           // no engine type: skipped
        {Engine(L"luid_0x00000000_0x00000009", 1, 0, L"3D"), -3.0, 0},
    });
    EXPECT_EQ(loads, (std::map<std::wstring, double>{
                         {kKeyA, 55.0}, {kKeyB, 130.0}, {L"luid_0x00000000_0x00000009", 0.0}}));
    GpuAdapterSample s = Sample(L"GPU", kKeyB, 0), other = Sample(L"GPU", L"luid_0x00000007_0x00000007", 0);
    ApplyGpuCounterMaps(s, loads, {}), ApplyGpuCounterMaps(other, loads, {});
    EXPECT_EQ(s.load, 100.0);  // capped only when applied
    EXPECT_FALSE(other.load);
}

TEST(GpuCore, DedicatedUsageAddsPhysicalPartsAndNeedsBothTags) {
    const auto usage = GpuDedicatedUsage({{kKeyA + L"_phys_0", 1024.0 * 1024 * 1024, 0},
        {kKeyA + L"_phys_1", 512.0 * 1024 * 1024, 0}, {kKeyB, 4096.0, 0} /* no "_phys_" */,
        {kKeyB + L"_phys_0", 4096.0, 1} /* bad status */});
    ASSERT_EQ(usage.size(), 1u);
    GpuAdapterSample s = Sample(L"GPU", kKeyA, 2ull << 30);
    ApplyGpuCounterMaps(s, {}, usage);
    EXPECT_EQ(s.usedBytes, 3ull << 29);
    ApplyGpuCounterMaps(s, {}, {{kKeyA, -5.0}});
    EXPECT_EQ(s.usedBytes, 0u);
}

TEST(GpuCore, PerfDataRecordAndTheRangesOfItsFields) {
    uint8_t raw[64] = {};
    const uint32_t fan = 1234, temp = 455;
    std::memcpy(raw + 48, &fan, 4);
    std::memcpy(raw + 56, &temp, 4);
    const auto perf = ParseGpuPerfData(raw, sizeof raw);
    ASSERT_TRUE(perf);
    EXPECT_EQ(perf->fanRpm, 1234u);
    EXPECT_FALSE(ParseGpuPerfData(raw, 63));
    const std::tuple<uint32_t, std::optional<double>, std::optional<double>> ranges[] = {
        {0, {}, {}}, {1, 0.1, 1.0}, {1499, 149.9, 1499.0}, {1500, {}, 1500.0}, {19999, {}, 19999.0}, {20000, {}, {}}};
    for (auto [raw, temp, fan] : ranges) EXPECT_EQ(std::pair(GpuTemperatureFromRaw(raw), GpuFanFromRaw(raw)), std::pair(temp, fan)) << raw;
}

TEST(GpuCore, DiscreteAdaptersComeFirstAndKeepTheirOrder) {
    struct A {
        int id;
        bool discrete;
        bool operator==(const A&) const = default;
    };
    std::vector<A> list = {{0, false}, {1, true}, {2, false}, {3, true}};
    OrderGpuAdapters(list);
    EXPECT_EQ(list, (std::vector<A>{{1, true}, {3, true}, {0, false}, {2, false}}));
    EXPECT_TRUE(IsDiscreteGpu(1ull << 30) && !IsDiscreteGpu((1ull << 30) - 1));
}

TEST(GpuCore, SensorsOfOneAdapter) {
    GpuAdapterSample big = Sample(L"big", kKeyB, 2ull << 30, 65.5);
    big.load = 55.0, big.fanSpeed = 1850, big.usedBytes = 3ull << 29;
    SensorFrame frame;
    AppendGpuAdapter(frame, big);
    const std::wstring d = L"gpu/" + kKeyB;
    std::vector<std::tuple<std::wstring, SensorKind, double>> got;
    for (const SensorReading& r : frame.readings) got.emplace_back(r.id, r.kind, r.value);
    EXPECT_EQ(got, (decltype(got){{d + L"/temp", SensorKind::Temperature, 65.5}, {d + L"/load", SensorKind::Load, 55.0},
                                  {d + L"/fan", SensorKind::Fan, 1850.0}, {d + L"/mem", SensorKind::Data, 1.5}}));
    EXPECT_EQ(frame.gpu->dedicatedUsedBytes, 3ull << 29);

    // Memory needs 256 MiB and a known counter; no matching instance reads 0.
    auto memory = [](GpuAdapterSample a) {
        SensorFrame f;
        AppendGpuAdapter(f, a);
        return f.readings.empty() ? std::optional<double>() : f.readings[0].value;
    };
    EXPECT_FALSE(memory(Sample(L"small", kKeyA, 128ull << 20)));
    EXPECT_EQ(memory(Sample(L"big", kKeyB, 2ull << 30)), 0.0);
    GpuAdapterSample unknown = Sample(L"big", kKeyB, 2ull << 30);
    unknown.usageKnown = false;
    EXPECT_FALSE(memory(unknown));
}

TEST(GpuCore, SummaryGoesToTheFirstAdapterUnlessOnlyALaterOneHasATemperature) {
    auto summary = [](std::vector<GpuAdapterSample> adapters) {
        SensorFrame frame;
        for (const auto& a : adapters) AppendGpuAdapter(frame, a);
        return frame.gpu->name;
    };
    const auto discrete = [](std::optional<double> t) { return Sample(L"discrete", kKeyB, 4ull << 30, t); };
    const auto integrated = [](std::optional<double> t) { return Sample(L"integrated", kKeyA, 128ull << 20, t); };
    EXPECT_EQ(summary({discrete(50), integrated(40)}), L"discrete");
    EXPECT_EQ(summary({discrete(std::nullopt), integrated(40), Sample(L"third", L"k3", 0, 70.0)}), L"integrated");
    EXPECT_EQ(summary({discrete(std::nullopt), integrated(std::nullopt)}), L"discrete");
}
