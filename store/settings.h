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

// Platform part (roaming folder on Windows): path, load with registry take-over, save.
std::filesystem::path SettingsPath(bool createFolder);
Settings LoadSettings();
void SaveSettings(const Settings& s);

}  // namespace kalorix
