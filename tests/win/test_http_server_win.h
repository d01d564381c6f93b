// A tiny HTTP server on 127.0.0.1 for the upload tests: records each request and
// answers with a chosen status (optionally only after being released).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http_client_win.h"

namespace kalorix::test {

struct RecordedRequest {
    std::string path, head, body;
    std::string header(const std::string& name) const;  // value of "name: value", case-insensitive
};

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    std::string url(const std::string& path = "/api/report.php") const;

    void setStatus(int status, std::string location = {}) { status_ = status; location_ = std::move(location); }
    // While held, requests are read and recorded but not answered.
    void hold(bool on);
    std::vector<RecordedRequest> requests() const;
    // Waits until n requests have been recorded (bounded).
    bool waitForRequests(size_t n, DWORD timeoutMs = 10000) const;

private:
    void serve();
    void handle(SOCKET c);

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> status_{200};
    std::string location_;
    HANDLE released_ = nullptr;  // manual-reset: set when not held
    mutable std::mutex lock_;
    std::vector<RecordedRequest> requests_;
    std::thread thread_;
};

}  // namespace kalorix::test
