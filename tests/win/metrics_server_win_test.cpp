// The metrics server over real Winsock connections on 127.0.0.1: the connection
// limit, flat memory and handles, a port in use and a restart. Request parsing and
// slow clients are decided (and tested) in the portable layer.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <memory>
#include <string>
#include <vector>

#include "metrics/metrics_server_win.h"
#include "http_client_win.h"
#include "test_util_win.h"

using namespace kalorix;

namespace {

using Client = test::HttpClient;  // Winsock is started by the test HTTP server's unit
using test::Body;
using test::StatusLine;

class MetricsServerTest : public ::testing::Test {
protected:
    MetricsServer::Options Options() {
        MetricsServer::Options o;
        o.clientTimeoutMs = kMetricsClientTimeoutMs, o.drainMs = 300, o.version = "9.9.9", o.loopbackOnly = true;
        o.scores = [] { return bench::LatestScores{}; };
        return o;
    }
    MetricsEndpoint Endpoint(bool enabled = true) {
        MetricsEndpoint e;
        e.enabled = enabled, e.port = port;
        return e;
    }
    int port = test::UnusedLoopbackPort();
};

TEST_F(MetricsServerTest, OneConnectionOverTheLimitIsTurnedAway) {
    MetricsServer server(Options());
    server.apply(Endpoint());
    std::vector<std::unique_ptr<Client>> open;
    for (size_t i = 0; i < kMetricsMaxConnections; ++i) {
        open.push_back(std::make_unique<Client>(port));
        ASSERT_EQ(StatusLine(open.back()->get("/metrics")), "HTTP/1.1 200 OK");  // accepted and kept open
    }
    Client extra(port);
    const std::string busy = extra.answer();
    EXPECT_TRUE(busy.empty() || StatusLine(busy) == "HTTP/1.1 503 Service Unavailable") << busy;
    EXPECT_TRUE(extra.closedByServer());

    open.pop_back();  // one leaves: a newcomer is served again
    EXPECT_TRUE(test::WaitUntil([&] { return StatusLine(Client(port).get("/metrics")) == "HTTP/1.1 200 OK"; }, 5000));
}

// Committed private memory (Wine reports it as PagefileUsage and leaves PrivateUsage 0).
size_t CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters{sizeof counters};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

DWORD Handles() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST_F(MetricsServerTest, AThousandRequestsAllAnsweredWithFlatMemory) {
    MetricsServer server(Options());
    server.apply(Endpoint());
    SensorSnapshot snapshot;
    snapshot.valid = true, snapshot.updatedAt = 42.0, snapshot.cpuTempShown = 48.25;
    server.publish(snapshot);
    Client first(port);
    const std::string expected = Body(first.get("/metrics"));
    ASSERT_NE(expected.find("kalorix_cpu_temperature_celsius 48.25"), std::string::npos);
    ASSERT_GT(CommittedBytes(), 0u);

    auto round = [&](int requests) {  // each on a connection of its own, half of them for the JSON page
        int correct = 0;
        for (int i = 0; i < requests; ++i) {
            Client c(port);
            const std::string a = c.get(i % 2 ? "/data.json" : "/metrics");
            if (StatusLine(a) == "HTTP/1.1 200 OK" && (i % 2 || Body(a) == expected)) ++correct;
        }
        return correct;
    };
    EXPECT_EQ(round(100), 100);  // warm-up: heaps and socket tables reach their size
    const size_t bytesBefore = CommittedBytes();
    const DWORD handlesBefore = Handles();
    EXPECT_EQ(round(1000), 1000);
    const long long grown = static_cast<long long>(CommittedBytes()) - static_cast<long long>(bytesBefore);
    std::printf("  1000 requests: committed bytes %+lld (of %zu), handles %+ld\n", grown, bytesBefore,
                static_cast<long>(Handles()) - static_cast<long>(handlesBefore));
    EXPECT_LT(grown, 512 * 1024);
    EXPECT_LE(Handles(), handlesBefore + 4);
}

// A port in use is reported and tried again with the same settings; turning the
// server off closes a connected client, and it starts again on the same port.
TEST_F(MetricsServerTest, APortInUseIsTriedAgainAndAStopClosesClients) {
    SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = test::LoopbackAddress(port);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    MetricsServer server(Options());
    server.apply(Endpoint());
    EXPECT_TRUE(server.view().state == MetricsState::PortInUse && !server.running());
    closesocket(holder);
    server.apply(Endpoint());
    ASSERT_EQ(server.view().state, MetricsState::Listening);
    {
        Client c(port);
        EXPECT_EQ(StatusLine(c.get("/metrics")), "HTTP/1.1 200 OK");
        server.apply(Endpoint(false));
        EXPECT_EQ(server.view().state, MetricsState::Off);
        EXPECT_TRUE(c.closedByServer());
    }
    server.apply(Endpoint());
    ASSERT_EQ(server.view().state, MetricsState::Listening);
    Client again(port);
    EXPECT_EQ(StatusLine(again.get("/metrics")), "HTTP/1.1 200 OK");
}

}  // namespace
