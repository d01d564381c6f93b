// The user's preferences and their file, settings.json.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

// Platform part (roaming folder on Windows): path, load with registry take-over, save.
std::filesystem::path SettingsPath(bool createFolder);
Settings LoadSettings();
void SaveSettings(const Settings& s);

}  // namespace kalorix
