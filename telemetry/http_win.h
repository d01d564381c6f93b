// One blocking JSON POST to the report endpoint over WinHTTP.
#pragma once

#include <optional>
#include <string>

namespace kalorix {

struct RequestResult {
    bool ok = false;
    std::wstring message;  // empty when ok
};

// "KALORIX_TELEMETRY_URL" when set, otherwise the service's report endpoint.
// Nothing when the variable is set to something that is not an http or https
// address with a host: a request then fails with "Adres geçersiz" and never
// falls back to the service's address.
std::optional<std::wstring> TelemetryEndpoint();
std::wstring TelemetryUserAgent();  // "Kalorix/" + AppVersionText()

RequestResult PostJson(const std::string& body);

}  // namespace kalorix
