#include "store/settings.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "base/log.h"
#include "store/file_util.h"
#include "store/paths.h"

namespace kalorix {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Base-10 long as the C library reads it: leading white space, an optional sign,
// digits, anything after them ignored. Nothing when there is no digit or the
// number does not fit a 32-bit long.
std::optional<int32_t> ParseLong32(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t magnitude = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        anyDigit = true;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (!anyDigit) return std::nullopt;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

void ReadInt(std::string_view text, std::string_view key, int32_t& field, int32_t low, int32_t high) {
    if (auto raw = FindJsonValue(text, key))
        if (auto number = ParseLong32(*raw)) field = *number;
    field = std::clamp(field, low, high);
}

void ReadBool(std::string_view text, std::string_view key, bool& field) {
    if (auto raw = FindJsonValue(text, key)) field = *raw == "true";
}

// A quoted word of letters, digits, '-' and '_' (the only strings this file
// holds); anything else keeps the default.
bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

void ReadWord(std::string_view text, std::string_view key, std::string& field, size_t maxLength = 128) {
    const auto raw = FindJsonValue(text, key);
    if (!raw || raw->size() < 2 || raw->front() != '"' || raw->back() != '"') return;
    const std::string word = raw->substr(1, raw->size() - 2);
    if (word.size() > maxLength || !std::all_of(word.begin(), word.end(), IsWordChar)) return;
    field = word;
}

// One of the listed values, else the default.
void ReadChoice(std::string_view text, std::string_view key, int32_t& field, std::initializer_list<int32_t> allowed) {
    int32_t value = field;
    ReadInt(text, key, value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (std::find(allowed.begin(), allowed.end(), value) != allowed.end()) field = value;
}

void ReadChoice(std::string_view text, std::string_view key, std::string& field,
                std::initializer_list<std::string_view> allowed) {
    std::string value = field;
    ReadWord(text, key, value);
    if (std::find(allowed.begin(), allowed.end(), value) != allowed.end()) field = value;
}

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

void AppendLine(std::string& out, std::string_view key, std::string_view value, bool last = false) {
    out += "  \"";
    out += key;
    out += "\": ";
    out += value;
    out += last ? "\n" : ",\n";
}

const char* BoolText(bool value) { return value ? "true" : "false"; }

}  // namespace

std::optional<std::string> FindJsonValue(std::string_view text, std::string_view key) {
    std::string quoted;
    quoted.reserve(key.size() + 2);
    quoted += '"';
    quoted += key;
    quoted += '"';
    const size_t match = text.find(quoted);
    if (match == std::string_view::npos) return std::nullopt;
    const size_t colon = text.find(':', match + quoted.size());
    if (colon == std::string_view::npos) return std::nullopt;
    size_t start = colon + 1;
    while (start < text.size() && IsBlank(text[start])) ++start;
    if (start >= text.size()) return std::nullopt;
    size_t end = text.find_first_of(",}\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    while (end > start && text[end - 1] == ' ') --end;
    return std::string(text.substr(start, end - start));
}

Settings ParseSettings(std::string_view text) {
    Settings s;
    ReadInt(text, "UpdateIntervalMs", s.UpdateIntervalMs, 500, 5000);
    ReadBool(text, "UseFahrenheit", s.UseFahrenheit);
    ReadInt(text, "WarningTemp", s.WarningTemp, 50, 105);
    ReadInt(text, "HistorySeconds", s.HistorySeconds, 60, 1800);
    ReadBool(text, "AlwaysOnTop", s.AlwaysOnTop);
    ReadBool(text, "MinimizeToTray", s.MinimizeToTray);
    ReadBool(text, "ShowTempInTray", s.ShowTempInTray);
    ReadBool(text, "TrayNotifications", s.TrayNotifications);
    ReadBool(text, "SmoothCpuTemp", s.SmoothCpuTemp);
    ReadBool(text, "AdvancedSensors", s.AdvancedSensors);
    ReadBool(text, "ShareData", s.ShareData);
    ReadBool(text, "FirstTestOffered", s.FirstTestOffered);
    ReadInt(text, "WindowX", s.WindowX, -100000, 100000);
    ReadInt(text, "WindowY", s.WindowY, -100000, 100000);
    ReadInt(text, "WindowWidth", s.WindowWidth, 0, 100000);
    ReadInt(text, "WindowHeight", s.WindowHeight, 0, 100000);
    ReadBool(text, "WindowMaximized", s.WindowMaximized);
    ReadInt(text, "LastPage", s.LastPage, 0, 4);
    ReadBool(text, "HidePersonalInfo", s.HidePersonalInfo);
    ReadBool(text, "SensorLogEnabled", s.SensorLogEnabled);
    ReadChoice(text, "SensorLogFormat", s.SensorLogFormat, {"tr", "standard"});
    ReadChoice(text, "SensorLogIntervalS", s.SensorLogIntervalS, {0, 5, 30, 60});
    ReadChoice(text, "SensorLogDays", s.SensorLogDays, {0, 7, 30, 365});
    ReadChoice(text, "TrayTemperature", s.TrayTemperature, {"cpu", "gpu"});
    ReadBool(text, "MetricsEnabled", s.MetricsEnabled);
    ReadInt(text, "MetricsPort", s.MetricsPort, 1, 65535);
    ReadBool(text, "MetricsListenAll", s.MetricsListenAll);
    ReadWord(text, "MetricsToken", s.MetricsToken);
    return s;
}

bool SettingsTextIntact(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    if (last - first < 2 || text[first] != '{' || text[last - 1] != '}') return false;
    const auto share = FindJsonValue(text, "ShareData");
    return !share || *share == "true" || *share == "false";
}

ReadSettingsResult SettingsFromFile(ReadStatus status, std::string_view text) {
    ReadSettingsResult r;
    if (status == ReadStatus::Missing) return r;
    if (status == ReadStatus::Ok) r.settings = ParseSettings(text);
    r.damaged = status == ReadStatus::Failed || !SettingsTextIntact(text);
    if (r.damaged) r.settings.ShareData = false;
    return r;
}

std::string SerializeSettings(const Settings& s) {
    std::string out = "{\n";
    AppendLine(out, "UpdateIntervalMs", std::to_string(s.UpdateIntervalMs));
    AppendLine(out, "UseFahrenheit", BoolText(s.UseFahrenheit));
    AppendLine(out, "WarningTemp", std::to_string(s.WarningTemp));
    AppendLine(out, "HistorySeconds", std::to_string(s.HistorySeconds));
    AppendLine(out, "AlwaysOnTop", BoolText(s.AlwaysOnTop));
    AppendLine(out, "MinimizeToTray", BoolText(s.MinimizeToTray));
    AppendLine(out, "ShowTempInTray", BoolText(s.ShowTempInTray));
    AppendLine(out, "TrayNotifications", BoolText(s.TrayNotifications));
    AppendLine(out, "SmoothCpuTemp", BoolText(s.SmoothCpuTemp));
    AppendLine(out, "AdvancedSensors", BoolText(s.AdvancedSensors));
    AppendLine(out, "ShareData", BoolText(s.ShareData));
    AppendLine(out, "FirstTestOffered", BoolText(s.FirstTestOffered));
    AppendLine(out, "WindowX", std::to_string(s.WindowX));
    AppendLine(out, "WindowY", std::to_string(s.WindowY));
    AppendLine(out, "WindowWidth", std::to_string(s.WindowWidth));
    AppendLine(out, "WindowHeight", std::to_string(s.WindowHeight));
    AppendLine(out, "WindowMaximized", BoolText(s.WindowMaximized));
    AppendLine(out, "LastPage", std::to_string(s.LastPage));
    AppendLine(out, "HidePersonalInfo", BoolText(s.HidePersonalInfo));
    AppendLine(out, "SensorLogEnabled", BoolText(s.SensorLogEnabled));
    AppendLine(out, "SensorLogFormat", Quoted(s.SensorLogFormat));
    AppendLine(out, "SensorLogIntervalS", std::to_string(s.SensorLogIntervalS));
    AppendLine(out, "SensorLogDays", std::to_string(s.SensorLogDays));
    AppendLine(out, "TrayTemperature", Quoted(s.TrayTemperature));
    AppendLine(out, "MetricsEnabled", BoolText(s.MetricsEnabled));
    AppendLine(out, "MetricsPort", std::to_string(s.MetricsPort));
    AppendLine(out, "MetricsListenAll", BoolText(s.MetricsListenAll));
    AppendLine(out, "MetricsToken", Quoted(s.MetricsToken), true);
    out += "}\n";
    return out;
}

Settings LoadSettingsFile(const std::filesystem::path& path) {
    std::string text;
    const ReadStatus read = ReadWholeFile(path, text);
    const ReadSettingsResult r = SettingsFromFile(read, text);
    if (r.damaged) Log(LogLevel::Warning, "settings", PathText(path) + " is damaged; sharing is off until chosen again");
    return r.settings;
}

#if !defined(_WIN32)
// The Windows versions live in settings_win.cpp. Elsewhere there is no setup
// program and so no registry value to take over.
std::filesystem::path SettingsPath(bool createFolder) {
    std::filesystem::path folder = KalorixDataFolder(createFolder);
    if (folder.empty()) return {};
    return folder / "settings.json";
}

Settings LoadSettings() { return LoadSettingsFile(SettingsPath(false)); }

void SaveSettings(const Settings& s) {
    AtomicWriteFile(SettingsPath(true), SerializeSettings(s));  // a failure is logged there
}
#endif

}  // namespace kalorix
