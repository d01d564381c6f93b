// System provider rules: memory, power status and the battery's record and health.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "providers/system_provider.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;

namespace {

constexpr uint64_t GiB = 1ull << 30;

PowerStatusFields Power(uint8_t ac, uint8_t flag, uint8_t percent) {
    PowerStatusFields p;
    p.acLineStatus = ac, p.batteryFlag = flag, p.batteryLifePercent = percent;
    return p;
}

BatteryInfo Info(uint32_t designed, uint32_t full) {
    BatteryInfo i;
    i.designedCapacity = designed, i.fullChargedCapacity = full, i.valid = true;
    return i;
}

}  // namespace

TEST(SystemCore, MemoryFromByteCounts) {
    SensorFrame f;
    AppendMemoryStatus(f, 16 * GiB, 6 * GiB);
    EXPECT_EQ(std::pair(Find(f, L"mem/load")->value, Find(f, L"mem/used")->value), std::pair(62.5, 10.0));
    SensorFrame odd;
    AppendMemoryStatus(odd, 4 * GiB, 5 * GiB);  // an inconsistent status must not wrap around
    EXPECT_EQ(std::tuple(odd.readings[0].value, odd.readings[1].value, odd.memoryAvailableBytes),
              std::tuple(0.0, 0.0, 4 * GiB));
}

// Flag 128 (no battery) and 255 (unknown) leave everything out.
TEST(SystemCore, BatteryLevelFlagsAndCapacities) {
    const struct { uint8_t ac, flag, percent; BatteryInfo info; bool has, charging, onAc; int level; std::optional<double> health; } cases[] = {
        {1, 9, 77, Info(50000, 42000), true, true, true, 77, 84.0},
        {0, 1, 255, BatteryInfo{}, true, false, false, 0, std::nullopt},        // discharging, level not reported
        {255, 8, 150, Info(0, 42000), true, true, false, 100, std::nullopt},    // 255: line status unknown
        {1, 128, 100, Info(50000, 42000), false, false, false, 0, std::nullopt},
        {1, 255, 100, Info(50000, 42000), false, false, false, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SensorFrame f;
        AppendBatteryStatus(f, Power(c.ac, c.flag, c.percent), c.info);
        EXPECT_EQ(std::tuple(f.hasBattery, f.charging, f.onAcPower, int(f.batteryPercent)),
                  std::tuple(c.has, c.charging, c.onAc, c.level)) << int(c.flag);
        const SensorReading* health = Find(f, L"bat/health");
        EXPECT_EQ(health ? std::optional(health->value) : std::nullopt, c.health) << int(c.flag);
        if (!c.has) EXPECT_TRUE(f.readings.empty() && f.designCapacity == 0);
    }
}

TEST(SystemCore, BatteryInformationRecordAndHealth) {
    EXPECT_DOUBLE_EQ(*BatteryHealthPercent(50000, 51000), 100.0);  // capped
    EXPECT_FALSE(BatteryHealthPercent(50000, 0));
    EXPECT_NEAR(*BatteryHealthPercent(4000000000u, 3000000000u), 75.0, 1e-9);  // no overflow

    uint8_t raw[36] = {};
    const uint32_t designed = 57000, full = 51300, cycles = 88;
    std::memcpy(raw + 12, &designed, 4);
    std::memcpy(raw + 16, &full, 4);
    std::memcpy(raw + 32, &cycles, 4);
    const BatteryInfo info = ParseBatteryInformation(raw, 36);
    EXPECT_TRUE(info.valid && !ParseBatteryInformation(raw, 35).valid);
    EXPECT_EQ(std::tuple(info.designedCapacity, info.fullChargedCapacity, info.cycleCount), std::tuple(57000u, 51300u, 88u));
}
