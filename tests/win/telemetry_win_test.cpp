// Telemetry on Windows: the real HTTP request against a local server, the
// state file and settings really written, a deletion racing a running report.
// The sending rules and the state file's parsing are checked natively.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <filesystem>

#include "sensors/text.h"
#include "store/file_util.h"
#include "store/settings.h"
#include "telemetry/http_win.h"
#include "telemetry/report_sources_win.h"
#include "telemetry/telemetry_client_win.h"
#include "test_http_server_win.h"
#include "test_util_win.h"

using namespace kalorix;
using kalorix::test::TestHttpServer;

namespace {

struct EndpointOverride : test::ScopedEnv {
    explicit EndpointOverride(const std::string& url)
        : ScopedEnv(L"KALORIX_TELEMETRY_URL", Utf8ToWide(url).c_str()) {}
};

// Keeps the prefix's telemetry.txt (and the settings a deletion changes) out of
// the way while a test runs; sharing starts on.
class TelemetryFileFixture : public ::testing::Test {
protected:
    void SetUp() override { SaveSettings(Settings{}); }
    std::filesystem::path path_ = TelemetryPath(true);
    std::filesystem::path bad_ = std::filesystem::path(path_) += ".bad";
    test::SavedFiles saved_{{path_, SettingsPath(false), bad_}, true};
};

SensorSnapshot ValidSnapshot() {
    SensorSnapshot s;
    return s.valid = true, s;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

}  // namespace

TEST(PostJson, SendsTheBodyWithContentTypeAndUserAgent) {
    TestHttpServer server;
    const std::string path = "/api/" + std::string(600, 'a');  // a long address is used whole
    EndpointOverride url(server.url(path));
    const std::string body = "{\n  \"v\": 1\n}\n";
    const RequestResult r = PostJson(body);
    EXPECT_TRUE(r.ok) << WideToUtf8(r.message);
    const auto got = server.requests();
    ASSERT_EQ(got.size(), 1u);
    // The test program has no version resource: "Kalorix/?".
    EXPECT_EQ(got[0].path + "|" + got[0].header("Content-Type") + "|" + got[0].header("User-Agent") + "|" + got[0].body,
              path + "|application/json; charset=utf-8|Kalorix/?|" + body);
}

// A redirect to a page that would answer 200 is still no success; an unusable
// address never falls back to the service's own.
TEST(PostJson, FailuresHaveTheirMessages) {
    TestHttpServer server;
    server.setStatus(302, server.url("/ok"));
    const std::string unused = "http://127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()) + "/api/report.php";
    for (const auto& [address, message] : {std::pair{server.url(), L"Sunucu hatası (302)"},
                                           std::pair{unused, L"Sunucuya ulaşılamadı"},
                                           std::pair{std::string("ftp://127.0.0.1/api"), L"Adres geçersiz"}}) {
        EndpointOverride url(address);
        EXPECT_EQ(PostJson("{}").message, message);
    }
    EndpointOverride url("ftp://127.0.0.1/api");
    EXPECT_FALSE(TelemetryEndpoint().has_value());
}

TEST_F(TelemetryFileFixture, LoadReplacesADamagedIdAndKeepsTheOldFileAside) {
    const std::string damaged = "id=0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a39\nnoticeShownAt=5\nnoticeAcked=1\n";
    ASSERT_TRUE(AtomicWriteFile(path_, damaged));
    TelemetryClient client;
    client.load();
    const TelemetryState s = client.state();
    ASSERT_EQ(s.id.size(), 36u);
    EXPECT_EQ(*ReadFileBytes(path_), "id=" + s.id + "\n");
    EXPECT_EQ(ReadFileBytes(bad_), damaged);  // the old identity is not lost silently
    // A file left empty by a power cut is kept aside too.
    ASSERT_TRUE(AtomicWriteFile(path_, ""));
    TelemetryClient empty;
    empty.load();
    EXPECT_NE(empty.state().id, s.id);
    EXPECT_EQ(ReadFileBytes(bad_), "");
}

TEST_F(TelemetryFileFixture, ReportThenDeletionAgainstALocalServer) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    TelemetryClient client;
    client.load();
    const std::string firstId = client.state().id;

    client.acknowledgeNotice();
    // Sharing off, or no inventory yet: nothing goes out.
    client.maybeSendReport(false, ValidSnapshot(), std::wstring(L"Test CPU"));
    client.maybeSendReport(true, ValidSnapshot(), std::nullopt);
    client.join();
    EXPECT_TRUE(server.requests().empty());
    client.maybeSendReport(true, ValidSnapshot(), std::wstring(L"Test CPU"));
    ASSERT_TRUE(server.waitForRequests(1));
    client.join();
    EXPECT_NE(server.requests()[0].body.find("\"id\": \"" + firstId + "\""), std::string::npos);
    EXPECT_NE(ReadFileBytes(path_)->find("lastHash=" + client.state().lastHash + "\n"), std::string::npos);  // the state reached the file

    client.requestDeletion();
    ASSERT_TRUE(server.waitForRequests(2));
    client.join();
    EXPECT_EQ(server.requests()[1].body, "{\"v\":1,\"action\":\"delete\",\"id\":\"" + firstId + "\"}");
    EXPECT_NE(client.state().id, firstId);
    EXPECT_FALSE(LoadSettings().ShareData);  // sharing is off, in the file the window reads back
    EXPECT_NE(ReadFileBytes(path_)->find("\nsharingOff=1\n"), std::string::npos);
}

TEST_F(TelemetryFileFixture, FailuresAndDeletionWhileBusy) {
    TestHttpServer server;
    EndpointOverride url(server.url());
    TelemetryClient client;
    client.load(), client.acknowledgeNotice(), client.markNewResult();
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
    EXPECT_TRUE(client.state().id == id && client.state().pending);  // it was started for a pending result

    // The pending result is retried at once; a failed deletion keeps the id.
    client.requestDeletion();
    client.join();
    EXPECT_EQ(client.state().id, id);
}

TEST(CompatibilityReportWin, RealReportHasNoPersonalNames) {
    const ReportInputs in = GatherReportInputs("0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392", std::nullopt);
    const std::wstring doc = Lower(Utf8ToWide(BuildCompatibilityReport(in, ValidSnapshot())));
    wchar_t computer[256] = {}, user[256] = {};
    DWORD n = 256, m = 256;
    ASSERT_TRUE(GetComputerNameW(computer, &n) && GetUserNameW(user, &m) && n > 0 && m > 0);
    EXPECT_EQ(doc.find(Lower(computer)), std::wstring::npos) << WideToUtf8(doc);
    EXPECT_EQ(doc.find(Lower(user)), std::wstring::npos) << WideToUtf8(doc);
    EXPECT_FALSE(in.adapters.empty());  // from DXGI
}
