#include "metrics/token_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>

#include "base/log.h"
#include "metrics/access.h"

namespace kalorix {

std::optional<std::string> NewMetricsToken() {
    std::array<uint8_t, kMetricsTokenBytes> bytes{};
    const NTSTATUS status =
        BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status)) {
        LogHResult("metrics", "BCryptGenRandom for the access token", status);
        return std::nullopt;
    }
    std::string token = TokenFromBytes(bytes.data(), bytes.size());
    SecureZeroMemory(bytes.data(), bytes.size());
    return token;
}

std::wstring ComputerHostName() {
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) {
        LogWin32Error("metrics", "GetComputerNameExW", GetLastError());
        return {};
    }
    return std::wstring(name, size);
}

}  // namespace kalorix
