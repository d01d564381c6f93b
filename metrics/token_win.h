// A new bearer token for the metrics endpoint from the system's random-number
// generator (BCrypt), and this computer's name for the address the Settings
// page shows.
#pragma once

#include <optional>
#include <string>

namespace kalorix {

// 32 characters of base64url; nothing (and a log line) when the generator fails.
std::optional<std::string> NewMetricsToken();
// The DNS host name of this computer; empty when it cannot be read.
std::wstring ComputerHostName();

}  // namespace kalorix
