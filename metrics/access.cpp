#include "metrics/access.h"

#include <algorithm>

namespace kalorix {

namespace {

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

}  // namespace

MetricsEndpoint EndpointFromSettings(const Settings& s) {
    MetricsEndpoint e;
    e.enabled = s.MetricsEnabled;
    e.port = s.MetricsPort;
    if (s.MetricsListenAll) {
        if (TokenUsable(s.MetricsToken)) {
            e.listenAll = true;
            e.token = s.MetricsToken;
        } else {
            e.tokenMissing = true;
        }
    }
    return e;
}

bool TokenUsable(std::string_view token) {
    return token.size() >= kMetricsMinTokenLength && std::all_of(token.begin(), token.end(), IsTokenChar);
}

std::optional<std::string_view> BearerToken(std::string_view authorization) {
    constexpr std::string_view kScheme = "bearer";
    if (authorization.size() <= kScheme.size() || authorization[kScheme.size()] != ' ') return std::nullopt;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        char c = authorization[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kScheme[i]) return std::nullopt;
    }
    std::string_view token = authorization.substr(kScheme.size());
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    if (token.empty()) return std::nullopt;
    return token;
}

bool TokensEqual(std::string_view expected, std::string_view presented) {
    // Every byte of the expected token is looked at, whatever was presented.
    unsigned difference = expected.size() == presented.size() ? 0u : 1u;
    for (size_t i = 0; i < expected.size(); ++i) {
        const unsigned char given = i < presented.size() ? static_cast<unsigned char>(presented[i]) : 0;
        difference |= static_cast<unsigned char>(expected[i]) ^ given;
    }
    return difference == 0 && !expected.empty();
}

bool RequestAllowed(const MetricsEndpoint& endpoint, const std::optional<std::string>& authorization) {
    if (!endpoint.listenAll) return true;  // loopback only: this computer's own users
    if (!authorization) return false;
    const auto token = BearerToken(*authorization);
    return token && TokensEqual(endpoint.token, *token);
}

std::string TokenFromBytes(const uint8_t* bytes, size_t count) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    out.reserve((count * 4 + 2) / 3);
    for (size_t i = 0; i < count; i += 3) {
        const size_t n = std::min<size_t>(3, count - i);
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (n > 1) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (n > 2) group |= bytes[i + 2];
        for (size_t k = 0; k <= n; ++k) out.push_back(kAlphabet[(group >> (18 - 6 * k)) & 0x3F]);
    }
    return out;
}

}  // namespace kalorix
