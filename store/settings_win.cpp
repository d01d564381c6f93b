#include "store/settings.h"

#include <windows.h>

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
    if (WriteSettingsFile(s)) RegDeleteKeyValueW(HKEY_CURRENT_USER, kSetupKey, kShareDataValue);
}

}  // namespace

std::filesystem::path SettingsPath(bool createFolder) {
    std::filesystem::path folder = KalorixDataFolder(createFolder);
    if (folder.empty()) return {};
    return folder / "settings.json";
}

Settings LoadSettings() {
    Settings s;
    if (const auto text = ReadFileBytes(SettingsPath(false))) s = ParseSettings(*text);
    TakeOverRegistryShareData(s);
    return s;
}

void SaveSettings(const Settings& s) {
    WriteSettingsFile(s);  // a failed save leaves the previous file whole; nothing to report
}

}  // namespace kalorix
