#include "store/settings.h"

#include <windows.h>

#include "base/log.h"
#include "store/file_util.h"
#include "store/paths.h"

namespace kalorix {

namespace {

constexpr const wchar_t* kSetupKey = L"Software\\Kalorix";
constexpr const wchar_t* kShareDataValue = L"ShareData";

bool WriteSettingsFile(const Settings& s) {
    return AtomicWriteFile(SettingsPath(true), SerializeSettings(s));
}

// A setup program may leave the user's sharing choice in the registry. It is
// used once: stored in the file, then the value is removed. The value is removed
// only after the file holds the choice, so a failed save does not lose it.
void TakeOverRegistryShareData(Settings& s) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSetupKey, kShareDataValue, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return;
    s.ShareData = value != 0;
    if (!WriteSettingsFile(s)) return;
    const LSTATUS deleted = RegDeleteKeyValueW(HKEY_CURRENT_USER, kSetupKey, kShareDataValue);
    if (deleted != ERROR_SUCCESS) LogWin32Error("settings", "RegDeleteKeyValueW(ShareData)", static_cast<unsigned long>(deleted));
}

}  // namespace

std::filesystem::path SettingsPath(bool createFolder) {
    std::filesystem::path folder = KalorixDataFolder(createFolder);
    if (folder.empty()) return {};
    return folder / "settings.json";
}

Settings LoadSettings() {
    Settings settings = LoadSettingsFile(SettingsPath(false));
    TakeOverRegistryShareData(settings);
    return settings;
}

void SaveSettings(const Settings& s) {
    WriteSettingsFile(s);  // a failed save leaves the previous file whole and is logged there
}

}  // namespace kalorix
