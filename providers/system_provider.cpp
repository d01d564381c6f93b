#include "providers/system_provider.h"

#include "providers/byte_read.h"

#include <algorithm>
#include <cstring>

namespace kalorix {

namespace {

constexpr double kBytesPerGiB = 1073741824.0;

}  // namespace

BatteryInfo ParseBatteryInformation(const uint8_t* bytes, size_t returned) {
    BatteryInfo info;
    if (bytes == nullptr || returned < kBatteryInformationSize) return info;
    info.designedCapacity = ReadU32(bytes + 12);
    info.fullChargedCapacity = ReadU32(bytes + 16);
    info.cycleCount = ReadU32(bytes + 32);
    info.valid = true;
    return info;
}

void AppendMemoryStatus(SensorFrame& frame, uint64_t total, uint64_t avail) {
    // A status with more available than installed memory would make "used"
    // wrap around; count it as nothing in use.
    avail = std::min(avail, total);
    frame.memoryTotalBytes = total;
    frame.memoryAvailableBytes = avail;
    const uint64_t used = total - avail;
    const double load = total == 0 ? 0.0 : static_cast<double>(used) / static_cast<double>(total) * 100.0;
    frame.add(L"mem/load", L"Bellek", L"Kullanım", SensorKind::Load, load);
    frame.add(L"mem/used", L"Bellek", L"Kullanılan", SensorKind::Data, static_cast<double>(used) / kBytesPerGiB);
    frame.add(L"mem/avail", L"Bellek", L"Boş", SensorKind::Data, static_cast<double>(avail) / kBytesPerGiB);
}

std::optional<double> BatteryHealthPercent(uint32_t designed, uint32_t fullCharged) {
    if (designed == 0 || fullCharged == 0) return std::nullopt;
    return std::min(static_cast<double>(fullCharged) * 100.0 / static_cast<double>(designed), 100.0);
}

void AppendBatteryStatus(SensorFrame& frame, const PowerStatusFields& power, const BatteryInfo& info) {
    if (power.batteryFlag == kBatteryFlagNoBattery || power.batteryFlag == kBatteryFlagUnknown) return;
    frame.hasBattery = true;
    // 255 means "not reported"; anything else above 100 is not a charge level either.
    frame.batteryPercent = power.batteryLifePercent == kBatteryPercentUnknown
                               ? 0
                               : std::min<int32_t>(power.batteryLifePercent, 100);
    frame.charging = (power.batteryFlag & kBatteryFlagCharging) != 0;
    frame.onAcPower = power.acLineStatus == 1;
    if (info.valid) {
        frame.designCapacity = info.designedCapacity;
        frame.fullChargeCapacity = info.fullChargedCapacity;
        frame.cycleCount = info.cycleCount;
    }
    frame.add(L"bat/level", L"Pil", L"Şarj düzeyi", SensorKind::Level, frame.batteryPercent);
    if (auto health = BatteryHealthPercent(frame.designCapacity, frame.fullChargeCapacity)) {
        frame.add(L"bat/health", L"Pil", L"Sağlık", SensorKind::Level, *health);
    }
}

}  // namespace kalorix
