#include "sensors/sensor_model.h"

namespace kalorix {

const wchar_t* SensorKindName(SensorKind kind) {
    switch (kind) {
        case SensorKind::Temperature: return L"Sıcaklık";
        case SensorKind::Load: return L"Yük";
        case SensorKind::Clock: return L"Saat Hızı";
        case SensorKind::Power: return L"Güç";
        case SensorKind::Fan: return L"Fan";
        case SensorKind::Data: return L"Veri";
        case SensorKind::Level: return L"Seviye";
    }
    return L"";
}

std::wstring CoreNumber2(int coreIndex) {
    std::wstring s = std::to_wstring(coreIndex + 1);
    if (s.size() < 2) s.insert(s.begin(), L'0');
    return s;
}

}  // namespace kalorix
