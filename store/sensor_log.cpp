#include "store/sensor_log.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "sensors/text.h"

namespace kalorix {

namespace {

char Separator(SensorLogFormat format) { return format == SensorLogFormat::Turkish ? ';' : ','; }

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string DateText(const LogDate& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

// Shortest text that reads back to the same double.
std::string RoundTrip(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
            continue;
        }
        out += c;
    }
    out += '"';
}

bool AllDigits(std::wstring_view s) {
    if (s.empty()) return false;
    for (wchar_t c : s)
        if (c < L'0' || c > L'9') return false;
    return true;
}

int Number(std::wstring_view s) {
    int v = 0;
    for (wchar_t c : s) v = v * 10 + (c - L'0');
    return v;
}

}  // namespace

SensorLogFormat SensorLogFormatOf(std::string_view setting) {
    return setting == "standard" ? SensorLogFormat::Standard : SensorLogFormat::Turkish;
}

int64_t DaysFromCivil(const LogDate& date) {
    // Howard Hinnant's days_from_civil.
    const int64_t y = static_cast<int64_t>(date.year) - (date.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (date.month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string FormatLogTime(const LocalStamp& t) {
    const int offset = t.offsetMinutes;
    const int magnitude = offset < 0 ? -offset : offset;
    return DateText(t.date) + "T" + TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second) +
           (offset < 0 ? "-" : "+") + TwoDigits(magnitude / 60) + ":" + TwoDigits(magnitude % 60);
}

std::string SensorLogUnit(SensorKind kind) {
    switch (kind) {
        case SensorKind::Temperature: return "\u00B0C";
        case SensorKind::Load:
        case SensorKind::Level: return "%";
        case SensorKind::Clock: return "MHz";
        case SensorKind::Power: return "W";
        case SensorKind::Fan: return "RPM";
        case SensorKind::Data: return "GB";
    }
    return {};
}

int SensorLogDecimals(SensorKind kind) {
    switch (kind) {
        case SensorKind::Temperature:
        case SensorKind::Load:
        case SensorKind::Level:
        case SensorKind::Power: return 1;
        case SensorKind::Clock:
        case SensorKind::Fan: return 0;
        case SensorKind::Data: return 2;
    }
    return 2;
}

std::string SensorLogColumnHeader(const SensorLogColumn& c) {
    std::string header = WideToUtf8(c.device) + " \u00B7 " + WideToUtf8(c.label);
    const std::string unit = SensorLogUnit(c.kind);
    if (!unit.empty()) header += " [" + unit + "]";
    return header;
}

std::string FormatLogValue(double value, SensorKind kind, SensorLogFormat format) {
    if (!std::isfinite(value)) return {};
    char buf[400];  // the largest double has 309 digits before the point
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, SensorLogDecimals(kind));
    if (r.ec != std::errc{}) return {};
    std::string text(buf, r.ptr);
    if (text.find_first_not_of("-0.") == std::string::npos && !text.empty() && text[0] == '-') text.erase(0, 1);
    if (format == SensorLogFormat::Turkish)
        for (char& c : text)
            if (c == '.') c = ',';
    return text;
}

std::string QuoteLogField(std::string_view field, SensorLogFormat format) {
    const char sep = Separator(format);
    if (field.find_first_of(std::string{sep, '"', '\r', '\n'}) == std::string_view::npos) return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string SensorLogFileStart(const std::vector<SensorLogColumn>& columns, size_t count, SensorLogFormat format) {
    std::string out;
    if (format == SensorLogFormat::Turkish) out += kUtf8Bom;
    out += kTimeColumnHeader;
    for (size_t i = 0; i < count && i < columns.size(); ++i) {
        out += Separator(format);
        out += QuoteLogField(SensorLogColumnHeader(columns[i]), format);
    }
    out += "\r\n";
    return out;
}

std::string SensorLogRowLine(const LocalStamp& time, const std::vector<SensorLogColumn>& columns,
                             const std::vector<std::optional<double>>& values, SensorLogFormat format) {
    std::string out = FormatLogTime(time);
    for (size_t i = 0; i < columns.size(); ++i) {
        out += Separator(format);
        if (i < values.size() && values[i] && std::isfinite(*values[i]))
            out += FormatLogValue(*values[i], columns[i].kind, format);
    }
    out += "\r\n";
    return out;
}

std::wstring SensorLogFileName(const LogDate& day, int part) {
    std::wstring name = L"Kalorix-sensorler-" + Utf8ToWide(DateText(day));
    if (part > 1) name += L"-" + std::to_wstring(part);
    return name + L".csv";
}

std::optional<SensorLogFileId> ParseSensorLogFileName(std::wstring_view name) {
    constexpr std::wstring_view kPrefix = L"Kalorix-sensorler-", kSuffix = L".csv";
    if (!StartsWith(name, kPrefix) || !EndsWith(name, kSuffix)) return std::nullopt;
    std::wstring_view rest = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    // YYYY-MM-DD, then optionally -N with N >= 2 and no leading zero.
    if (rest.size() < 10 || rest[4] != L'-' || rest[7] != L'-') return std::nullopt;
    const std::wstring_view y = rest.substr(0, 4), m = rest.substr(5, 2), d = rest.substr(8, 2);
    if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return std::nullopt;
    SensorLogFileId id;
    id.day = {Number(y), Number(m), Number(d)};
    if (id.day.month < 1 || id.day.month > 12 || id.day.day < 1 || id.day.day > 31) return std::nullopt;
    rest.remove_prefix(10);
    if (!rest.empty()) {
        if (rest[0] != L'-' || rest.size() < 2 || rest.size() > 7) return std::nullopt;
        rest.remove_prefix(1);
        if (!AllDigits(rest) || rest[0] == L'0') return std::nullopt;
        id.part = Number(rest);
        if (id.part < 2) return std::nullopt;
    }
    return id;
}

std::vector<std::wstring> ExpiredSensorLogFiles(const std::vector<std::wstring>& names, const LogDate& today,
                                                int keepDays) {
    std::vector<std::wstring> expired;
    if (keepDays <= 0) return expired;
    const int64_t now = DaysFromCivil(today);
    for (const std::wstring& name : names) {
        const auto id = ParseSensorLogFileName(name);
        if (id && now - DaysFromCivil(id->day) >= keepDays) expired.push_back(name);
    }
    return expired;
}

bool SensorLogRowDue(std::optional<double> lastRowAt, double now, double intervalSeconds) {
    if (!lastRowAt || intervalSeconds <= 0 || now < *lastRowAt) return true;
    return now - *lastRowAt >= intervalSeconds - 0.25;
}

LogTarget SensorLogParts::beginDay(const LogDate& day, size_t columns, const ExistingLogPart& last) {
    open_ = true;
    day_ = day;
    columns_ = columns;
    if (last.part > 0 && last.continuable) {
        part_ = last.part;
        return {SensorLogFileName(day, part_), false};
    }
    part_ = last.part + 1;
    return {SensorLogFileName(day, part_), true};
}

LogTarget SensorLogParts::next(size_t columns) {
    if (columns == columns_) return {SensorLogFileName(day_, part_), false};
    columns_ = columns;
    ++part_;
    return {SensorLogFileName(day_, part_), true};
}

std::string SensorLogEchoLine(const std::wstring& file, const LocalStamp& time,
                              const std::vector<SensorLogColumn>& columns,
                              const std::vector<std::optional<double>>& values) {
    std::string out = "{\"file\": ";
    AppendJsonString(out, WideToUtf8(file));
    out += ", \"time\": ";
    AppendJsonString(out, FormatLogTime(time));
    out += ", \"columns\": [";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ", ";
        AppendJsonString(out, SensorLogColumnHeader(columns[i]));
    }
    out += "], \"decimals\": [";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ", ";
        out += std::to_string(SensorLogDecimals(columns[i].kind));
    }
    out += "], \"values\": [";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ", ";
        if (i < values.size() && values[i] && std::isfinite(*values[i])) out += RoundTrip(*values[i]);
        else out += "null";
    }
    out += "]}\n";
    return out;
}

}  // namespace kalorix
