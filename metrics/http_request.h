// Reading one HTTP/1.x request head from the bytes a client sent: the request
// line, the headers the metrics endpoint cares about, and where the head ends
// (so a pipelined request that follows is kept). Strict: anything that is not
// a well-formed head is Malformed, a head over the limit is TooLarge. Portable.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "metrics/limits.h"

namespace kalorix {

enum class HttpParse {
    Incomplete,  // no blank line yet and still under the limit: wait for more bytes
    Complete,
    Malformed,
    TooLarge,
};

struct HttpRequest {
    std::string method;  // as sent (methods are case-sensitive)
    std::string path;    // the target without its query
    int minorVersion = 1;                      // HTTP/1.0 or HTTP/1.1
    bool keepAlive = true;                     // the connection may carry another request
    bool hasBody = false;                      // Content-Length above 0 or a Transfer-Encoding
    std::optional<std::string> authorization;  // the one Authorization header's value
};

struct ParsedRequest {
    HttpParse state = HttpParse::Incomplete;
    HttpRequest request;  // filled when Complete
    size_t length = 0;    // bytes of the head, blank line included (Complete only)
};

ParsedRequest ParseHttpRequest(std::string_view data, size_t limit = kMetricsMaxRequestBytes);

}  // namespace kalorix
