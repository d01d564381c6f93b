#include "bench/thermal_stop.h"

#include <algorithm>
#include <cmath>

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
    const double shown = fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
    // Whole degrees, rounded half away from zero; temperatures never need grouping.
    const long long whole = std::llround(shown);
    std::wstring text = label;
    text += L' ';
    if (whole < 0) text += L'-';
    text += std::to_wstring(whole < 0 ? -whole : whole);
    text += fahrenheit ? L" °F" : L" °C";
    text += L"'ye ulaştı; güvenlik için test durduruldu";
    return text;
}

std::optional<std::wstring> ThermalGuard::observe(BenchKind kind, const FrameHeadline& snapshot, int warningTemp,
                                                  bool fahrenheit) {
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
