#include "ui/tray.h"

#include <cmath>
#include <cstdio>

namespace kalorix {

namespace {

std::wstring Ascii(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

std::wstring Whole(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", value);
    std::wstring text = Ascii(buf);
    if (text == L"-0") text = L"0";
    return text;
}

double Display(double celsius, bool fahrenheit) { return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius; }

bool Known(const std::optional<double>& v) { return v && std::isfinite(*v); }

std::optional<double> GpuTemperature(const SensorSnapshot& s) {
    if (s.gpu && Known(s.gpu->temperature)) return s.gpu->temperature;
    return std::nullopt;
}

}  // namespace

std::wstring TrayTemperature(std::optional<double> celsius, bool fahrenheit) {
    if (!Known(celsius)) return L"—";
    return Whole(Display(*celsius, fahrenheit)) + (fahrenheit ? L" °F" : L" °C");
}

TraySource TraySourceOf(const std::string& setting) { return setting == "gpu" ? TraySource::Gpu : TraySource::Cpu; }

TrayIconContent MakeTrayIconContent(const SensorSnapshot& snapshot, const Settings& settings) {
    TrayIconContent content;
    const std::optional<double> shown =
        TraySourceOf(settings.TrayTemperature) == TraySource::Gpu ? GpuTemperature(snapshot) : snapshot.cpuTempShown;
    if (settings.ShowTempInTray && Known(shown)) {
        content.text = Whole(Display(*shown, settings.UseFahrenheit));
        content.level = TempLevel(shown, settings.WarningTemp);
    }
    return content;
}

std::wstring MakeTrayTooltip(const SensorSnapshot& snapshot, bool fahrenheit) {
    std::wstring tip = L"Kalorix\nCPU " + TrayTemperature(snapshot.cpuTempShown, fahrenheit);
    tip += L" · GPU " + TrayTemperature(GpuTemperature(snapshot), fahrenheit);
    if (Known(snapshot.cpuLoad)) tip += L" · Yük %" + Whole(*snapshot.cpuLoad);
    return TruncateUtf16(tip, kTrayTooltipUnits);
}

std::wstring TruncateUtf16(const std::wstring& text, size_t maxUnits) {
    // Counts UTF-16 units whatever the width of wchar_t; a surrogate pair (or a
    // code point above U+FFFF) is kept or dropped whole.
    size_t units = 0, i = 0;
    while (i < text.size()) {
        uint32_t cp = static_cast<uint32_t>(text[i]);
        size_t chars = 1, n = cp >= 0x10000u ? 2 : 1;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
            uint32_t next = static_cast<uint32_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) chars = n = 2;
        }
        if (units + n > maxUnits) break;
        units += n;
        i += chars;
    }
    return text.substr(0, i);
}

std::wstring MakeTrayMenuHeader(const SensorSnapshot& snapshot, bool fahrenheit) {
    std::wstring header = L"CPU " + TrayTemperature(snapshot.cpuTempShown, fahrenheit);
    if (auto gpu = GpuTemperature(snapshot)) header += L"  ·  GPU " + TrayTemperature(gpu, fahrenheit);
    return header;
}

std::wstring TrayIconKey(const std::wstring& text, int level) {
    return text + L"|" + std::to_wstring(level);
}

std::optional<std::wstring> MakeOverheatText(std::optional<double> cpuShown, std::optional<double> gpu,
                                             int limitCelsius, bool fahrenheit) {
    std::wstring text;
    if (Known(cpuShown) && *cpuShown >= limitCelsius) text = L"İşlemci " + TrayTemperature(cpuShown, fahrenheit);
    if (Known(gpu) && *gpu >= limitCelsius) {
        if (!text.empty()) text += L" · ";
        text += L"Ekran kartı " + TrayTemperature(gpu, fahrenheit);
    }
    if (text.empty()) return std::nullopt;
    text += L" — belirlediğin sınır (" + TrayTemperature(static_cast<double>(limitCelsius), fahrenheit) +
            L") aşıldı";
    return text;
}

std::optional<std::wstring> MakeOverheatText(const SensorSnapshot& snapshot, const Settings& settings) {
    return MakeOverheatText(snapshot.cpuTempShown, GpuTemperature(snapshot), settings.WarningTemp,
                            settings.UseFahrenheit);
}

bool OverheatLimiter::TryFire(uint64_t nowTickMs) {
    if (last_ && nowTickMs >= *last_ && nowTickMs - *last_ <= kOverheatIntervalMs) return false;
    last_ = nowTickMs;
    return true;
}

std::wstring MakeNormalAgainText(std::optional<double> cpuShown, std::optional<double> gpu, int limitCelsius,
                                 bool fahrenheit) {
    std::wstring text;
    if (Known(cpuShown)) text = L"İşlemci " + TrayTemperature(cpuShown, fahrenheit);
    if (Known(gpu)) {
        if (!text.empty()) text += L" · ";
        text += L"Ekran kartı " + TrayTemperature(gpu, fahrenheit);
    }
    text += L" — bir dakikadır sınırın (" + TrayTemperature(static_cast<double>(limitCelsius), fahrenheit) +
            L") en az " + (fahrenheit ? L"9 °F" : L"5 °C") + L" altında";
    return text;
}

std::optional<TrayNotice> OverheatNotifier::Update(std::optional<double> cpu, std::optional<double> gpu,
                                                   int limitCelsius, bool fahrenheit, bool enabled,
                                                   uint64_t nowTickMs) {
    if (!enabled) {
        warned_ = false;
        coolSince_.reset();
        return std::nullopt;
    }
    if (auto hot = MakeOverheatText(cpu, gpu, limitCelsius, fahrenheit)) {
        coolSince_.reset();
        if (!limiter_.TryFire(nowTickMs)) return std::nullopt;
        warned_ = true;
        return TrayNotice{TrayNoticeKind::Warning, kOverheatTitle, *hot};
    }
    if (!warned_) return std::nullopt;
    const double coolAt = limitCelsius - kNormalAgainMargin;
    const bool cool = (Known(cpu) || Known(gpu)) && (!Known(cpu) || *cpu <= coolAt) && (!Known(gpu) || *gpu <= coolAt);
    if (!cool) {
        coolSince_.reset();
        return std::nullopt;
    }
    if (!coolSince_ || nowTickMs < *coolSince_) coolSince_ = nowTickMs;
    if (nowTickMs - *coolSince_ < kNormalAgainHoldMs || !limiter_.TryFire(nowTickMs)) return std::nullopt;
    warned_ = false;
    coolSince_.reset();
    return TrayNotice{TrayNoticeKind::NormalAgain, kNormalAgainTitle,
                      MakeNormalAgainText(cpu, gpu, limitCelsius, fahrenheit)};
}

std::optional<TrayNotice> OverheatNotifier::Update(const SensorSnapshot& snapshot, const Settings& settings,
                                                   uint64_t nowTickMs) {
    return Update(snapshot.cpuTempShown, GpuTemperature(snapshot), settings.WarningTemp, settings.UseFahrenheit,
                  settings.TrayNotifications, nowTickMs);
}

TrayCallbackAction ClassifyTrayCallback(uint32_t notification) {
    constexpr uint32_t kContextMenu = 0x007B;     // WM_CONTEXTMENU
    constexpr uint32_t kSelect = 0x0400;          // NIN_SELECT (WM_USER)
    constexpr uint32_t kKeySelect = 0x0401;       // NIN_KEYSELECT
    constexpr uint32_t kBalloonClick = 0x0405;    // NIN_BALLOONUSERCLICK
    switch (notification) {
        case kContextMenu: return TrayCallbackAction::Menu;
        case kSelect:
        case kKeySelect: return TrayCallbackAction::ToggleWindow;
        case kBalloonClick: return TrayCallbackAction::ShowWindow;
        default: return TrayCallbackAction::None;
    }
}

float FitTrayFontSize(float iconSize, const std::function<float(float)>& widthAt) {
    const float limit = iconSize * 0.96f;
    for (float size = iconSize * 0.78f; size >= 6.0f; size -= 0.5f) {
        if (widthAt(size) <= limit) return size;
    }
    return 0.0f;
}

}  // namespace kalorix
