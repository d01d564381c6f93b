// What the tray shows, decided without the shell: the icon's number and level,
// the tooltip, the menu header, the overheating text and its rate limit, the
// callback's meaning and the icon font's shrink-to-fit size. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/messages.h"
#include "sensors/sensor_model.h"
#include "store/settings.h"
#include "ui/theme.h"

namespace kalorix {

inline constexpr size_t kTrayTooltipUnits = 127;          // without the terminator

// Context-menu command ids.
enum TrayCommand : int {
    kTrayCmdNone = 0,
    kTrayCmdOpen = 1,         // "Kalorix'i aç" (default item)
    kTrayCmdAlwaysOnTop = 2,  // "Her zaman üstte"
    kTrayCmdAutostart = 3,    // "Windows ile başlat"
    kTrayCmdExit = 4,         // "Çıkış"
};

// A temperature without decimals and with " °C" / " °F"; "—" when absent.
std::wstring TrayTemperature(std::optional<double> celsius, bool fahrenheit);

struct TrayIconContent {
    std::wstring text;  // empty: the application icon
    int level = 0;
};

// The temperature the tray icon shows, by the TrayTemperature setting: "gpu"
// the graphics adapter's, anything else the processor's (shown, smoothed).
enum class TraySource { Cpu, Gpu };
TraySource TraySourceOf(const std::string& setting);

// Number and level of the tray icon: only with ShowTempInTray and the chosen
// temperature present (else the application icon, never another sensor's
// number); the level is computed from the unrounded °C value.
TrayIconContent MakeTrayIconContent(const SensorSnapshot& snapshot, const Settings& settings);

// "Kalorix\nCPU 56 °C · GPU 48 °C · Yük %12": both temperatures always ("—"
// when absent), the load when known.
std::wstring MakeTrayTooltip(const SensorSnapshot& snapshot, bool fahrenheit);

// Cut to at most 127 UTF-16 units, never in the middle of a surrogate pair.
std::wstring TruncateUtf16(const std::wstring& text, size_t maxUnits);

// "CPU 56 °C  ·  GPU 48 °C": the disabled first item of the menu.
std::wstring MakeTrayMenuHeader(const SensorSnapshot& snapshot, bool fahrenheit);

// The icon cache key: text + "|" + level.
std::wstring TrayIconKey(const std::wstring& text, int level);

// The overheating balloon's text, or nothing when neither the shown CPU
// temperature nor the GPU temperature is at or above the limit (°C):
// "İşlemci 90 °C · Ekran kartı 88 °C — belirlediğin sınır (85 °C) aşıldı".
std::optional<std::wstring> MakeOverheatText(std::optional<double> cpuShown, std::optional<double> gpu,
                                             int limitCelsius, bool fahrenheit);
std::optional<std::wstring> MakeOverheatText(const SensorSnapshot& snapshot, const Settings& settings);

inline constexpr const wchar_t* kOverheatTitle = L"A\u015f\u0131r\u0131 \u0131s\u0131nma uyar\u0131s\u0131";
inline constexpr uint64_t kOverheatIntervalMs = 300000;

// At most one overheating notification per 300 000 ms of the tick clock. The
// first one is allowed at any tick (also within five minutes of boot).
class OverheatLimiter {
public:
    // True (and the tick is remembered) when a notification may be shown now.
    bool TryFire(uint64_t nowTickMs);
    std::optional<uint64_t> lastTick() const { return last_; }

private:
    std::optional<uint64_t> last_;
};

// After an overheating warning: "normal again" once every present value (CPU
// shown, GPU) has stayed at least 5 °C under the limit for a minute, and at
// least one of them is present.
inline constexpr const wchar_t* kNormalAgainTitle = L"S\u0131cakl\u0131k normale d\u00F6nd\u00FC";
inline constexpr double kNormalAgainMargin = 5.0;    // °C under the limit
inline constexpr uint64_t kNormalAgainHoldMs = 60000;
// "İşlemci 72 °C · Ekran kartı 65 °C — bir dakikadır sınırın (85 °C) en az 5 °C altında".
std::wstring MakeNormalAgainText(std::optional<double> cpuShown, std::optional<double> gpu, int limitCelsius,
                                 bool fahrenheit);

enum class TrayNoticeKind { Warning, NormalAgain };
struct TrayNotice {
    TrayNoticeKind kind = TrayNoticeKind::Warning;
    std::wstring title;
    std::wstring text;
};

// The overheating notifications of one snapshot after another: a warning when
// a limit is passed, "normal again" after a warning, both within the same
// limit of one notification per five minutes; nothing while switched off
// (a warning shown before is then forgotten).
class OverheatNotifier {
public:
    std::optional<TrayNotice> Update(std::optional<double> cpuShown, std::optional<double> gpu, int limitCelsius,
                                     bool fahrenheit, bool enabled, uint64_t nowTickMs);
    std::optional<TrayNotice> Update(const SensorSnapshot& snapshot, const Settings& settings, uint64_t nowTickMs);
    const OverheatLimiter& limiter() const { return limiter_; }
    bool awaitingNormal() const { return warned_; }

private:
    OverheatLimiter limiter_;
    bool warned_ = false;  // a warning was shown and no "normal again" since
    std::optional<uint64_t> coolSince_;
};

// What a tray callback notification (low word of lParam) asks for.
enum class TrayCallbackAction { None, Menu, ToggleWindow, ShowWindow };
TrayCallbackAction ClassifyTrayCallback(uint32_t notification);

// Largest font size for the tray number: from S * 0.78 down in steps of 0.5
// until widthAt(size) <= S * 0.96; 0 when the size would fall below 6.
float FitTrayFontSize(float iconSize, const std::function<float(float)>& widthAt);

}  // namespace kalorix
