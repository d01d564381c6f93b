// The user's preferences and their file, settings.json.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "store/file_util.h"

namespace kalorix {

struct Settings {
    int32_t UpdateIntervalMs = 1000;
    bool UseFahrenheit = false;
    int32_t WarningTemp = 85;
    int32_t HistorySeconds = 300;
    bool AlwaysOnTop = false;
    bool MinimizeToTray = true;
    bool ShowTempInTray = true;
    bool TrayNotifications = true;
    bool SmoothCpuTemp = true;
    bool AdvancedSensors = false;
    bool ShareData = true;
    bool FirstTestOffered = false;
    // The window's place: restored at start when it is visible on a present
    // monitor (WindowWidth 0: never saved), and the last page shown.
    int32_t WindowX = 0;
    int32_t WindowY = 0;
    int32_t WindowWidth = 0;
    int32_t WindowHeight = 0;
    bool WindowMaximized = false;
    int32_t LastPage = 0;
    // Hides the computer name, user name and volume labels from the Hardware
    // page, the copied text and the report image.
    bool HidePersonalInfo = false;
    // Sensor log files: format "tr" (semicolons, decimal comma, UTF-8 with BOM)
    // or "standard" (RFC 4180); every IntervalS seconds (0: the update
    // interval); files older than Days days are deleted (0: keep everything).
    bool SensorLogEnabled = false;
    std::string SensorLogFormat = "tr";
    int32_t SensorLogIntervalS = 5;
    int32_t SensorLogDays = 7;
    // The tray icon's temperature: "cpu" or "gpu".
    std::string TrayTemperature = "cpu";
    // The metrics endpoint (Prometheus text and JSON): loopback only unless
    // ListenAll, which needs the bearer token.
    bool MetricsEnabled = false;
    int32_t MetricsPort = 9798;
    bool MetricsListenAll = false;
    std::string MetricsToken;

    bool operator==(const Settings&) const = default;
};

// Portable part: the tolerant scanner, the text layout and the clamping.
std::optional<std::string> FindJsonValue(std::string_view text, std::string_view key);
Settings ParseSettings(std::string_view text);       // defaults for what is missing or damaged
std::string SerializeSettings(const Settings& s);    // the exact file text

// Whether the text is a whole settings file: an object ("{" ... "}") whose
// ShareData, when present, is written as true or false. A file cut short,
// emptied or overwritten is not.
bool SettingsTextIntact(std::string_view text);
// The record a start works with, from how reading the file went. A file that is
// there but unreadable or not intact loads with ShareData off: consent is never
// assumed from a damaged file, and stays off until the user chooses again.
// damaged (optional) tells the caller so it can log the path.
struct ReadSettingsResult {
    Settings settings;
    bool damaged = false;
};
ReadSettingsResult SettingsFromFile(ReadStatus status, std::string_view text);

// The file in the program's data folder (the roaming folder on Windows).
std::filesystem::path SettingsPath(bool createFolder);
// A settings file read with its damage rule; a damaged file is logged.
Settings LoadSettingsFile(const std::filesystem::path& path);
// Platform part: load with the registry take-over (Windows), save.
Settings LoadSettings();
void SaveSettings(const Settings& s);

}  // namespace kalorix
