#include "metrics/http_request.h"

#include <algorithm>
#include <cstring>

namespace kalorix {

namespace {

// The token characters of a method or a header name.
bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

// Control characters other than the tab end a well-formed line.
bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return v;
}

// "GET /metrics HTTP/1.1": three parts, one blank between each.
bool ParseRequestLine(std::string_view line, HttpRequest& r) {
    const size_t first = line.find(' ');
    if (first == std::string_view::npos) return false;
    const size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) return false;
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!IsToken(method) || target.empty() || target.front() != '/') return false;
    if (version == "HTTP/1.1") r.minorVersion = 1;
    else if (version == "HTTP/1.0") r.minorVersion = 0;
    else return false;
    r.method = std::string(method);
    r.path = std::string(target.substr(0, target.find_first_of("?#")));
    return true;
}

struct HeaderFacts {
    bool close = false, keepAlive = false;
    std::optional<std::string_view> contentLength;
};

bool ParseHeader(std::string_view line, HttpRequest& r, HeaderFacts& facts) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return false;  // also obs-fold
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualsNoCase(name, "connection")) {
        std::string_view rest = value;
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            const std::string_view option = TrimBlanks(rest.substr(0, comma));
            if (EqualsNoCase(option, "close")) facts.close = true;
            if (EqualsNoCase(option, "keep-alive")) facts.keepAlive = true;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    } else if (EqualsNoCase(name, "content-length")) {
        if (value.empty() || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        if (facts.contentLength && *facts.contentLength != value) return false;
        facts.contentLength = value;
        if (value.find_first_not_of('0') != std::string_view::npos) r.hasBody = true;
    } else if (EqualsNoCase(name, "transfer-encoding")) {
        r.hasBody = true;
    } else if (EqualsNoCase(name, "authorization")) {
        if (r.authorization) return false;  // two credentials: which one counts is ambiguous
        r.authorization = std::string(value);
    }
    return true;
}

}  // namespace

ParsedRequest ParseHttpRequest(std::string_view data, size_t limit) {
    ParsedRequest out;
    // Empty lines before a request line are ignored.
    size_t pos = 0;
    for (;;) {
        if (data.compare(pos, 2, "\r\n") == 0) pos += 2;
        else if (data.compare(pos, 1, "\n") == 0) pos += 1;
        else break;
    }

    HttpRequest request;
    HeaderFacts facts;
    bool firstLine = true;
    while (true) {
        const size_t lf = data.find('\n', pos);
        if (lf == std::string_view::npos) {  // the head goes on: it may still fit
            out.state = data.size() >= limit ? HttpParse::TooLarge : HttpParse::Incomplete;
            return out;
        }
        if (lf + 1 > limit) {
            out.state = HttpParse::TooLarge;
            return out;
        }
        std::string_view line = data.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = lf + 1;
        if (HasControl(line)) {
            out.state = HttpParse::Malformed;
            return out;
        }
        if (firstLine) {
            if (!ParseRequestLine(line, request)) {
                out.state = HttpParse::Malformed;
                return out;
            }
            firstLine = false;
            continue;
        }
        if (line.empty()) break;  // the blank line: end of the head
        if (!ParseHeader(line, request, facts)) {
            out.state = HttpParse::Malformed;
            return out;
        }
    }
    request.keepAlive = request.minorVersion == 1 ? !facts.close : facts.keepAlive && !facts.close;
    out.state = HttpParse::Complete;
    out.request = std::move(request);
    out.length = pos;
    return out;
}

}  // namespace kalorix
