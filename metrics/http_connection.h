// One client connection of the metrics endpoint without its socket: bytes in,
// bytes out, and when it has to end. A request must arrive whole within the
// client timeout of the connection starting to wait for it, and its answer
// must be taken within the same time; one answer at a time, so a client that
// pipelines waits in its own socket buffer. After an answer that closes the
// connection, what the client still sends is dropped for a short while (so it
// reads the answer instead of a reset). The Windows layer moves the bytes and
// closes the socket when the connection is Done. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "metrics/http_response.h"
#include "metrics/limits.h"

namespace kalorix {

// Whether one more connection may be served while `open` are.
inline bool AdmitConnection(size_t open) { return open < kMetricsMaxConnections; }

class HttpConnection {
public:
    using Responder = std::function<HttpResponse(const HttpRequest&)>;
    enum class Phase {
        Reading,   // waiting for a whole request
        Writing,   // an answer is being sent
        Draining,  // answered and closing: the client's further bytes are dropped
        Done,      // close the socket
    };

    explicit HttpConnection(uint64_t nowMs, uint64_t timeoutMs = kMetricsClientTimeoutMs,
                            uint64_t drainMs = kMetricsDrainMs);

    // Bytes from the client (only asked for while wantsInput). A whole request
    // is answered at once: its answer becomes pending.
    void received(std::string_view bytes, uint64_t nowMs, const Responder& respond);
    // The client sends nothing more (it may still read).
    void peerClosed(uint64_t nowMs);
    // The bytes still to send (empty unless Writing).
    std::string_view pending() const;
    // count bytes of pending() went out. The end of an answer may start the
    // next pipelined request's.
    void sent(size_t count, uint64_t nowMs, const Responder& respond);
    // Past the deadline the connection is Done.
    void tick(uint64_t nowMs);
    // The socket failed: Done at once.
    void abort() { phase_ = Phase::Done; }

    Phase phase() const { return phase_; }
    bool wantsInput() const { return phase_ == Phase::Reading || phase_ == Phase::Draining; }
    uint64_t deadline() const { return deadline_; }
    size_t buffered() const { return input_.size(); }
    int requestsAnswered() const { return answered_; }

private:
    void answerWhatIsComplete(uint64_t nowMs, const Responder& respond);
    void queue(const HttpResponse& response, uint64_t nowMs);
    void finishAnswer(uint64_t nowMs, const Responder& respond);

    uint64_t timeoutMs_, drainMs_;
    Phase phase_ = Phase::Reading;
    uint64_t deadline_;
    std::string input_;
    std::string head_;
    std::shared_ptr<const std::string> body_;
    size_t offset_ = 0;
    bool closeAfter_ = false;
    bool peerClosed_ = false;
    int answered_ = 0;
};

}  // namespace kalorix
