#include "store/paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <system_error>

namespace kalorix {

std::filesystem::path KalorixDataFolder(bool createFolder) {
    PWSTR roaming = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming);
    std::filesystem::path base;
    if (SUCCEEDED(hr) && roaming && *roaming) base = roaming;
    CoTaskMemFree(roaming);  // also owed when the call failed
    if (base.empty()) return {};
    std::filesystem::path folder = base / L"Kalorix";
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return folder;
}

}  // namespace kalorix
