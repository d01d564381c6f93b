// What the metrics endpoint answers: the two pages for GET and HEAD, 404 for
// any other path, 405 for another method, 401 without the right bearer token
// (when one is needed), and the error answers of the connection's limits;
// and the bytes of an answer's head. Portable.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "metrics/access.h"
#include "metrics/http_request.h"

namespace kalorix {

enum class MetricsPage { Metrics, DataJson };

struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;  // shared with the page cache; never null once made
    std::string extraHeaders;                 // whole header lines, each ending in CRLF
    bool close = false;                       // the connection ends after this answer
    bool headOnly = false;                    // HEAD: the head alone, with the body's length
};

// The text of a page for the latest snapshot.
using PageSource = std::function<std::shared_ptr<const std::string>(MetricsPage)>;

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

// The answer to a complete request.
HttpResponse AnswerRequest(const HttpRequest& request, const MetricsEndpoint& endpoint, const PageSource& pages);
// A short plain-text answer with this status that ends the connection (400,
// 401, 404, 405, 431, 503).
HttpResponse ErrorResponse(int status);

// The status line and headers, blank line included.
std::string ResponseHead(const HttpResponse& response);
const char* StatusReason(int status);

}  // namespace kalorix
