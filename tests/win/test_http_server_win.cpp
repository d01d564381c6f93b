// The upload tests' local HTTP server: one request per connection, recorded, answered on release.
#include "test_http_server_win.h"

#include <cctype>

#include "test_util_win.h"

namespace kalorix::test {

namespace {

struct WinsockInit {
    WinsockInit() {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    }
} gWinsock;

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
    const std::string lower = Lower(head);
    size_t at = lower.find("\r\n" + Lower(name) + ":");
    if (at == std::string::npos) return {};
    at = head.find_first_not_of(' ', at + name.size() + 3);
    return head.substr(at, head.find("\r\n", at) - at);
}

TestHttpServer::TestHttpServer() {
    released_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    listener_ = BindLoopback(port_);
    listen(listener_, 8);
    thread_ = std::thread([this] { serve(); });
}

TestHttpServer::~TestHttpServer() {
    stop_ = true;
    SetEvent(released_);
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(released_);
}

std::string TestHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::hold(bool on) {
    if (on) ResetEvent(released_);
    else SetEvent(released_);
}

std::vector<RecordedRequest> TestHttpServer::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}

bool TestHttpServer::waitForRequests(size_t n, DWORD timeoutMs) const {
    return WaitUntil([&] { return requests().size() >= n; }, static_cast<int>(timeoutMs));
}

void TestHttpServer::serve() {
    while (!stop_) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener_, &set);
        timeval tv{0, 100000};
        if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
        SOCKET c = accept(listener_, nullptr, nullptr);
        if (c == INVALID_SOCKET) continue;
        handle(c);
        closesocket(c);
    }
}

void TestHttpServer::handle(SOCKET c) {
    std::string data;
    char buf[4096];
    size_t headEnd = std::string::npos;
    size_t contentLength = 0;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + contentLength) break;
        const int n = recv(c, buf, sizeof(buf), 0);
        if (n <= 0) break;
        data.append(buf, n);
        if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            RecordedRequest probe;
            probe.head = data.substr(0, headEnd);
            contentLength = std::strtoul(probe.header("Content-Length").c_str(), nullptr, 10);
        }
    }
    if (headEnd == std::string::npos) return;
    RecordedRequest r;
    r.head = data.substr(0, headEnd);
    r.body = data.substr(headEnd + 4, contentLength);
    const size_t sp1 = r.head.find(' ');
    r.path = r.head.substr(sp1 + 1, r.head.find(' ', sp1 + 1) - sp1 - 1);
    {
        std::lock_guard<std::mutex> g(lock_);
        requests_.push_back(r);
    }
    WaitForSingleObject(released_, 20000);
    std::string reply = "HTTP/1.1 " + std::to_string(status_.load()) + " Test\r\n";
    if (!location_.empty()) reply += "Location: " + location_ + "\r\n";
    reply += "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    send(c, reply.data(), static_cast<int>(reply.size()), 0);
    shutdown(c, SD_SEND);
}

}  // namespace kalorix::test
