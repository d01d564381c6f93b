// The metrics endpoint's HTTP rules: reading a request head, who may be
// answered, what is answered, and a connection's limits in time and size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metrics/access.h"
#include "metrics/http_connection.h"
#include "metrics/http_request.h"
#include "metrics/http_response.h"

namespace kalorix {
namespace {

// ---- request heads ----

TEST(MetricsRequestTest, ReadsTheHeadAndLeavesWhatFollows) {
    const std::string head =
        "GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\nAuthorization:  Bearer abc \r\nContent-Length: 0\r\n\r\n";
    const ParsedRequest p = ParseHttpRequest(head + "GET /data.json HTTP/1.1\r\n");
    ASSERT_EQ(p.state, HttpParse::Complete);
    EXPECT_EQ(p.length, head.size());
    EXPECT_EQ(p.request.method, "GET");
    EXPECT_EQ(p.request.path, "/metrics");
    EXPECT_TRUE(p.request.keepAlive);
    EXPECT_FALSE(p.request.hasBody);
    EXPECT_EQ(p.request.authorization, "Bearer abc");

    // Empty lines before the request line and bare LF line ends are taken.
    EXPECT_EQ(ParseHttpRequest("\r\n\nGET / HTTP/1.1\nHost: a\n\n").state, HttpParse::Complete);
}

TEST(MetricsRequestTest, ConnectionAndBodyRules) {
    auto parse = [](const std::string& text) { return ParseHttpRequest(text).request; };
    EXPECT_FALSE(parse("GET / HTTP/1.1\r\nConnection: Close\r\n\r\n").keepAlive);
    EXPECT_FALSE(parse("GET / HTTP/1.0\r\n\r\n").keepAlive);
    EXPECT_TRUE(parse("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").keepAlive);
    EXPECT_TRUE(parse("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n").hasBody);
    EXPECT_TRUE(parse("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").hasBody);
}

TEST(MetricsRequestTest, WaitsForTheBlankLine) {
    for (const char* part : {"", "GET /metr", "GET /metrics HTTP/1.1\r\nHost: a\r\n\r"})
        EXPECT_EQ(ParseHttpRequest(part).state, HttpParse::Incomplete) << part;
}

TEST(MetricsRequestTest, MalformedHeads) {
    const char* bad[] = {
        "GET /metrics\r\n\r\n",                      // no version
        "GET  /metrics HTTP/1.1\r\n\r\n",            // two blanks
        "GET /metrics HTTP/1.1 x\r\n\r\n",           // four parts
        "GET metrics HTTP/1.1\r\n\r\n",              // not a path
        "GET /metrics HTTP/2.0\r\n\r\n",             // another protocol
        "G(T /metrics HTTP/1.1\r\n\r\n",             // not a method
        "GET /metrics HTTP/1.1\r\nHost a\r\n\r\n",   // no colon
        "GET /metrics HTTP/1.1\r\nHost : a\r\n\r\n", // blank before the colon
        "GET /metrics HTTP/1.1\r\nA: b\r\n c\r\n\r\n",  // folded line
        "GET /me\x01trics HTTP/1.1\r\n\r\n",         // control character
        "GET /metrics HTTP/1.1\r\nContent-Length: 1x\r\n\r\n",
        "GET /metrics HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
        "GET /metrics HTTP/1.1\r\nAuthorization: Bearer a\r\nAuthorization: Bearer b\r\n\r\n",
    };
    for (const char* text : bad) EXPECT_EQ(ParseHttpRequest(text).state, HttpParse::Malformed) << text;
    // A bad request line is known before the headers are complete.
    EXPECT_EQ(ParseHttpRequest("BAD\r\nHost: a").state, HttpParse::Malformed);
    static const char kNul[] = "GET / HTTP/1.1\r\nA: \0\r\n\r\n";
    EXPECT_EQ(ParseHttpRequest(std::string(kNul, sizeof kNul - 1)).state, HttpParse::Malformed);
}

TEST(MetricsRequestTest, HeadLimitIsEightKiB) {
    const std::string line = "GET /metrics HTTP/1.1\r\n";
    auto headOf = [&](size_t total) {  // a complete head of exactly total bytes
        const size_t pad = total - line.size() - std::string("X: \r\n\r\n").size();
        return line + "X: " + std::string(pad, 'a') + "\r\n\r\n";
    };
    EXPECT_EQ(ParseHttpRequest(headOf(kMetricsMaxRequestBytes)).state, HttpParse::Complete);
    EXPECT_EQ(ParseHttpRequest(headOf(kMetricsMaxRequestBytes + 1)).state, HttpParse::TooLarge);
    // Without its end: too large as soon as the limit is reached.
    const std::string open = line + "X: " + std::string(kMetricsMaxRequestBytes, 'a');
    EXPECT_EQ(ParseHttpRequest(open.substr(0, kMetricsMaxRequestBytes - 1)).state, HttpParse::Incomplete);
    EXPECT_EQ(ParseHttpRequest(open.substr(0, kMetricsMaxRequestBytes)).state, HttpParse::TooLarge);
}

// ---- access ----

TEST(MetricsAccessTest, EveryInterfaceOnlyWithAUsableToken) {
    Settings s;
    EXPECT_FALSE(EndpointFromSettings(s).enabled);
    EXPECT_EQ(EndpointFromSettings(s).port, 9798);
    s.MetricsEnabled = true;
    s.MetricsListenAll = true;
    s.MetricsToken = std::string(15, 'a');
    MetricsEndpoint e = EndpointFromSettings(s);
    EXPECT_FALSE(e.listenAll);
    EXPECT_TRUE(e.tokenMissing);
    EXPECT_TRUE(e.token.empty());
    s.MetricsToken = std::string(16, 'a');
    e = EndpointFromSettings(s);
    EXPECT_TRUE(e.listenAll);
    EXPECT_EQ(e.token, s.MetricsToken);
    EXPECT_FALSE(TokenUsable("aaaaaaaaaaaaaaa aaaa"));
}

TEST(MetricsAccessTest, BearerHeader) {
    EXPECT_EQ(BearerToken("bEaReR   abc"), "abc");
    for (const char* bad : {"Basic abc", "Bearerabc", "Bearer ", "Bearer"}) EXPECT_EQ(BearerToken(bad), std::nullopt);
}

TEST(MetricsAccessTest, TokenComparison) {
    const std::string t = "0123456789abcdefXYZ";
    EXPECT_TRUE(TokensEqual(t, t));
    for (const std::string& other : {std::string("0123456789abcdefXYz"), t.substr(0, 18), t + "0", std::string()})
        EXPECT_FALSE(TokensEqual(t, other)) << other;
    EXPECT_FALSE(TokensEqual("", ""));  // no token never lets anyone in

    MetricsEndpoint open;  // loopback: no token asked for
    EXPECT_TRUE(RequestAllowed(open, std::nullopt));
    MetricsEndpoint guarded;
    guarded.listenAll = true;
    guarded.token = t;
    EXPECT_FALSE(RequestAllowed(guarded, std::nullopt));
    EXPECT_FALSE(RequestAllowed(guarded, std::string("Bearer wrong")));
    EXPECT_FALSE(RequestAllowed(guarded, "Basic " + t));
    EXPECT_TRUE(RequestAllowed(guarded, "Bearer " + t));
}

TEST(MetricsAccessTest, TokenTextIsBase64Url) {
    auto text = [](const std::string& bytes) {
        return TokenFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    // RFC 4648 vectors without padding, and the two URL-safe letters.
    EXPECT_EQ(text("fo") + text("foob"), "Zm8" "Zm9vYg");
    EXPECT_EQ(text("\xfb\xff"), "-_8");
    const std::string token = text(std::string(kMetricsTokenBytes, '\x9c'));
    EXPECT_EQ(token.size(), 32u);
    EXPECT_TRUE(TokenUsable(token));
}

// ---- answers ----

HttpRequest Get(const std::string& path, const std::string& method = "GET") {
    HttpRequest r;
    r.method = method;
    r.path = path;
    return r;
}

PageSource Pages() {
    return [](MetricsPage page) {
        return std::make_shared<const std::string>(page == MetricsPage::Metrics ? "m 1\n" : "{}\n");
    };
}

TEST(MetricsAnswerTest, PathsAndMethods) {
    const MetricsEndpoint loopback;
    HttpResponse r = AnswerRequest(Get("/metrics"), loopback, Pages());
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_EQ(*r.body, "m 1\n");
    r = AnswerRequest(Get("/data.json"), loopback, Pages());
    EXPECT_EQ(r.contentType, "application/json; charset=utf-8");
    EXPECT_FALSE(AnswerRequest(Get("/"), loopback, Pages()).close);  // a wrong path keeps the connection
    EXPECT_EQ(AnswerRequest(Get("/metrics/"), loopback, Pages()).status, 404);
    r = AnswerRequest(Get("/metrics", "POST"), loopback, Pages());
    EXPECT_EQ(r.status, 405);
    EXPECT_NE(r.extraHeaders.find("Allow: GET, HEAD"), std::string::npos);
    EXPECT_EQ(AnswerRequest(Get("/nothing", "DELETE"), loopback, Pages()).status, 404);

    r = AnswerRequest(Get("/metrics", "HEAD"), loopback, Pages());
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.headOnly);
    EXPECT_NE(ResponseHead(r).find("Content-Length: 4\r\n"), std::string::npos);

    HttpRequest withBody = Get("/metrics");
    withBody.hasBody = true;
    r = AnswerRequest(withBody, loopback, Pages());
    EXPECT_EQ(r.status, 400);
    EXPECT_TRUE(r.close);
    HttpRequest oneShot = Get("/metrics");
    oneShot.keepAlive = false;
    EXPECT_TRUE(AnswerRequest(oneShot, loopback, Pages()).close);
}

TEST(MetricsAnswerTest, WithoutTheTokenNothingIsTold) {
    MetricsEndpoint guarded;
    guarded.listenAll = true;
    guarded.token = std::string(20, 'k');
    for (const char* path : {"/metrics", "/data.json", "/secret"}) {
        const HttpResponse r = AnswerRequest(Get(path), guarded, Pages());
        EXPECT_EQ(r.status, 401) << path;
        EXPECT_NE(r.extraHeaders.find("WWW-Authenticate: Bearer"), std::string::npos);
        EXPECT_EQ(r.body->find("m 1"), std::string::npos);
    }
    HttpRequest good = Get("/metrics");
    good.authorization = "Bearer " + guarded.token;
    EXPECT_EQ(AnswerRequest(good, guarded, Pages()).status, 200);
}

TEST(MetricsAnswerTest, HeadBytes) {
    const HttpResponse r = ErrorResponse(404);
    const std::string head = ResponseHead(r);
    EXPECT_EQ(head.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    EXPECT_NE(head.find("Content-Length: " + std::to_string(r.body->size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
}

// ---- a connection ----

class MetricsConnectionTest : public ::testing::Test {
protected:
    HttpConnection::Responder respond = [this](const HttpRequest& r) {
        paths.push_back(r.path);
        return AnswerRequest(r, MetricsEndpoint{}, Pages());
    };
    std::vector<std::string> paths;

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
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Reading);
    c.received("TP/1.1\r\n\r\nGET /data.json HTTP/1.1\r\n\r\n", 20, respond);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Writing);
    EXPECT_EQ(paths, std::vector<std::string>{"/metrics"});  // one answer at a time
    const std::string first = Drain(c, 30, 7);
    EXPECT_EQ(first.rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 4), "m 1\n");
    // The pipelined request was answered when the first answer was out.
    EXPECT_EQ(paths, (std::vector<std::string>{"/metrics", "/data.json"}));
    EXPECT_NE(Drain(c, 40).find("{}\n"), std::string::npos);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Reading);
    EXPECT_EQ(c.deadline(), 40 + kMetricsClientTimeoutMs);  // a new wait starts with the answer sent
}

TEST_F(MetricsConnectionTest, BadRequestIsAnsweredThenClosed) {
    HttpConnection c(0);
    c.received("HELLO\r\n", 5, respond);
    ASSERT_EQ(c.phase(), HttpConnection::Phase::Writing);
    EXPECT_EQ(Drain(c, 6).rfind("HTTP/1.1 400 Bad Request", 0), 0u);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Draining);
    EXPECT_TRUE(c.wantsInput());
    c.received("more", 7, respond);  // dropped
    EXPECT_EQ(c.buffered(), 0u);
    c.tick(6 + kMetricsDrainMs - 1);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Draining);
    c.tick(6 + kMetricsDrainMs);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Done);
    EXPECT_TRUE(paths.empty());

    HttpConnection d(0);
    d.received("HELLO\r\n", 5, respond);
    Drain(d, 6);
    d.peerClosed(7);
    EXPECT_EQ(d.phase(), HttpConnection::Phase::Done);
}

TEST_F(MetricsConnectionTest, OversizedHeadGets431) {
    HttpConnection c(0);
    c.received("GET /metrics HTTP/1.1\r\n", 1, respond);
    for (int i = 0; i < 10 && c.phase() == HttpConnection::Phase::Reading; ++i)
        c.received("X-Filler: " + std::string(1000, 'a') + "\r\n", 2, respond);
    ASSERT_EQ(c.phase(), HttpConnection::Phase::Writing);
    EXPECT_EQ(Drain(c, 3).rfind("HTTP/1.1 431 ", 0), 0u);
    EXPECT_TRUE(paths.empty());
}

TEST_F(MetricsConnectionTest, SilentAndTricklingClientsAreCutOff) {
    HttpConnection silent(1000);
    silent.tick(1000 + kMetricsClientTimeoutMs - 1);
    EXPECT_EQ(silent.phase(), HttpConnection::Phase::Reading);
    silent.tick(1000 + kMetricsClientTimeoutMs);
    EXPECT_EQ(silent.phase(), HttpConnection::Phase::Done);

    // A byte a second keeps nothing alive: the whole request has the same 5 s.
    HttpConnection trickle(0);
    const std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    uint64_t t = 0;
    for (size_t i = 0; i < request.size() && trickle.phase() == HttpConnection::Phase::Reading; ++i) {
        t = 1000 * (i + 1);
        trickle.tick(t);
        trickle.received(request.substr(i, 1), t, respond);
    }
    EXPECT_EQ(trickle.phase(), HttpConnection::Phase::Done);
    EXPECT_LE(t, kMetricsClientTimeoutMs);
    EXPECT_TRUE(paths.empty());
}

TEST_F(MetricsConnectionTest, AClientThatDoesNotReadIsCutOff) {
    HttpConnection c(0);
    c.received("GET /metrics HTTP/1.1\r\n\r\n", 3000, respond);
    c.sent(5, 4000, respond);
    c.tick(3000 + kMetricsClientTimeoutMs - 1);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Writing);
    c.tick(3000 + kMetricsClientTimeoutMs);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Done);
}

TEST_F(MetricsConnectionTest, ClientClosingItsSide) {
    HttpConnection partial(0);
    partial.received("GET /met", 1, respond);
    partial.peerClosed(2);
    EXPECT_EQ(partial.phase(), HttpConnection::Phase::Done);

    // Request sent, then the client's side closed: the answer still goes out.
    HttpConnection c(0);
    c.received("GET /metrics HTTP/1.1\r\n\r\n", 1, respond);
    c.peerClosed(2);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Writing);
    EXPECT_NE(Drain(c, 3).find("m 1\n"), std::string::npos);
    EXPECT_EQ(c.phase(), HttpConnection::Phase::Done);
}

TEST(MetricsLimitsTest, EightConnections) {
    EXPECT_TRUE(AdmitConnection(kMetricsMaxConnections - 1));
    EXPECT_FALSE(AdmitConnection(kMetricsMaxConnections));
}

}  // namespace
}  // namespace kalorix
