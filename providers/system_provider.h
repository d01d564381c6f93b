// Portable part of the system provider: memory use from byte counts, the
// power-status flags, the battery information record and its health.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sensors/sensor_model.h"

namespace kalorix {

constexpr uint32_t kIoctlBatteryQueryTag = 0x294040;
constexpr uint32_t kIoctlBatteryQueryInformation = 0x294044;
constexpr size_t kBatteryInformationSize = 36;
constexpr uint8_t kBatteryFlagCharging = 8;
constexpr uint8_t kBatteryFlagNoBattery = 128;
constexpr uint8_t kBatteryFlagUnknown = 255;
constexpr uint8_t kBatteryPercentUnknown = 255;

// Capacities of the first battery, read once per provider list.
struct BatteryInfo {
    uint32_t designedCapacity = 0;
    uint32_t fullChargedCapacity = 0;
    uint32_t cycleCount = 0;
    bool valid = false;
};

// DesignedCapacity (12), FullChargedCapacity (16) and CycleCount (32) of a
// 36-byte BATTERY_INFORMATION; not valid for a shorter answer.
BatteryInfo ParseBatteryInformation(const uint8_t* bytes, size_t returned);

// Sets memoryTotalBytes/memoryAvailableBytes and appends "mem/load",
// "mem/used" and "mem/avail". The load comes from the two byte counts.
void AppendMemoryStatus(SensorFrame& frame, uint64_t totalBytes, uint64_t availableBytes);

// The three SYSTEM_POWER_STATUS fields the provider looks at.
struct PowerStatusFields {
    uint8_t acLineStatus = 255;
    uint8_t batteryFlag = kBatteryFlagUnknown;
    uint8_t batteryLifePercent = kBatteryPercentUnknown;
};

// Full-charge capacity as percent of the designed one, at most 100; nothing
// when either is 0.
std::optional<double> BatteryHealthPercent(uint32_t designed, uint32_t fullCharged);

// Battery fields and sensors ("bat/level", "bat/health") from the power status
// and the capacities read at start. Nothing when the flags say there is no
// system battery or its state is not known.
void AppendBatteryStatus(SensorFrame& frame, const PowerStatusFields& power, const BatteryInfo& info);

}  // namespace kalorix
