// The metrics endpoint: a small HTTP server inside the monitor, on a Winsock
// listener of its own thread (127.0.0.1, or every interface with the bearer
// token). The window hands it a copy of what the pages show once per sampling
// cycle; the server thread writes the pages from that copy when they are
// asked for, at most once per cycle, so neither the sampler nor the window
// ever waits for a client.
//
// Winsock rather than the HTTP Server API (http.sys): http.sys keeps the
// connection limit, the idle timeout and the request size to itself (machine
// settings and an administrator's URL reservation for every interface), and
// Wine's implementation ignores or lacks the properties that set them, so the
// limits could be neither enforced per program nor tested.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bench/scores.h"
#include "metrics/access.h"
#include "metrics/exposition.h"
#include "metrics/http_response.h"
#include "metrics/limits.h"
#include "metrics/metrics_view.h"
#include "sensors/sensor_model.h"

namespace kalorix {

class MetricsServer {
public:
    struct Options {
        uint64_t clientTimeoutMs = kMetricsClientTimeoutMs;
        uint64_t drainMs = kMetricsDrainMs;
        // The latest test scores (default: the usage history's); the program's version.
        std::function<bench::LatestScores()> scores;
        std::string version;  // default: the executable's version resource
        // The every-interface mode (token and all) bound to 127.0.0.1 only, so
        // tests of it keep their traffic off the network.
        bool loopbackOnly = false;
    };

    MetricsServer();
    explicit MetricsServer(Options options);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Starts, moves or stops the listener to match the endpoint. Binding
    // happens here, so the state (a port in use, say) is known on return.
    void apply(const MetricsEndpoint& endpoint);
    // What the pages show, from this cycle's snapshot. Nothing while off.
    void publish(const SensorSnapshot& snapshot);
    void stop();

    MetricsView view() const;
    bool running() const { return thread_.joinable(); }
    uint64_t requestsAnswered() const { return answered_.load(); }

private:
    struct Listener;
    void serve(std::shared_ptr<Listener> listener);
    std::shared_ptr<const std::string> page(MetricsPage which);

    Options options_;
    MetricsEndpoint endpoint_;
    MetricsView view_;
    std::thread thread_;
    std::shared_ptr<Listener> listener_;
    std::atomic<bool> loopFailed_{false};
    std::atomic<uint64_t> answered_{0};

    // The latest cycle's copy (main thread writes, server thread reads).
    mutable std::mutex sourceLock_;
    std::shared_ptr<const MetricsSource> source_;

    // Server thread only: the pages of the copy they were written from.
    std::shared_ptr<const MetricsSource> pagesOf_;
    MetricsExtras extras_;
    std::shared_ptr<const std::string> metricsPage_, jsonPage_;
};

}  // namespace kalorix
