#include "bench/thermal_stop.h"

#include <algorithm>

#include "sensors/format.h"

namespace kalorix::bench {

int ThermalLimit(BenchKind kind, int warningTemp) {
    if (kind == BenchKind::Disk) return 75;
    return std::min(warningTemp, 95);
}

std::optional<double> WatchedTemperature(BenchKind kind, const FrameHeadline& s) {
    switch (kind) {
        case BenchKind::Cpu:
        case BenchKind::Memory: return s.cpuTemp;
        case BenchKind::Gpu: return s.gpu ? s.gpu->temperature : std::nullopt;
        case BenchKind::Disk: return s.hottestDiskTemp;
    }
    return std::nullopt;
}

std::wstring ThermalStopReason(BenchKind kind, double celsius, bool fahrenheit) {
    const wchar_t* label = L"İşlemci";
    if (kind == BenchKind::Gpu) label = L"Ekran kartı";
    if (kind == BenchKind::Disk) label = L"Disk";
    std::wstring text = label;
    text += L' ';
    text += FormatTemperature(celsius, fahrenheit);
    text += L"'ye ulaştı; güvenlik için test durduruldu";
    return text;
}

std::optional<std::wstring> ThermalGuard::observe(BenchKind kind, const SensorSnapshot& snapshot, int warningTemp,
                                                  bool fahrenheit) {
    if (lastUpdate_ && *lastUpdate_ == snapshot.updatedAt) return std::nullopt;
    lastUpdate_ = snapshot.updatedAt;
    const auto t = WatchedTemperature(kind, snapshot);
    if (!t || !(*t >= ThermalLimit(kind, warningTemp))) {
        count_ = 0;
        return std::nullopt;
    }
    ++count_;
    if (count_ < 3) return std::nullopt;
    return ThermalStopReason(kind, *t, fahrenheit);
}

}  // namespace kalorix::bench
