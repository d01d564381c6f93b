// Who may read the metrics endpoint and where it listens: the endpoint the
// settings ask for (loopback only unless every interface is asked for with a
// usable token), the bearer token's form and its comparison in constant time.
// Portable; the random bytes of a new token come from the Windows layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "metrics/limits.h"
#include "store/settings.h"

namespace kalorix {

struct MetricsEndpoint {
    bool enabled = false;
    int port = kMetricsDefaultPort;
    bool listenAll = false;      // every interface; then every request needs the token
    std::string token;           // set only when listenAll
    bool tokenMissing = false;   // every interface was asked for without a usable token: loopback only
    bool operator==(const MetricsEndpoint&) const = default;
};

MetricsEndpoint EndpointFromSettings(const Settings& settings);

// At least kMetricsMinTokenLength letters, digits, '-' or '_' (what the
// settings file keeps and what a header carries unchanged).
bool TokenUsable(std::string_view token);

// The credentials of an "Authorization: Bearer <token>" value (scheme in any
// case); nothing for another scheme or an empty token.
std::optional<std::string_view> BearerToken(std::string_view authorization);

// Equal texts, in a time that depends on the expected token's length only,
// not on where a guess goes wrong.
bool TokensEqual(std::string_view expected, std::string_view presented);

// Whether a request with this Authorization header (if any) may be answered.
bool RequestAllowed(const MetricsEndpoint& endpoint, const std::optional<std::string>& authorization);

// A token from random bytes: base64url without padding (24 bytes, 32 characters).
inline constexpr size_t kMetricsTokenBytes = 24;
std::string TokenFromBytes(const uint8_t* bytes, size_t count);

}  // namespace kalorix
