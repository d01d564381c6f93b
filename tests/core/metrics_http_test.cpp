// Metrics HTTP: request heads, access, answers, and a connection's limits in time and size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metrics/access.h"
#include "metrics/http_connection.h"
#include "metrics/http_request.h"
#include "metrics/http_response.h"

namespace kalorix {
namespace {

HttpParse State(const std::string& text) { return ParseHttpRequest(text).state; }

TEST(MetricsRequestTest, ReadsTheHeadAndLeavesWhatFollows) {
    const std::string head = "GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\nAuthorization:  Bearer abc \r\n\r\n";
    const ParsedRequest p = ParseHttpRequest(head + "GET /data.json HTTP/1.1\r\n");
    ASSERT_EQ(p.state, HttpParse::Complete);
    EXPECT_EQ(p.length, head.size());
    EXPECT_EQ(p.request.path, "/metrics");
    EXPECT_EQ(p.request.authorization, "Bearer abc");
    EXPECT_EQ(State("\r\n\nGET / HTTP/1.1\nHost: a\n\n"), HttpParse::Complete);  // leading blank lines, bare LF
    EXPECT_EQ(State("GET /metrics HTTP/1.1\r\nHost: a\r\n\r"), HttpParse::Incomplete);
    auto parse = [](const std::string& text) { return ParseHttpRequest(text).request; };
    EXPECT_FALSE(parse("GET / HTTP/1.1\r\nConnection: Close\r\n\r\n").keepAlive);
    EXPECT_TRUE(parse("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").keepAlive);
    EXPECT_TRUE(parse("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").hasBody);
}

TEST(MetricsRequestTest, MalformedHeads) {
    static const char kNul[] = "GET / HTTP/1.1\r\nA: \0\r\n\r\n";
    const std::string bad[] = {"GET  /metrics HTTP/1.1\r\n\r\n", "GET /metrics HTTP/2.0\r\n\r\n",
                               "GET /me\x01trics HTTP/1.1\r\n\r\n", "GET / HTTP/1.1\r\nHost : a\r\n\r\n",
                               "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n", "GET / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n",
                               "GET / HTTP/1.1\r\nAuthorization: Bearer a\r\nAuthorization: Bearer b\r\n\r\n",
                               "BAD\r\nHost: a",  // a bad request line is known before the head is complete
                               std::string(kNul, sizeof kNul - 1)};
    for (const std::string& text : bad) EXPECT_EQ(State(text), HttpParse::Malformed) << text;
}

TEST(MetricsRequestTest, HeadLimitIsEightKiB) {
    const std::string line = "GET /metrics HTTP/1.1\r\nX: ";
    auto headOf = [&](size_t total) { return line + std::string(total - line.size() - 4, 'a') + "\r\n\r\n"; };
    EXPECT_EQ(State(headOf(kMetricsMaxRequestBytes)), HttpParse::Complete);
    EXPECT_EQ(State(headOf(kMetricsMaxRequestBytes + 1)), HttpParse::TooLarge);
    const std::string open = line + std::string(kMetricsMaxRequestBytes, 'a');  // no end yet
    EXPECT_EQ(State(open.substr(0, kMetricsMaxRequestBytes - 1)), HttpParse::Incomplete);
    EXPECT_EQ(State(open.substr(0, kMetricsMaxRequestBytes)), HttpParse::TooLarge);
}

TEST(MetricsAccessTest, EveryInterfaceOnlyWithAUsableToken) {
    Settings s;
    s.MetricsEnabled = s.MetricsListenAll = true;
    s.MetricsToken = std::string(15, 'a');
    MetricsEndpoint e = EndpointFromSettings(s);
    EXPECT_TRUE(!e.listenAll && e.tokenMissing && e.token.empty());
    s.MetricsToken = std::string(16, 'a');
    e = EndpointFromSettings(s);
    EXPECT_TRUE(e.listenAll && e.token == s.MetricsToken);
    EXPECT_FALSE(TokenUsable("aaaaaaaaaaaaaaa aaaa"));
}

TEST(MetricsAccessTest, BearerTokenComparison) {
    EXPECT_EQ(BearerToken("bEaReR   abc"), "abc");
    for (const char* bad : {"Basic abc", "Bearerabc", "Bearer ", "Bearer"}) EXPECT_EQ(BearerToken(bad), std::nullopt);
    const std::string t = "0123456789abcdefXYZ";
    EXPECT_TRUE(TokensEqual(t, t));
    for (const std::string& other : {std::string("0123456789abcdefXYz"), t.substr(0, 18), t + "0"})
        EXPECT_FALSE(TokensEqual(t, other)) << other;
    EXPECT_FALSE(TokensEqual("", ""));  // no token never lets anyone in
}

TEST(MetricsAccessTest, TokenTextIsBase64Url) {
    auto text = [](const std::string& b) { return TokenFromBytes(reinterpret_cast<const uint8_t*>(b.data()), b.size()); };
    // RFC 4648 vectors without padding, and the two URL-safe letters.
    EXPECT_EQ(text("fo") + text("foob"), "Zm8" "Zm9vYg");
    EXPECT_EQ(text("\xfb\xff"), "-_8");
    EXPECT_TRUE(TokenUsable(text(std::string(kMetricsTokenBytes, '\x9c'))));
}

HttpRequest Get(const std::string& path, const std::string& method = "GET", bool body = false) {
    HttpRequest r;
    return r.method = method, r.path = path, r.hasBody = body, r;
}

PageSource Pages() {
    return [](MetricsPage p) { return std::make_shared<const std::string>(p == MetricsPage::Metrics ? "m 1\n" : "{}\n"); };
}

TEST(MetricsAnswerTest, PathsAndMethods) {
    auto answer = [](const HttpRequest& r) { return AnswerRequest(r, MetricsEndpoint{}, Pages()); };
    EXPECT_EQ(answer(Get("/metrics")).contentType, "text/plain; version=0.0.4; charset=utf-8");
    HttpResponse r = answer(Get("/metrics/"));
    EXPECT_TRUE(r.status == 404 && !r.close);  // a wrong path keeps the connection
    r = answer(Get("/metrics", "POST"));
    EXPECT_TRUE(r.status == 405 && r.extraHeaders.find("Allow: GET, HEAD") != std::string::npos);
    r = answer(Get("/metrics", "HEAD"));
    EXPECT_TRUE(r.status == 200 && r.headOnly);
    EXPECT_NE(ResponseHead(r).find("Content-Length: 4\r\n"), std::string::npos);
    r = answer(Get("/metrics", "GET", true));
    EXPECT_TRUE(r.status == 400 && r.close);
}

TEST(MetricsAnswerTest, WithoutTheTokenNothingIsTold) {
    const MetricsEndpoint guarded{.listenAll = true, .token = std::string(20, 'k')};
    for (const char* path : {"/metrics", "/secret"}) {
        const HttpResponse r = AnswerRequest(Get(path), guarded, Pages());
        EXPECT_TRUE(r.status == 401 && r.extraHeaders.find("WWW-Authenticate: Bearer") != std::string::npos &&
                    r.body->find("m 1") == std::string::npos) << path;
    }
    HttpRequest r = Get("/metrics");
    r.authorization = "Bearer " + guarded.token;
    EXPECT_EQ(AnswerRequest(r, guarded, Pages()).status, 200);
}

class MetricsConnectionTest : public ::testing::Test {
protected:
    using Phase = HttpConnection::Phase;
    HttpConnection::Responder respond = [this](const HttpRequest& r) {
        paths.push_back(r.path);
        return AnswerRequest(r, MetricsEndpoint{}, Pages());
    };
    std::vector<std::string> paths;
    static Phase At(HttpConnection& c, uint64_t now) { return c.tick(now), c.phase(); }

    // Sends the pending answer, n bytes at a time; returns what went out.
    std::string Drain(HttpConnection& c, uint64_t now, size_t n = 1 << 20) {
        std::string out;
        const int answer = c.requestsAnswered();
        while (!c.pending().empty() && c.requestsAnswered() == answer) {
            const std::string_view p = c.pending().substr(0, n);
            out += p;
            c.sent(p.size(), now, respond);
        }
        return out;
    }
};

TEST_F(MetricsConnectionTest, KeepAliveAndPipelining) {
    HttpConnection c(0);
    c.received("GET /metrics HT", 10, respond);
    c.received("TP/1.1\r\n\r\nGET /data.json HTTP/1.1\r\n\r\n", 20, respond);
    EXPECT_EQ(paths, std::vector<std::string>{"/metrics"});  // one answer at a time
    const std::string first = Drain(c, 30, 7);
    EXPECT_EQ(first.rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 4), "m 1\n");
    EXPECT_EQ(paths.size(), 2u);  // the pipelined request is answered once the first is out
    EXPECT_NE(Drain(c, 40).find("{}\n"), std::string::npos);
    EXPECT_EQ(c.deadline(), 40 + kMetricsClientTimeoutMs);  // a new wait starts with the answer sent
}

TEST_F(MetricsConnectionTest, BadOrOversizedRequestIsAnsweredThenClosed) {
    HttpConnection c(0);
    c.received("HELLO\r\n", 5, respond);
    EXPECT_EQ(Drain(c, 6).rfind("HTTP/1.1 400 Bad Request", 0), 0u);
    EXPECT_EQ(c.phase(), Phase::Draining);
    c.received("more", 7, respond);  // dropped
    EXPECT_EQ(c.buffered(), 0u);
    EXPECT_TRUE(At(c, 6 + kMetricsDrainMs - 1) == Phase::Draining && At(c, 6 + kMetricsDrainMs) == Phase::Done);

    HttpConnection big(0);
    big.received("GET /metrics HTTP/1.1\r\n", 1, respond);
    for (int i = 0; i < 10 && big.phase() == Phase::Reading; ++i)
        big.received("X-Filler: " + std::string(1000, 'a') + "\r\n", 2, respond);
    EXPECT_EQ(Drain(big, 3).rfind("HTTP/1.1 431 ", 0), 0u);
    EXPECT_TRUE(paths.empty());
}

TEST_F(MetricsConnectionTest, SilentTricklingAndNonReadingClientsAreCutOff) {
    HttpConnection silent(1000);
    EXPECT_TRUE(At(silent, 999 + kMetricsClientTimeoutMs) == Phase::Reading && At(silent, 1000 + kMetricsClientTimeoutMs) == Phase::Done);

    // A byte a second keeps nothing alive: the whole request has the same 5 s.
    HttpConnection trickle(0);
    const std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    uint64_t t = 0;
    for (size_t i = 0; i < request.size() && At(trickle, t = 1000 * (i + 1)) == Phase::Reading; ++i)
        trickle.received(request.substr(i, 1), t, respond);
    EXPECT_EQ(trickle.phase(), Phase::Done);
    EXPECT_LE(t, kMetricsClientTimeoutMs);

    HttpConnection deaf(0);
    deaf.received(request, 3000, respond);
    deaf.sent(5, 4000, respond);
    EXPECT_TRUE(At(deaf, 2999 + kMetricsClientTimeoutMs) == Phase::Writing && At(deaf, 3000 + kMetricsClientTimeoutMs) == Phase::Done);
}

TEST_F(MetricsConnectionTest, ClientClosingItsSide) {
    HttpConnection c(0);  // the client closes its side after the request: the answer still goes out
    c.received("GET /metrics HTTP/1.1\r\n\r\n", 1, respond);
    c.peerClosed(2);
    EXPECT_NE(Drain(c, 3).find("m 1\n"), std::string::npos);
    EXPECT_EQ(c.phase(), Phase::Done);
    EXPECT_TRUE(AdmitConnection(kMetricsMaxConnections - 1) && !AdmitConnection(kMetricsMaxConnections));

}

}  // namespace
}  // namespace kalorix
