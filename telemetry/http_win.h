// One blocking JSON POST to the report endpoint over WinHTTP.
#pragma once

#include <string>

namespace kalorix {

struct RequestResult {
    bool ok = false;
    std::wstring message;  // empty when ok
};

// "KALORIX_TELEMETRY_URL" when set, otherwise the service's report endpoint.
std::wstring TelemetryEndpoint();
std::wstring TelemetryUserAgent();  // "Kalorix/" + AppVersionText()

RequestResult PostJson(const std::string& body);

}  // namespace kalorix
