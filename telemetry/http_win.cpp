#include "telemetry/http_win.h"

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

#include "base/log.h"
#include "base/scoped_win.h"
#include "telemetry/telemetry_client_win.h"

namespace kalorix {

namespace {

constexpr wchar_t kDefaultEndpoint[] = L"https://kalorix.app/api/report.php";

// The parts of an endpoint address that the request needs.
struct Endpoint {
    std::wstring host;
    std::wstring path;  // path and query
    INTERNET_PORT port = 0;
    bool secure = false;
};

// Only http and https addresses with a host; nothing for anything else.
std::optional<Endpoint> CrackEndpoint(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return std::nullopt;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return std::nullopt;
    if (!parts.lpszHostName || parts.dwHostNameLength == 0) return std::nullopt;
    Endpoint e;
    e.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    if (parts.lpszUrlPath) e.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) e.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (e.path.empty()) e.path = L"/";
    e.port = parts.nPort;
    e.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return e;
}

// A WinHTTP handle, closed with WinHttpCloseHandle.
struct HttpHandleTraits {
    using Handle = HINTERNET;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { WinHttpCloseHandle(h); }
};
using HttpHandle = UniqueResource<HttpHandleTraits>;

}  // namespace

std::optional<std::wstring> TelemetryEndpoint() {
    const DWORD size = GetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", nullptr, 0);
    if (size == 0) return std::wstring(kDefaultEndpoint);
    std::wstring value(size, L'\0');
    const DWORD n = GetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", value.data(), size);
    if (n == 0 || n >= size) return std::nullopt;
    value.resize(n);
    if (!CrackEndpoint(value)) return std::nullopt;
    return value;
}

std::wstring TelemetryUserAgent() { return L"Kalorix/" + AppVersionText(); }

RequestResult PostJson(const std::string& body) {
    const std::optional<std::wstring> url = TelemetryEndpoint();
    const std::optional<Endpoint> endpoint = url ? CrackEndpoint(*url) : std::nullopt;
    if (!endpoint) {
        Log(LogLevel::Error, "telemetry", "the report address is not a usable http or https address");
        return {false, L"Adres geçersiz"};
    }

    const std::wstring agent = TelemetryUserAgent();
    HttpHandle session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        // Older systems lack the automatic proxy type; fall back to the default one.
        session.reset(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if (!session) {
        LogWin32Error("telemetry", "WinHttpOpen", GetLastError());
        return {false, L"Bağlantı kurulamadı"};
    }
    WinHttpSetTimeouts(session.get(), 10000, 10000, 10000, 15000);

    // Every failed step is logged with its error code; the user sees one sentence.
    auto unreachable = [](const char* step) {
        LogWin32Error("telemetry", step, GetLastError());
        return RequestResult{false, L"Sunucuya ulaşılamadı"};
    };
    HttpHandle connection(WinHttpConnect(session.get(), endpoint->host.c_str(), endpoint->port, 0));
    if (!connection) return unreachable("WinHttpConnect");
    const DWORD flags = endpoint->secure ? WINHTTP_FLAG_SECURE : 0;
    HttpHandle request(WinHttpOpenRequest(connection.get(), L"POST", endpoint->path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request) return unreachable("WinHttpOpenRequest");
    // A redirect is an answer of its own, never a success reached by following it.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    const wchar_t* header = L"Content-Type: application/json; charset=utf-8\r\n";
    if (!WinHttpSendRequest(request.get(), header, static_cast<DWORD>(-1L), const_cast<char*>(body.data()),
                            static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0))
        return unreachable("WinHttpSendRequest");
    if (!WinHttpReceiveResponse(request.get(), nullptr)) return unreachable("WinHttpReceiveResponse");
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return unreachable("WinHttpQueryHeaders");
    if (status >= 200 && status <= 299) return {true, L""};
    Log(LogLevel::Error, "telemetry", "the report service answered HTTP " + std::to_string(status));
    return {false, L"Sunucu hatası (" + std::to_wstring(status) + L")"};
}

}  // namespace kalorix
