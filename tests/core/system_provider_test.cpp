// System provider rules: memory from byte counts, the power-status flags, the
// battery information record and its health.
#include <gtest/gtest.h>

#include <cstring>

#include "providers/system_provider.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;

namespace {

constexpr uint64_t GiB = 1ull << 30;

PowerStatusFields Power(uint8_t ac, uint8_t flag, uint8_t percent) {
    PowerStatusFields p;
    p.acLineStatus = ac;
    p.batteryFlag = flag;
    p.batteryLifePercent = percent;
    return p;
}

BatteryInfo Info(uint32_t designed, uint32_t full, uint32_t cycles = 0) {
    BatteryInfo i;
    i.designedCapacity = designed;
    i.fullChargedCapacity = full;
    i.cycleCount = cycles;
    i.valid = true;
    return i;
}

}  // namespace

TEST(SystemCore, MemoryFromByteCounts) {
    SensorFrame f;
    AppendMemoryStatus(f, 16 * GiB, 6 * GiB);
    EXPECT_DOUBLE_EQ(Find(f, L"mem/load")->value, 62.5);
    EXPECT_DOUBLE_EQ(Find(f, L"mem/used")->value, 10.0);
    SensorFrame zero;
    AppendMemoryStatus(zero, 0, 0);
    EXPECT_EQ(zero.readings[0].value, 0.0);
    SensorFrame odd;
    AppendMemoryStatus(odd, 4 * GiB, 5 * GiB);  // an inconsistent status must not wrap around
    EXPECT_EQ(odd.readings[0].value, 0.0);
    EXPECT_EQ(odd.readings[1].value, 0.0);
    EXPECT_EQ(odd.memoryAvailableBytes, 4 * GiB);
}

TEST(SystemCore, NoBatteryOrUnknownStateLeavesEverythingOut) {
    for (uint8_t flag : {uint8_t{128}, uint8_t{255}}) {
        SensorFrame f;
        AppendBatteryStatus(f, Power(1, flag, 100), Info(50000, 42000));
        EXPECT_TRUE(f.readings.empty());
        EXPECT_FALSE(f.hasBattery || f.onAcPower);
        EXPECT_EQ(f.designCapacity, 0u);
    }
}

TEST(SystemCore, BatteryLevelFlagsAndCapacities) {
    SensorFrame f;
    AppendBatteryStatus(f, Power(1, 9, 77), Info(50000, 42000, 312));
    EXPECT_TRUE(f.hasBattery && f.charging && f.onAcPower);
    EXPECT_EQ(f.batteryPercent, 77);
    EXPECT_DOUBLE_EQ(Find(f, L"bat/health")->value, 84.0);

    SensorFrame g;
    AppendBatteryStatus(g, Power(0, 1, 255), BatteryInfo{});  // discharging, level not reported
    EXPECT_TRUE(g.hasBattery);
    EXPECT_FALSE(g.charging || g.onAcPower);
    EXPECT_EQ(g.batteryPercent, 0);
    ASSERT_EQ(g.readings.size(), 1u);

    SensorFrame h;
    AppendBatteryStatus(h, Power(255, 8, 150), Info(0, 42000));
    EXPECT_EQ(h.batteryPercent, 100);
    EXPECT_TRUE(h.charging);
    EXPECT_FALSE(h.onAcPower);  // 255: line status unknown
    EXPECT_EQ(Find(h, L"bat/health"), nullptr);
}

TEST(SystemCore, HealthIsCappedNeedsBothCapacitiesAndDoesNotOverflow) {
    EXPECT_DOUBLE_EQ(*BatteryHealthPercent(50000, 51000), 100.0);
    EXPECT_FALSE(BatteryHealthPercent(50000, 0));
    EXPECT_NEAR(*BatteryHealthPercent(4000000000u, 3000000000u), 75.0, 1e-9);
}

TEST(SystemCore, BatteryInformationRecord) {
    uint8_t raw[36] = {};
    const uint32_t designed = 57000, full = 51300, cycles = 88;
    std::memcpy(raw + 12, &designed, 4);
    std::memcpy(raw + 16, &full, 4);
    std::memcpy(raw + 32, &cycles, 4);
    const BatteryInfo info = ParseBatteryInformation(raw, 36);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.fullChargedCapacity, 51300u);
    EXPECT_EQ(info.cycleCount, 88u);
    EXPECT_FALSE(ParseBatteryInformation(raw, 35).valid);
}
