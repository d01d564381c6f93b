#include "sensors/snapshot_text.h"

#include "sensors/format.h"

namespace kalorix {

namespace {

std::wstring Opt(std::optional<double> v, int decimals, const wchar_t* unit) {
    if (!v) return L"—";
    return FormatNumber(*v, decimals) + unit;
}

const wchar_t* YesNo(bool b) { return b ? L"evet" : L"hayır"; }

}  // namespace

std::wstring DescribeSnapshot(const SensorSnapshot& s, bool fahrenheit) {
    std::wstring out;
    auto line = [&out](const std::wstring& k, const std::wstring& v) { out += k + L": " + v + L"\n"; };
    line(L"Geçerli", YesNo(s.valid));
    line(L"Yönetici", YesNo(s.elevated));
    line(L"MSI kart", YesNo(s.msiBoard));
    line(L"MSI sağlayıcı", YesNo(s.msiProviderActive));
    line(L"PawnIO kurulu", YesNo(s.pawnIoInstalled));
    line(L"PawnIO sağlayıcı", YesNo(s.pawnIoActive));
    line(L"CPU sıcaklığı", FormatTemperature(s.cpuTemp, fahrenheit) +
                               (s.cpuTempSource.empty() ? L"" : L" (" + s.cpuTempSource + L")"));
    line(L"CPU gösterilen", FormatTemperature(s.cpuTempShown, fahrenheit));
    line(L"CPU yükü", Opt(s.cpuLoad, 1, L" %"));
    line(L"CPU saat hızı", Opt(s.cpuClock, 0, L" MHz"));
    line(L"CPU paket gücü", Opt(s.cpuPackagePower, 1, L" W"));
    line(L"TjMax", Opt(s.tjMax, 0, L" °C"));
    line(L"Isı kısıtlaması", s.thermalThrottleKnown ? YesNo(s.thermalThrottle) : L"bilinmiyor");
    line(L"Güç sınırı", s.powerLimitKnown ? YesNo(s.powerLimit) : L"bilinmiyor");
    if (s.gpu) {
        line(L"GPU", s.gpu->name + (s.gpu->discrete ? L" (harici)" : L" (tümleşik)"));
        line(L"GPU sıcaklığı", FormatTemperature(s.gpu->temperature, fahrenheit));
        line(L"GPU yükü", Opt(s.gpu->load, 1, L" %"));
        line(L"GPU fanı", Opt(s.gpu->fanSpeed, 0, L" RPM"));
        line(L"GPU belleği", FormatBytes(static_cast<double>(s.gpu->dedicatedUsedBytes)) + L" / " +
                                 FormatBytes(static_cast<double>(s.gpu->dedicatedTotalBytes)));
    } else {
        line(L"GPU", L"—");
    }
    if (s.hottestDiskTemp) line(L"En sıcak disk", s.hottestDiskName + L" " + FormatTemperature(s.hottestDiskTemp, fahrenheit));
    for (const FanReading& f : s.fans) line(L"Fan " + f.name, FormatGrouped(f.speed) + L" RPM");
    if (s.memoryTotalBytes)
        line(L"Bellek", FormatBytes(static_cast<double>(s.memoryTotalBytes - s.memoryAvailableBytes)) + L" / " +
                            FormatBytes(static_cast<double>(s.memoryTotalBytes)));
    line(L"Pil", s.hasBattery ? L"%" + std::to_wstring(s.batteryPercent) + (s.charging ? L" şarj oluyor" : L"") +
                                    (s.onAcPower ? L" prizde" : L" pilde")
                              : L"yok");
    line(L"Son 10 dk yük altında", FormatNumber(s.busySecondsRecent, 0) + L" sn");
    line(L"Son 10 dk ısı sınırında", FormatNumber(s.atLimitSecondsRecent, 0) + L" sn");
    out += L"Sensörler (" + std::to_wstring(s.sensors.size()) + L"):\n";
    for (const SensorEntry& e : s.sensors) {
        out += L"  " + e.id + L"  [" + e.device + L"] " + e.label + L" = " +
               FormatSensorValue(e.kind, e.value, fahrenheit) + L"  (en düşük " +
               FormatSensorValue(e.kind, e.min, fahrenheit) + L", en yüksek " +
               FormatSensorValue(e.kind, e.max, fahrenheit) + L")\n";
    }
    return out;
}

}  // namespace kalorix
