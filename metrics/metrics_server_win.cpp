#include "metrics/metrics_server_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <vector>

#include "base/log.h"
#include "base/scoped_win.h"
#include "metrics/http_connection.h"
#include "metrics/token_win.h"
#include "sensors/text.h"
#include "store/usage_history.h"
#include "telemetry/telemetry_client_win.h"

namespace kalorix {

namespace {

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Empty() { return INVALID_SOCKET; }
    static bool Valid(Handle h) { return h != INVALID_SOCKET; }
    static void Close(Handle h) { closesocket(h); }
};
struct WsaEventTraits {
    using Handle = WSAEVENT;
    static Handle Empty() { return WSA_INVALID_EVENT; }
    static bool Valid(Handle h) { return h != WSA_INVALID_EVENT; }
    static void Close(Handle h) { WSACloseEvent(h); }
};
using UniqueSocket = UniqueResource<SocketTraits>;
using UniqueWsaEvent = UniqueResource<WsaEventTraits>;

// Winsock for as long as a listener lives.
class WinsockScope {
public:
    WinsockScope() {
        WSADATA data;
        result_ = WSAStartup(MAKEWORD(2, 2), &data);
        if (result_ != 0) LogWin32Error("metrics", "WSAStartup", static_cast<unsigned long>(result_));
    }
    ~WinsockScope() {
        if (result_ == 0) WSACleanup();
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool ok() const { return result_ == 0; }

private:
    int result_;
};

constexpr long kClientEvents = FD_READ | FD_WRITE | FD_CLOSE;
constexpr int kListenBacklog = 16;
constexpr size_t kReadChunk = 4096;
constexpr size_t kSendChunk = 64 * 1024;

struct Client {
    UniqueSocket socket;
    UniqueWsaEvent event;
    HttpConnection http;
    bool shutDown = false;
};

std::string EndpointText(const MetricsEndpoint& e) {
    return std::string(e.listenAll ? "0.0.0.0:" : "127.0.0.1:") + std::to_string(e.port);
}

// Sends a short answer to a connection over the limit and closes it.
void Refuse(UniqueSocket socket) {
    HttpResponse busy = ErrorResponse(503);
    const std::string bytes = ResponseHead(busy) + *busy.body;
    send(socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0);  // best effort: fits any send buffer
    shutdown(socket.get(), SD_SEND);
}

// Moves bytes until the socket would block; the connection decides what they mean.
void Pump(Client& c, uint64_t now, const HttpConnection::Responder& respond) {
    for (;;) {
        c.http.tick(now);
        switch (c.http.phase()) {
            case HttpConnection::Phase::Done: return;
            case HttpConnection::Phase::Writing: {
                const std::string_view out = c.http.pending();
                const int n = send(c.socket.get(), out.data(), static_cast<int>(std::min(out.size(), kSendChunk)), 0);
                if (n > 0) {
                    c.http.sent(static_cast<size_t>(n), now, respond);
                    continue;
                }
                if (WSAGetLastError() != WSAEWOULDBLOCK) c.http.abort();
                return;
            }
            case HttpConnection::Phase::Draining:
                if (!c.shutDown) {
                    shutdown(c.socket.get(), SD_SEND);
                    c.shutDown = true;
                }
                break;
            case HttpConnection::Phase::Reading: break;
        }
        char buffer[kReadChunk];
        const int n = recv(c.socket.get(), buffer, static_cast<int>(sizeof buffer), 0);
        if (n > 0) {
            c.http.received(std::string_view(buffer, static_cast<size_t>(n)), now, respond);
        } else if (n == 0) {
            c.http.peerClosed(now);
        } else {
            if (WSAGetLastError() != WSAEWOULDBLOCK) c.http.abort();
            return;
        }
    }
}

}  // namespace

// The listening socket with its event, and the stop signal of its thread.
struct MetricsServer::Listener {
    WinsockScope winsock;
    UniqueSocket socket;
    UniqueWsaEvent accept;
    UniqueWsaEvent stop;
    MetricsEndpoint endpoint;
};

MetricsServer::MetricsServer() : MetricsServer(Options{}) {}

MetricsServer::MetricsServer(Options options) : options_(std::move(options)) {
    if (!options_.scores) options_.scores = [] { return bench::ComputeLatestScores(UsageHistory::instance()); };
    if (options_.version.empty()) options_.version = WideToUtf8(AppVersionText());
    extras_.version = options_.version;
}

MetricsServer::~MetricsServer() { stop(); }

void MetricsServer::stop() {
    if (listener_) WSASetEvent(listener_->stop.get());
    if (thread_.joinable()) thread_.join();
    listener_.reset();
    loopFailed_ = false;
    view_.state = MetricsState::Off;
}

void MetricsServer::apply(const MetricsEndpoint& endpoint) {
    if (endpoint == endpoint_ && running() && !loopFailed_) return;
    stop();
    endpoint_ = endpoint;
    view_ = MetricsView{};
    view_.port = endpoint.port;
    view_.tokenMissing = endpoint.tokenMissing;
    if (!endpoint.enabled) return;

    auto listener = std::make_shared<Listener>();
    listener->endpoint = endpoint;
    const std::string where = EndpointText(endpoint);
    auto fail = [&](const char* what) {
        const int error = WSAGetLastError();
        view_.error = error;
        view_.state = error == WSAEADDRINUSE || error == WSAEACCES ? MetricsState::PortInUse : MetricsState::Failed;
        LogWin32Error("metrics", std::string(what) + " " + where, static_cast<unsigned long>(error));
    };
    if (!listener->winsock.ok()) {
        view_.state = MetricsState::Failed;
        return;
    }
    listener->socket.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener->socket) return fail("socket");
    // Nobody else may bind the same port while this program listens on it.
    const BOOL exclusive = TRUE;
    setsockopt(listener->socket.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(endpoint.port));
    address.sin_addr.s_addr = htonl(endpoint.listenAll && !options_.loopbackOnly ? INADDR_ANY : INADDR_LOOPBACK);
    if (bind(listener->socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
        return fail("bind");
    if (listen(listener->socket.get(), kListenBacklog) == SOCKET_ERROR) return fail("listen");
    listener->accept.reset(WSACreateEvent());
    listener->stop.reset(WSACreateEvent());
    if (!listener->accept || !listener->stop) return fail("WSACreateEvent");
    if (WSAEventSelect(listener->socket.get(), listener->accept.get(), FD_ACCEPT) == SOCKET_ERROR)
        return fail("WSAEventSelect");

    listener_ = listener;
    thread_ = std::thread([this, listener] { serve(listener); });
    view_.state = MetricsState::Listening;
    view_.listenAll = endpoint.listenAll;
    if (endpoint.listenAll) view_.host = ComputerHostName();
    Log(LogLevel::Info, "metrics", "listening on " + where);
}

void MetricsServer::publish(const SensorSnapshot& snapshot) {
    if (!running()) return;
    auto source = std::make_shared<const MetricsSource>(MakeMetricsSource(snapshot));
    std::lock_guard<std::mutex> lock(sourceLock_);
    source_ = std::move(source);
}

MetricsView MetricsServer::view() const {
    MetricsView v = view_;
    if (loopFailed_) v.state = MetricsState::Failed;
    return v;
}

// Server thread: the pages of the latest copy, written once per copy.
std::shared_ptr<const std::string> MetricsServer::page(MetricsPage which) {
    std::shared_ptr<const MetricsSource> source;
    {
        std::lock_guard<std::mutex> lock(sourceLock_);
        source = source_;
    }
    if (!source) source = std::make_shared<const MetricsSource>();
    if (source != pagesOf_) {
        pagesOf_ = source;
        metricsPage_.reset();
        jsonPage_.reset();
        extras_.scores = options_.scores();
    }
    auto& cached = which == MetricsPage::Metrics ? metricsPage_ : jsonPage_;
    if (!cached)
        cached = std::make_shared<const std::string>(which == MetricsPage::Metrics ? WriteMetricsText(*source, extras_)
                                                                                   : WriteMetricsJson(*source, extras_));
    return cached;
}

void MetricsServer::serve(std::shared_ptr<Listener> listener) {
    const MetricsEndpoint endpoint = listener->endpoint;
    const HttpConnection::Responder respond = [this, &endpoint](const HttpRequest& request) {
        answered_.fetch_add(1);
        return AnswerRequest(request, endpoint, [this](MetricsPage which) { return page(which); });
    };
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<WSAEVENT> events;
    for (;;) {
        const uint64_t now = GetTickCount64();
        for (auto& c : clients) Pump(*c, now, respond);
        std::erase_if(clients, [](const auto& c) { return c->http.phase() == HttpConnection::Phase::Done; });

        events.assign({listener->stop.get(), listener->accept.get()});
        uint64_t nearest = UINT64_MAX;
        for (const auto& c : clients) {
            events.push_back(c->event.get());
            nearest = std::min(nearest, c->http.deadline());
        }
        const DWORD timeout = nearest == UINT64_MAX ? WSA_INFINITE
                                                    : static_cast<DWORD>(nearest > now ? nearest - now : 0);
        const DWORD woke =
            WSAWaitForMultipleEvents(static_cast<DWORD>(events.size()), events.data(), FALSE, timeout, FALSE);
        if (woke == WSA_WAIT_FAILED) {
            LogWin32Error("metrics", "WSAWaitForMultipleEvents", static_cast<unsigned long>(WSAGetLastError()));
            loopFailed_ = true;
            return;
        }
        if (WaitForSingleObject(listener->stop.get(), 0) == WAIT_OBJECT_0) return;

        WSANETWORKEVENTS happened{};
        WSAEnumNetworkEvents(listener->socket.get(), listener->accept.get(), &happened);
        if (happened.lNetworkEvents & FD_ACCEPT) {
            for (;;) {
                UniqueSocket accepted(accept(listener->socket.get(), nullptr, nullptr));
                if (!accepted) {
                    const int error = WSAGetLastError();
                    if (error != WSAEWOULDBLOCK) LogWin32Error("metrics", "accept", static_cast<unsigned long>(error));
                    break;
                }
                if (!AdmitConnection(clients.size())) {
                    Refuse(std::move(accepted));
                    continue;
                }
                auto client = std::make_unique<Client>(Client{std::move(accepted), UniqueWsaEvent(WSACreateEvent()),
                                                              HttpConnection(GetTickCount64(), options_.clientTimeoutMs,
                                                                             options_.drainMs)});
                const BOOL noDelay = TRUE;  // an answer goes out in two sends: no wait between them
                setsockopt(client->socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                           sizeof noDelay);
                if (!client->event ||
                    WSAEventSelect(client->socket.get(), client->event.get(), kClientEvents) == SOCKET_ERROR) {
                    LogWin32Error("metrics", "WSAEventSelect (client)", static_cast<unsigned long>(WSAGetLastError()));
                    continue;
                }
                clients.push_back(std::move(client));
            }
        }
        // Clear the clients' events; Pump at the top of the loop reads and writes what is there.
        for (auto& c : clients) WSAEnumNetworkEvents(c->socket.get(), c->event.get(), &happened);
    }
}

}  // namespace kalorix
