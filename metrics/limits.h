// The metrics endpoint's limits, in one place: what one request may weigh, how
// many clients may be connected at once, how long a client may take, and how
// long a bearer token must be. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kalorix {

// A request's head (request line and headers, up to the blank line). More is
// answered with 431 and the connection is closed.
inline constexpr size_t kMetricsMaxRequestBytes = 8 * 1024;
// Connections served at once; one more is answered with 503 and closed.
inline constexpr size_t kMetricsMaxConnections = 8;
// A client has this long to send a whole request, and again to take its
// answer. Bytes that trickle in do not extend it.
inline constexpr uint64_t kMetricsClientTimeoutMs = 5000;
// After the last answer of a connection that closes, what the client still
// sends is read and dropped this long, so that it sees the answer rather than
// a reset.
inline constexpr uint64_t kMetricsDrainMs = 1000;
// Listening on every interface needs a bearer token at least this long.
inline constexpr size_t kMetricsMinTokenLength = 16;
inline constexpr int kMetricsDefaultPort = 9798;

}  // namespace kalorix
