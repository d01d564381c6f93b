#include "providers/pawnio_library_win.h"

#include <shlobj.h>
#include <knownfolders.h>
#include <softpub.h>
#include <wintrust.h>

#include <optional>

#include "base/scoped_win.h"
#include "providers/factories_win.h"
#include "providers/pawnio_decode.h"

namespace kalorix {

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PawnIO";
constexpr DWORD kRegistryBufferBytes = 1024;

std::optional<std::wstring> ReadInstallLocation() {
    wchar_t buffer[kRegistryBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;  // not installed (or not by its installer): nothing to log
    buffer[std::size(buffer) - 1] = L'\0';
    return std::wstring(buffer);
}

std::optional<std::wstring> ProgramFilesFolder() {
    CoTaskMemPtr<wchar_t> path;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, path.put())) || !path.get())
        return std::nullopt;
    return std::wstring(path.get());
}

}  // namespace

std::wstring FindPawnIoLibrary() { return ComposePawnIoLibraryPath(ReadInstallLocation(), ProgramFilesFolder()); }

bool PawnIoLibraryPresent(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

long VerifyAuthenticode(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
    const LONG result = WinVerifyTrust(noUser, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(noUser, &action, &data);
    return result;
}

HMODULE LoadPawnIoLibrary(const std::wstring& path, unsigned long* error) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (error) *error = module ? ERROR_SUCCESS : GetLastError();
    return module;
}

}  // namespace kalorix
