#include "metrics/http_connection.h"

namespace kalorix {

HttpConnection::HttpConnection(uint64_t nowMs, uint64_t timeoutMs, uint64_t drainMs)
    : timeoutMs_(timeoutMs), drainMs_(drainMs), deadline_(nowMs + timeoutMs) {}

void HttpConnection::received(std::string_view bytes, uint64_t nowMs, const Responder& respond) {
    if (phase_ == Phase::Draining || phase_ == Phase::Done) return;
    input_.append(bytes);
    answerWhatIsComplete(nowMs, respond);
}

void HttpConnection::answerWhatIsComplete(uint64_t nowMs, const Responder& respond) {
    if (phase_ != Phase::Reading || input_.empty()) return;
    const ParsedRequest parsed = ParseHttpRequest(input_);
    switch (parsed.state) {
        case HttpParse::Incomplete: return;
        case HttpParse::TooLarge:
            input_.clear();
            queue(ErrorResponse(431), nowMs);
            return;
        case HttpParse::Malformed:
            input_.clear();
            queue(ErrorResponse(400), nowMs);
            return;
        case HttpParse::Complete:
            input_.erase(0, parsed.length);
            queue(respond(parsed.request), nowMs);
            return;
    }
}

void HttpConnection::queue(const HttpResponse& response, uint64_t nowMs) {
    head_ = ResponseHead(response);
    body_ = response.headOnly ? nullptr : response.body;
    offset_ = 0;
    closeAfter_ = response.close;
    phase_ = Phase::Writing;
    deadline_ = nowMs + timeoutMs_;
    ++answered_;
}

std::string_view HttpConnection::pending() const {
    if (phase_ != Phase::Writing) return {};
    if (offset_ < head_.size()) return std::string_view(head_).substr(offset_);
    if (!body_) return {};
    return std::string_view(*body_).substr(offset_ - head_.size());
}

void HttpConnection::sent(size_t count, uint64_t nowMs, const Responder& respond) {
    if (phase_ != Phase::Writing) return;
    offset_ += count;
    if (!pending().empty()) return;
    finishAnswer(nowMs, respond);
}

void HttpConnection::finishAnswer(uint64_t nowMs, const Responder& respond) {
    head_.clear();
    body_.reset();
    offset_ = 0;
    if (closeAfter_) {
        input_.clear();
        phase_ = peerClosed_ ? Phase::Done : Phase::Draining;
        deadline_ = nowMs + drainMs_;
        return;
    }
    phase_ = Phase::Reading;
    deadline_ = nowMs + timeoutMs_;
    answerWhatIsComplete(nowMs, respond);  // a request that came right behind the last one
    if (phase_ == Phase::Reading && peerClosed_) phase_ = Phase::Done;
}

void HttpConnection::peerClosed(uint64_t nowMs) {
    peerClosed_ = true;
    // A request cut short gets no answer; an answer under way is still sent.
    if (phase_ == Phase::Reading || phase_ == Phase::Draining) phase_ = Phase::Done;
}

void HttpConnection::tick(uint64_t nowMs) {
    if (phase_ != Phase::Done && nowMs >= deadline_) phase_ = Phase::Done;
}

}  // namespace kalorix
