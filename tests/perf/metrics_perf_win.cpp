// The metrics endpoint's cost under this machine's Windows (or Wine): the time
// to serve /metrics (median and 99th percentile over 1,000 requests on
// 127.0.0.1, on one kept-alive connection and on a new connection each), the
// time to write the page once per cycle, and the monitor's CPU use (the test
// build with the demo sensors, in the tray) over 60 s without scrapes and 60 s
// scraped every second.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/engine_fakes.h"
#include "tests/win/http_client_win.h"
#include "base/scoped_win.h"
#include "metrics/metrics_server_win.h"
#include "sensors/clock_win.h"
#include "sensors/fake_providers.h"
#include "sensors/sampling_engine.h"
#include "store/file_util.h"
#include "store/settings.h"

namespace {

namespace fs = std::filesystem;
using namespace kalorix;

double NowMs() { return MonotonicSeconds() * 1000.0; }

struct Spread {
    double median = 0, p99 = 0;
};
Spread SpreadOf(std::vector<double> ms) {
    if (ms.empty()) return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

using test::HttpClient;

// One GET /metrics; true for a 200 answer.
bool Scraped(HttpClient& client) { return test::StatusLine(client.get("/metrics")) == "HTTP/1.1 200 OK"; }

// A snapshot of the demo machine after a few cycles, as the engine publishes it.

SensorSnapshot DemoSnapshot() {
    test::NullHost host;
    SamplingEngine engine(host);
    auto providers = MakeFakeProviders("demo");
    SensorFrame frame;
    for (int cycle = 0; cycle < 5; ++cycle) {
        frame.clear();
        for (auto& p : providers) p->poll(frame);
        engine.fold(frame, 1.0 + cycle);
    }
    return engine.snapshot();
}

void ServeFigures() {
    const int port = test::UnusedLoopbackPort();
    MetricsServer::Options options;
    options.scores = [] {
        bench::LatestScores s;
        s.cpu = 1234;
        return s;
    };
    options.version = "perf";
    MetricsServer server(options);
    MetricsEndpoint endpoint;
    endpoint.enabled = true;
    endpoint.port = port;
    server.apply(endpoint);
    if (server.view().state != MetricsState::Listening) {
        std::printf("metrics server did not start (state %s)\n", MetricsStateWord(server.view().state));
        return;
    }
    const SensorSnapshot snapshot = DemoSnapshot();

    // Writing the page: once per cycle, on the server thread, when asked for.
    const MetricsSource source = MakeMetricsSource(snapshot);
    MetricsExtras extras{options.scores(), "perf"};
    std::vector<double> write;
    size_t pageBytes = 0;
    for (int i = 0; i < 1000; ++i) {
        const double t0 = NowMs();
        pageBytes = WriteMetricsText(source, extras).size();
        write.push_back(NowMs() - t0);
    }

    constexpr int kRequests = 1000;
    std::vector<double> kept, fresh;
    int failures = 0;
    {
        HttpClient c(port, 5000);
        for (int i = 0; i < kRequests; ++i) {
            if (i % 50 == 0) server.publish(snapshot);  // a new cycle now and then: the page is written again
            const double t0 = NowMs();
            if (!Scraped(c)) ++failures;
            kept.push_back(NowMs() - t0);
        }
    }
    for (int i = 0; i < kRequests; ++i) {
        if (i % 50 == 0) server.publish(snapshot);
        const double t0 = NowMs();
        HttpClient c(port, 5000);
        if (!Scraped(c)) ++failures;
        fresh.push_back(NowMs() - t0);
    }
    const Spread w = SpreadOf(write), k = SpreadOf(kept), f = SpreadOf(fresh);
    std::printf("Metrics endpoint, demo machine (%zu sensors, /metrics page %zu bytes):\n", snapshot.sensors.size(),
                pageBytes);
    std::printf("  writing the page (once per cycle):          median %.3f ms, p99 %.3f ms\n", w.median, w.p99);
    std::printf("  GET /metrics, one kept-alive connection:    median %.3f ms, p99 %.3f ms (%d requests)\n", k.median,
                k.p99, kRequests);
    std::printf("  GET /metrics, a new connection each:        median %.3f ms, p99 %.3f ms (%d requests)\n", f.median,
                f.p99, kRequests);
    std::printf("  failed answers: %d\n", failures);
}

fs::path Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / name;
}

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// CPU share of the process over seconds, while scrape (if set) runs beside.
std::optional<double> Share(HANDLE process, int seconds, int scrapePort) {
    std::atomic<bool> done{false};
    std::atomic<int> scrapes{0}, failed{0};
    std::thread scraper;
    if (scrapePort) {
        scraper = std::thread([&] {
            HttpClient c(scrapePort, 5000);  // as Prometheus does: one connection kept alive
            while (!done) {
                if (Scraped(c)) ++scrapes;
                else ++failed;
                for (int i = 0; i < 20 && !done; ++i) Sleep(50);
            }
        });
    }
    const double before = CpuSeconds(process);
    const ULONGLONG t0 = GetTickCount64();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double after = CpuSeconds(process);
    const double wall = static_cast<double>(GetTickCount64() - t0) / 1000.0;
    done = true;
    if (scraper.joinable()) scraper.join();
    if (scrapePort) std::printf("    (%d scrapes answered, %d failed)\n", scrapes.load(), failed.load());
    if (before < 0 || after < 0) return std::nullopt;
    return 100.0 * (after - before) / wall;
}

void MonitorFigures() {
    const fs::path exe = Beside(L"kalorix-test.exe");
    if (!fs::exists(exe)) {
        std::printf("kalorix-test.exe not found beside this program\n");
        return;
    }
    const int port = test::UnusedLoopbackPort();
    SetEnvironmentVariableW(L"KALORIX_FAKE_SENSORS", L"demo");
    const fs::path settings = SettingsPath(true);
    const std::optional<std::string> old = ReadFileBytes(settings);
    AtomicWriteFile(settings, "{\n  \"UpdateIntervalMs\": 1000,\n  \"ShareData\": false,\n"
                              "  \"TrayNotifications\": false,\n  \"FirstTestOffered\": true,\n"
                              "  \"MetricsEnabled\": true,\n  \"MetricsPort\": " +
                                  std::to_string(port) + "\n}\n");
    std::wstring command = L"\"" + exe.wstring() + L"\" --tray";
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::optional<double> quiet, scraped;
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        Sleep(10000);
        std::printf("Monitor CPU use at the 1 s interval (demo sensors, in the tray), %% of one core:\n");
        quiet = Share(process.get(), 60, 0);
        scraped = Share(process.get(), 60, port);
        TerminateProcess(process.get(), 0);
        WaitForSingleObject(process.get(), 10000);
    }
    if (old) AtomicWriteFile(settings, *old);
    else DeleteFileW(settings.c_str());
    auto text = [](const std::optional<double>& v) { return v ? std::to_string(*v).substr(0, 5) + " %" : std::string("not measured"); };
    std::printf("  not scraped:             %s\n", text(quiet).c_str());
    std::printf("  scraped every second:    %s\n", text(scraped).c_str());
}

}  // namespace

int main() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    ServeFigures();
    MonitorFigures();
    WSACleanup();
    return 0;
}
