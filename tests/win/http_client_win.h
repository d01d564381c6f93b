// Loopback sockets for the local HTTP tests and figures: an address and a free
// port on 127.0.0.1, and a blocking HTTP/1.1 client that reads whole answers by
// their Content-Length. Header-only, so the perf programs use it too; the caller
// has started Winsock.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

namespace kalorix::test {

inline sockaddr_in LoopbackAddress(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    return a;
}

// A socket bound to 127.0.0.1 at a port the system chose, and that port.
inline SOCKET BindLoopback(int& port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = LoopbackAddress(0);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return s;
}

// A port on 127.0.0.1 with nobody listening.
inline int UnusedLoopbackPort() {
    int port = 0;
    closesocket(BindLoopback(port));
    return port;
}

inline std::string StatusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }
inline std::string Body(const std::string& answer) { return answer.substr(answer.find("\r\n\r\n") + 4); }

// A blocking client on 127.0.0.1 whose reads give up after readTimeoutMs; requests
// leave at once (no Nagle delay).
class HttpClient {
public:
    explicit HttpClient(int port, DWORD readTimeoutMs = 10000) {
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&readTimeoutMs), sizeof readTimeoutMs);
        const BOOL noDelay = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        sockaddr_in a = LoopbackAddress(port);
        connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~HttpClient() { closesocket(socket_); }
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    bool send(const std::string& b) { return ::send(socket_, b.data(), int(b.size()), 0) == int(b.size()); }
    // One answer by its Content-Length; empty when the connection ended or stayed silent.
    std::string answer() {
        for (;;) {
            const size_t end = buffer_.find("\r\n\r\n"), at = buffer_.find("Content-Length: ");
            const size_t total = end == std::string::npos ? end : end + 4 + (at < end ? std::stoul(buffer_.substr(at + 16)) : 0);
            if (total != std::string::npos && buffer_.size() >= total) {
                std::string out = buffer_.substr(0, total);
                buffer_.erase(0, total);
                return out;
            }
            if (!readMore()) return {};
        }
    }
    bool closedByServer() {
        while (readMore()) buffer_.clear();
        return lastRead_ == 0 || lastError_ == WSAECONNRESET || lastError_ == WSAECONNABORTED;
    }
    std::string get(const std::string& path) { return send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") ? answer() : ""; }

private:
    bool readMore() {
        char chunk[16384];
        lastRead_ = recv(socket_, chunk, static_cast<int>(sizeof chunk), 0);
        lastError_ = lastRead_ < 0 ? WSAGetLastError() : 0;
        if (lastRead_ > 0) buffer_.append(chunk, static_cast<size_t>(lastRead_));
        return lastRead_ > 0;
    }

    SOCKET socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    std::string buffer_;
    int lastRead_ = 0, lastError_ = 0;
};

}  // namespace kalorix::test
