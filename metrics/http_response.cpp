#include "metrics/http_response.h"

namespace kalorix {

namespace {

const char* ErrorText(int status) {
    switch (status) {
        case 400: return "İstek anlaşılamadı.\n";
        case 401: return "Erişim belirteci gerekli: Authorization: Bearer <belirteç>\n";
        case 404: return "Bulunamadı. Adresler: /metrics ve /data.json\n";
        case 405: return "Yalnızca GET ve HEAD istekleri yanıtlanır.\n";
        case 431: return "İstek çok büyük (en fazla 8 KiB).\n";
        case 503: return "Çok fazla bağlantı; biraz sonra yeniden dene.\n";
        default: return "Hata.\n";
    }
}

}  // namespace

const char* StatusReason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 431: return "Request Header Fields Too Large";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

HttpResponse ErrorResponse(int status) {
    HttpResponse r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = std::make_shared<const std::string>(ErrorText(status));
    r.close = true;
    if (status == 401) r.extraHeaders = "WWW-Authenticate: Bearer realm=\"kalorix\"\r\n";
    if (status == 405) r.extraHeaders = "Allow: GET, HEAD\r\n";
    return r;
}

HttpResponse AnswerRequest(const HttpRequest& request, const MetricsEndpoint& endpoint, const PageSource& pages) {
    HttpResponse r;
    // The token first: without it nothing, not even which paths exist, is told.
    if (!RequestAllowed(endpoint, request.authorization)) {
        r = ErrorResponse(401);
    } else if (request.path != "/metrics" && request.path != "/data.json") {
        r = ErrorResponse(404);
    } else if (request.method != "GET" && request.method != "HEAD") {
        r = ErrorResponse(405);
    } else if (request.hasBody) {
        r = ErrorResponse(400);  // a GET carries no body; this server reads none
    } else {
        const MetricsPage page = request.path == "/metrics" ? MetricsPage::Metrics : MetricsPage::DataJson;
        r.contentType = page == MetricsPage::Metrics ? kMetricsContentType : kJsonContentType;
        r.body = pages(page);
        if (!r.body) r.body = std::make_shared<const std::string>();
    }
    r.headOnly = request.method == "HEAD";
    // A well-formed request keeps its connection whatever the answer, unless
    // the client ends it or sent a body: an unread body would be taken for
    // the next request.
    r.close = request.hasBody || !request.keepAlive;
    return r;
}

std::string ResponseHead(const HttpResponse& r) {
    std::string head = "HTTP/1.1 ";
    head += std::to_string(r.status);
    head += ' ';
    head += StatusReason(r.status);
    head += "\r\nContent-Type: ";
    head += r.contentType;
    head += "\r\nContent-Length: ";
    head += std::to_string(r.body ? r.body->size() : 0);
    head += "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    head += r.close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += r.extraHeaders;
    head += "\r\n";
    return head;
}

}  // namespace kalorix
