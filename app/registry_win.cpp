#include "app/registry_win.h"

#include <vector>

#include "sensors/text.h"

namespace kalorix {

std::optional<std::wstring> RegReadString(HKEY root, const wchar_t* key, const wchar_t* value) {
    std::vector<wchar_t> buf(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
        const LSTATUS s = RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, buf.data(), &size);
        if (s == ERROR_SUCCESS) {
            size_t n = size / sizeof(wchar_t);
            while (n > 0 && buf[n - 1] == L'\0') --n;
            return std::wstring(buf.data(), n);
        }
        if (s != ERROR_MORE_DATA) return std::nullopt;
        buf.resize(size / sizeof(wchar_t) + 1);
    }
    return std::nullopt;
}

std::wstring RegReadTrimmed(HKEY root, const wchar_t* key, const wchar_t* value) {
    const auto text = RegReadString(root, key, value);
    return text ? TrimSpaces(std::wstring_view(*text)) : std::wstring();
}

}  // namespace kalorix
