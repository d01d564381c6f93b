#include "sensors/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <string>

namespace kalorix {

namespace {

constexpr int kMaxDecimals = 30;
constexpr const wchar_t* kNoValue = L"\u2014";  // "—": what every formatter shows for a non-finite value

std::wstring Widen(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Fixed-point digits with '.' as the separator, independent of the C locale.
std::string FixedText(double value, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    char buffer[400];  // enough for the largest double plus kMaxDecimals digits
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer, result.ptr);
}

std::wstring WithUnit(std::wstring number, const wchar_t* unit) {
    number += L' ';
    number += unit;
    return number;
}

}  // namespace

double ToFahrenheit(double celsius) {
    return celsius * 9.0 / 5.0 + 32.0;
}

std::wstring FormatNumber(double value, int decimals) {
    if (!std::isfinite(value)) return kNoValue;
    std::wstring text = Widen(FixedText(value, decimals));
    // A negative value that rounds to zero is zero: never "-0" or "-0,0".
    if (!text.empty() && text[0] == L'-' &&
        std::all_of(text.begin() + 1, text.end(), [](wchar_t c) { return c == L'0' || c == L'.'; }))
        text.erase(0, 1);
    std::replace(text.begin(), text.end(), L'.', L',');
    return text;
}

std::wstring FormatGrouped(double value) {
    if (!std::isfinite(value)) return kNoValue;
    double rounded = std::round(value);  // halves away from zero
    if (rounded == 0.0) rounded = 0.0;   // no "-0"
    std::string digits = FixedText(rounded, 0);
    const size_t first = (!digits.empty() && digits[0] == '-') ? 1 : 0;
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    out.append(digits, 0, first);
    const size_t count = digits.size() - first;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0) out.push_back('.');
        out.push_back(digits[first + i]);
    }
    return Widen(out);
}

std::wstring FormatTemperature(std::optional<double> celsius, bool fahrenheit) {
    if (!celsius) return kNoValue;
    const double shown = fahrenheit ? ToFahrenheit(*celsius) : *celsius;
    if (!std::isfinite(shown)) return kNoValue;
    return WithUnit(FormatNumber(shown, 0), fahrenheit ? L"°F" : L"°C");
}

std::wstring FormatSensorValue(SensorKind kind, double value, bool fahrenheit) {
    if (!std::isfinite(value)) return kNoValue;
    switch (kind) {
        case SensorKind::Temperature: return FormatTemperature(value, fahrenheit);
        case SensorKind::Load: return WithUnit(FormatNumber(value, 1), L"%");
        case SensorKind::Clock: return WithUnit(FormatGrouped(value), L"MHz");
        case SensorKind::Power: return WithUnit(FormatNumber(value, 1), L"W");
        case SensorKind::Fan: return WithUnit(FormatGrouped(value), L"RPM");
        case SensorKind::Data: return WithUnit(FormatNumber(value, 1), L"GB");
        case SensorKind::Level: return WithUnit(FormatNumber(value, 1), L"%");
    }
    return FormatNumber(value, 2);
}

std::wstring FormatBytes(double bytes) {
    if (!std::isfinite(bytes)) return kNoValue;
    static const wchar_t* const kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB"};
    constexpr size_t kLast = sizeof kUnits / sizeof kUnits[0] - 1;
    size_t unit = 0;
    double value = bytes;
    while (value >= 1024.0 && unit < kLast) {
        value *= 1.0 / 1024.0;
        ++unit;
    }
    int decimals = 0;
    if (unit >= 3 && std::fabs(value - std::round(value)) >= 0.05) decimals = 1;
    return WithUnit(FormatNumber(value, decimals), kUnits[unit]);
}

std::wstring FormatUptime(uint64_t milliseconds) {
    const uint64_t minutes = milliseconds / 60000;
    const uint64_t days = milliseconds / 86400000;
    const uint64_t hours = milliseconds / 3600000 - days * 24;
    const uint64_t minuteOfHour = minutes % 60;
    if (minutes >= 1440)
        return std::to_wstring(days) + L" g " + std::to_wstring(hours) + L" sa " + std::to_wstring(minuteOfHour) + L" dk";
    if (hours != 0) return std::to_wstring(hours) + L" sa " + std::to_wstring(minuteOfHour) + L" dk";
    return std::to_wstring(minuteOfHour) + L" dk";
}

std::wstring FormatMinutes(double seconds) {
    if (!std::isfinite(seconds)) return kNoValue;
    const double whole = seconds / 60.0 + 0.5;
    int64_t m = 0;
    if (whole >= 1.0) m = whole < 1e15 ? static_cast<int64_t>(whole) : static_cast<int64_t>(1e15);  // NaN and negatives stay 0
    if (m < 60) return std::to_wstring(std::max<int64_t>(m, 1)) + L" dk";
    return std::to_wstring(m / 60) + L" sa " + std::to_wstring(m % 60) + L" dk";
}

std::wstring FormatDateTime(int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &t) != 0) return L"\u2014";
#else
    if (localtime_r(&t, &local) == nullptr) return L"\u2014";
#endif
    auto two = [](int v) {
        v = std::clamp(v, 0, 99);
        return std::wstring{static_cast<wchar_t>(L'0' + v / 10), static_cast<wchar_t>(L'0' + v % 10)};
    };
    return std::to_wstring(local.tm_mday) + L" " + MonthName(local.tm_mon) + L" " + two(local.tm_hour) + L":" +
           two(local.tm_min);
}

const wchar_t* MonthName(int index) {
    static const wchar_t* const kMonths[12] = {L"Ocak", L"Şubat", L"Mart",  L"Nisan", L"Mayıs", L"Haziran",
                                               L"Temmuz", L"Ağustos", L"Eylül", L"Ekim", L"Kasım", L"Aralık"};
    if (index < 0 || index >= 12) return L"";
    return kMonths[index];
}

}  // namespace kalorix
