#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <vector>

#include "sensors/text.h"
#include "store/file_util.h"
#include "store/settings.h"
#include "telemetry/http_win.h"
#include "telemetry/report_sources_win.h"
#include "telemetry/telemetry_client_win.h"
#include "test_http_server_win.h"

using namespace kalorix;
using kalorix::test::TestHttpServer;

namespace {

// Sets the endpoint for the test and puts back what was there.
class EndpointOverride {
public:
    explicit EndpointOverride(const std::string& url) {
        wchar_t buf[2048];
        const DWORD n = GetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", buf, 2048);
        if (n > 0 && n < 2048) old_ = std::wstring(buf, n);
        SetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", Utf8ToWide(url).c_str());
    }
    ~EndpointOverride() { SetEnvironmentVariableW(L"KALORIX_TELEMETRY_URL", old_ ? old_->c_str() : nullptr); }

private:
    std::optional<std::wstring> old_;
};

// Keeps the prefix's telemetry.txt (and the settings a deletion changes) out of
// the way while a test runs; sharing starts on.
class TelemetryFileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = TelemetryPath(true);
        ASSERT_FALSE(path_.empty());
        bad_ = std::filesystem::path(path_) += ".bad";
        for (const std::filesystem::path& p : {path_, SettingsPath(false), bad_}) saved_.emplace_back(p, ReadFileBytes(p));
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        std::filesystem::remove(bad_, ec);
        SaveSettings(Settings{});
    }
    void TearDown() override {
        for (const auto& [p, bytes] : saved_) {
            std::error_code ec;
            if (bytes) AtomicWriteFile(p, *bytes);
            else std::filesystem::remove(p, ec);
        }
    }
    std::filesystem::path path_, bad_;
    std::vector<std::pair<std::filesystem::path, std::optional<std::string>>> saved_;
};

SensorSnapshot ValidSnapshot() {
    SensorSnapshot s;
    s.valid = true;
    return s;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

}  // namespace

TEST(PostJson, SendsTheBodyWithContentTypeAndUserAgent) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    const std::string body = "{\n  \"v\": 1\n}\n";
    const RequestResult r = PostJson(body);
    EXPECT_TRUE(r.ok) << WideToUtf8(r.message);
    EXPECT_TRUE(r.message.empty());
    const auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].method, "POST");
    EXPECT_EQ(got[0].path, "/api/report.php");
    EXPECT_EQ(got[0].header("Content-Type"), "application/json; charset=utf-8");
    // The test program has no version resource.
    EXPECT_EQ(got[0].header("User-Agent"), "Kalorix/?");
    EXPECT_EQ(got[0].body, body);
    EXPECT_EQ(AppVersionText(), L"?");
}

TEST(PostJson, StatusCodesDecideTheOutcome) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    server.setStatus(201);
    EXPECT_TRUE(PostJson("{}").ok);
    // A redirect to a page that would answer 200 is still no success.
    server.setStatus(302, server.url("/ok"));
    RequestResult r = PostJson("{}");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"Sunucu hatası (302)");
    server.setStatus(500);
    r = PostJson("{}");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"Sunucu hatası (500)");
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST(PostJson, UnreachableServerAndMalformedAddress) {
    {
        EndpointOverride url("http://127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort()) + "/api/report.php");
        const RequestResult r = PostJson("{}");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, L"Sunucuya ulaşılamadı");
    }
    // Unusable values never fall back to the service's address, however long they are.
    for (const std::string& bad : {std::string("bu bir adres değil"), std::string("ftp://127.0.0.1/api"),
                                   std::string("http://"), std::string(600, 'x')}) {
        EndpointOverride url(bad);
        EXPECT_FALSE(TelemetryEndpoint().has_value()) << bad;
        const RequestResult r = PostJson("{}");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, L"Adres geçersiz") << bad;
    }
}

TEST(PostJson, ALongAddressIsUsedWhole) {
    TestHttpServer server;
    const std::string path = "/api/" + std::string(600, 'a');
    EndpointOverride url(server.url(path));
    EXPECT_TRUE(PostJson("{}").ok);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].path, path);
}

TEST_F(TelemetryFileFixture, LoadReplacesADamagedIdAndKeepsTheOldFileAside) {
    const std::string damaged = "id=0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a39\nnoticeShownAt=5\nnoticeAcked=1\n";
    ASSERT_TRUE(AtomicWriteFile(path_, damaged));
    TelemetryClient client;
    client.load();
    const TelemetryState s = client.state();
    ASSERT_EQ(s.id.size(), 36u);
    EXPECT_EQ(s.id[14], '4');
    EXPECT_EQ(s.noticeShownAt, 5);
    EXPECT_TRUE(s.noticeAcked);
    EXPECT_EQ(*ReadFileBytes(path_), "id=" + s.id + "\n");
    EXPECT_EQ(ReadFileBytes(bad_), damaged);  // the old identity is not lost silently
    // A good file is taken as it is.
    TelemetryClient again;
    again.load();
    EXPECT_EQ(again.state().id, s.id);
    EXPECT_EQ(again.nickname(), MakeNickname(s.id));
}

// A file saved by a Windows editor (CRLF) or left empty by a power cut.
TEST_F(TelemetryFileFixture, CrlfFileKeepsItsIdAndAnEmptyOneIsKeptAside) {
    const std::string id = "0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392";
    const std::string crlf = "id=" + id + "\r\nnoticeShownAt=1700000000\r\nnoticeAcked=1\r\nlastSentAt=0\r\n";
    ASSERT_TRUE(AtomicWriteFile(path_, crlf));
    TelemetryClient client;
    client.load();
    EXPECT_EQ(client.state().id, id);
    EXPECT_TRUE(client.state().noticeAcked);
    EXPECT_EQ(ReadFileBytes(path_), crlf);  // a good file is not rewritten at load
    EXPECT_FALSE(std::filesystem::exists(bad_));

    ASSERT_TRUE(AtomicWriteFile(path_, ""));
    TelemetryClient empty;
    empty.load();
    EXPECT_NE(empty.state().id, id);
    EXPECT_EQ(ReadFileBytes(bad_), "");
}

TEST_F(TelemetryFileFixture, ReportThenDeletionAgainstALocalServer) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    TelemetryClient client;
    client.load();
    const std::string firstId = client.state().id;

    // Not acknowledged and never shown: nothing goes out.
    client.markNewResult();
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    client.join();
    EXPECT_TRUE(server.requests().empty());
    // Sharing off, or no inventory yet: nothing either.
    client.acknowledgeNotice();
    client.maybeSendReport(false, ValidSnapshot(), std::wstring(L"Test CPU"));
    client.maybeSendReport(true, ValidSnapshot(), std::nullopt);
    client.join();
    EXPECT_TRUE(server.requests().empty());

    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    ASSERT_TRUE(server.waitForRequests(1));
    client.join();
    TelemetryState s = client.state();
    const std::string body = server.requests()[0].body;
    EXPECT_NE(body.find("\"id\": \"" + firstId + "\""), std::string::npos);
    EXPECT_NE(body.find("\"name\": \"Test CPU\""), std::string::npos);
    EXPECT_EQ(body.back(), '\n');
    EXPECT_GT(s.lastSentAt, 0);
    EXPECT_EQ(s.lastHash, ChangeHash(body));
    EXPECT_FALSE(s.pending);
    EXPECT_FALSE(s.busy);
    EXPECT_TRUE(s.statusText.empty());
    // The state reached the file.
    EXPECT_NE(ReadFileBytes(path_)->find("lastHash=" + s.lastHash + "\n"), std::string::npos);

    // Right after a success nothing more goes out (6 hours), unless a new result is pending.
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    client.join();
    EXPECT_EQ(server.requests().size(), 1u);

    client.requestDeletion();
    ASSERT_TRUE(server.waitForRequests(2));
    client.join();
    EXPECT_EQ(server.requests()[1].body, "{\"v\":1,\"action\":\"delete\",\"id\":\"" + firstId + "\"}");
    s = client.state();
    EXPECT_NE(s.id, firstId);
    EXPECT_EQ(s.lastSentAt, 0);
    EXPECT_TRUE(s.lastHash.empty());
    EXPECT_EQ(s.statusText, kDeletedStatus);
    EXPECT_TRUE(s.noticeAcked);
    EXPECT_FALSE(LoadSettings().ShareData);  // sharing is off, in the file the window reads back
    EXPECT_NE(ReadFileBytes(path_)->find("\nsharingOff=1\n"), std::string::npos);

    // A new result goes nowhere, even with a stale "on" from the window...
    client.markNewResult();
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    client.join();
    EXPECT_EQ(server.requests().size(), 2u);
    // ...until the user switches sharing on again; it then carries the new id and nickname.
    client.acknowledgeNotice();
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    ASSERT_TRUE(server.waitForRequests(3));
    client.join();
    const std::string third = server.requests()[2].body;
    EXPECT_NE(third.find(s.id), std::string::npos);
    EXPECT_NE(third.find(WideToUtf8(MakeNickname(s.id))), std::string::npos);
}

TEST_F(TelemetryFileFixture, FailuresAndDeletionWhileBusy) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    TelemetryClient client;
    client.load();
    client.acknowledgeNotice();
    client.markNewResult();
    server.hold(true);
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(client.busy());
    const std::string id = client.state().id;
    client.requestDeletion();  // a report is running: nothing happens
    server.setStatus(500);
    server.hold(false);
    client.join();
    EXPECT_EQ(server.requests().size(), 1u);
    TelemetryState s = client.state();
    EXPECT_EQ(s.id, id);
    EXPECT_EQ(s.statusText, L"Son gönderim başarısız: Sunucu hatası (500)");
    EXPECT_TRUE(s.pending);  // it was started for a pending result
    EXPECT_EQ(s.lastSentAt, 0);

    // The pending result is retried at once; a failed deletion keeps the id.
    client.requestDeletion();
    client.join();
    s = client.state();
    EXPECT_EQ(s.id, id);
    EXPECT_EQ(s.statusText, L"Silinemedi: Sunucu hatası (500). Daha sonra yeniden dene.");
}

TEST(CompatibilityReportWin, RealReportHasNoPersonalNames) {
    const ReportInputs in = GatherReportInputs("0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392", std::nullopt);
    SensorSnapshot s = ValidSnapshot();
    const std::wstring doc = Lower(Utf8ToWide(BuildCompatibilityReport(in, s)));
    wchar_t computer[256] = {};
    DWORD n = 256;
    ASSERT_TRUE(GetComputerNameW(computer, &n));
    wchar_t user[256] = {};
    n = 256;
    ASSERT_TRUE(GetUserNameW(user, &n));
    ASSERT_GT(wcslen(computer), 0u);
    ASSERT_GT(wcslen(user), 0u);
    EXPECT_EQ(doc.find(Lower(computer)), std::wstring::npos) << WideToUtf8(doc);
    EXPECT_EQ(doc.find(Lower(user)), std::wstring::npos) << WideToUtf8(doc);
    // Under Wine the processor name and the adapter come from the real machine and DXGI.
    EXPECT_FALSE(in.cpuName.empty());
    EXPECT_GT(in.threads, 0u);
    EXPECT_FALSE(in.adapters.empty());
}
