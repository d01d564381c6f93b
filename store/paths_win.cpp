#include "store/paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <system_error>

#include "base/log.h"
#include "base/scoped_win.h"
#include "store/file_util.h"

namespace kalorix {

std::filesystem::path KalorixDataFolder(bool createFolder) {
    // Every data file is reached through here, so its saves are durable from the first one.
    UseWindowsDurableFiles();
    CoTaskMemPtr<wchar_t> roaming;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, roaming.put());
    if (FAILED(hr) || !roaming.get() || !*roaming.get()) {
        LogHResult("paths", "SHGetKnownFolderPath(RoamingAppData)", hr);
        return {};
    }
    std::filesystem::path folder = std::filesystem::path(roaming.get()) / L"Kalorix";
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) Log(LogLevel::Error, "paths", "cannot create " + PathText(folder) + ": " + ec.message());
    }
    return folder;
}

}  // namespace kalorix
