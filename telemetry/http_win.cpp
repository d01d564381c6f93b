#include "telemetry/http_win.h"

#include <windows.h>
#include <winhttp.h>

#include "telemetry/telemetry_client_win.h"

namespace kalorix {

namespace {

constexpr wchar_t kDefaultEndpoint[] = L"https://kalorix.app/api/report.php";

// Closes a WinHTTP handle when it goes out of scope.
struct HttpHandle {
    HINTERNET h = nullptr;
    explicit HttpHandle(HINTERNET handle) : h(handle) {}
    ~HttpHandle() {
        if (h) WinHttpCloseHandle(h);
    }
    HttpHandle(const HttpHandle&) = delete;
    HttpHandle& operator=(const HttpHandle&) = delete;
};

}  // namespace

std::wstring TelemetryEndpoint() {
    wchar_t buf[512];
    const DWORD n = GetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", buf, 512);
    if (n > 0 && n < 512) return std::wstring(buf, n);
    return kDefaultEndpoint;
}

std::wstring TelemetryUserAgent() { return L"Kalorix/" + AppVersionText(); }

RequestResult PostJson(const std::string& body) {
    const std::wstring url = TelemetryEndpoint();
    wchar_t host[256] = {};
    wchar_t path[1024] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return {false, L"Adres geçersiz"};

    const std::wstring agent = TelemetryUserAgent();
    HttpHandle session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.h) {
        // Older systems lack the automatic proxy type; fall back to the default one.
        session.h = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (!session.h) return {false, L"Bağlantı kurulamadı"};
    WinHttpSetTimeouts(session.h, 10000, 10000, 10000, 15000);

    RequestResult result{false, L"Sunucuya ulaşılamadı"};
    HttpHandle connection(WinHttpConnect(session.h, host, parts.nPort, 0));
    if (!connection.h) return result;
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HttpHandle request(WinHttpOpenRequest(connection.h, L"POST", path, nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request.h) return result;
    // A redirect is an answer of its own, never a success reached by following it.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.h, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    const wchar_t* header = L"Content-Type: application/json; charset=utf-8\r\n";
    if (!WinHttpSendRequest(request.h, header, static_cast<DWORD>(-1L), const_cast<char*>(body.data()),
                            static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0))
        return result;
    if (!WinHttpReceiveResponse(request.h, nullptr)) return result;
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return result;
    if (status >= 200 && status <= 299) return {true, L""};
    return {false, L"Sunucu hatası (" + std::to_wstring(status) + L")"};
}

}  // namespace kalorix
