// The Tests page through the real window: kalorix-test.exe with scripted
// sensors, clicked by posted mouse messages at the hit regions its frame
// report lists, and read back through that report. "Tümünü test et" under
// Wine ends with processor, memory and disk results and a failed graphics card
// (Wine cannot compile the shader); the thermal stop goes from hot snapshots
// to the stopped card with its text. Works on the prefix's Kalorix files
// (settings, history, telemetry state) and puts them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sensors/text.h"
#include "store/file_util.h"
#include "store/paths.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "telemetry/telemetry_client_win.h"

namespace kalorix {
namespace {

namespace fs = std::filesystem;

fs::path ExeDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// The prefix's own files as they were; a test starts from none of them.
class ProfileGuard {
public:
    ProfileGuard() : files_{SettingsPath(false), HistoryPath(false), TelemetryPath(false)} {
        for (const fs::path& f : files_) {
            saved_.push_back(ReadFileBytes(f));
            std::error_code ec;
            fs::remove(f, ec);
        }
    }
    ~ProfileGuard() {
        for (size_t i = 0; i < files_.size(); ++i) {
            std::error_code ec;
            if (saved_[i]) AtomicWriteFile(files_[i], *saved_[i]);
            else fs::remove(files_[i], ec);
        }
    }

private:
    std::vector<fs::path> files_;
    std::vector<std::optional<std::string>> saved_;
};

struct Region {
    float x = 0, y = 0, w = 0, h = 0;
};

struct Frame {
    std::map<std::string, std::string> values;
    std::map<std::string, Region> regions;
    std::string value(const std::string& key) const {
        const auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    }
};

// kalorix-test.exe with the given environment and a frame report; killed at the end
// (its benchmark child dies with the job).
using Env = std::vector<std::pair<std::wstring, std::wstring>>;

class App {
public:
    explicit App(const Env& env) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        report_ = fs::path(temp) / (L"kalorix-frame-" + std::to_wstring(GetCurrentProcessId()) + L".txt");
        std::error_code ec;
        fs::remove(report_, ec);
        Env all = env;
        all.emplace_back(L"KALORIX_FRAME_REPORT", report_.wstring());
        for (const auto& [name, value] : all) SetEnvironmentVariableW(name.c_str(), value.c_str());
        const std::wstring exe = (ExeDirectory() / L"kalorix-test.exe").wstring();
        std::wstring line = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
        for (const auto& [name, value] : all) SetEnvironmentVariableW(name.c_str(), nullptr);
    }
    ~App() {
        if (started_) {
            TerminateProcess(pi_.hProcess, 0);
            WaitForSingleObject(pi_.hProcess, 10000);
            CloseHandle(pi_.hThread);
            CloseHandle(pi_.hProcess);
        }
        std::error_code ec;
        fs::remove(report_, ec);
    }
    bool started() const { return started_ != FALSE; }

    Frame frame() const {
        Frame f;
        std::ifstream in(report_);
        std::string line;
        while (std::getline(in, line)) {
            const size_t space = line.find(' ');
            const std::string key = line.substr(0, space);
            const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
            if (key == "region") {
                std::istringstream fields(rest);
                Region r;
                std::string name;
                fields >> r.x >> r.y >> r.w >> r.h >> name;
                f.regions[name] = r;
            } else {
                f.values[key] = rest;
            }
        }
        return f;
    }

    // Polls the frame report until pred holds (bounded); the last frame read stays in last.
    bool waitFor(const std::function<bool(const Frame&)>& pred, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            last = frame();
            if (pred(last)) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // A left click at the centre of the named region of the last frame.
    bool click(const std::string& region) {
        const auto it = last.regions.find(region);
        if (it == last.regions.end()) return false;
        if (!window_) window_ = FindWindowW(L"KalorixNativeWindow", nullptr);
        if (!window_) return false;
        const float scale = std::stof(last.value("dpi").empty() ? "96" : last.value("dpi")) / 96.0f;
        const int x = static_cast<int>((it->second.x + it->second.w / 2) * scale);
        const int y = static_cast<int>((it->second.y + it->second.h / 2) * scale);
        const LPARAM at = MAKELPARAM(x, y);
        PostMessageW(window_, WM_MOUSEMOVE, 0, at);
        PostMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(window_, WM_LBUTTONUP, 0, at);
        return true;
    }

    Frame last;

private:
    fs::path report_;
    PROCESS_INFORMATION pi_{};
    BOOL started_ = FALSE;
    HWND window_ = nullptr;
};

Settings QuietSettings() {
    Settings s;
    s.FirstTestOffered = true;
    s.TrayNotifications = false;
    s.ShareData = false;  // no report leaves the machine
    s.MinimizeToTray = false;
    return s;
}

// The window is up with data, and the Tests page is shown.
void OpenTestsPage(App& app) {
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitFor([](const Frame& f) { return f.value("ready") == "1" && f.regions.count("nav/tests"); },
                            90))
        << "no window with sensor data";
    for (int attempt = 0; attempt < 3 && app.last.value("page") != "3"; ++attempt) {
        ASSERT_TRUE(app.click("nav/tests"));
        app.waitFor([](const Frame& f) { return f.value("page") == "3"; }, 10);
    }
    ASSERT_EQ(app.last.value("page"), "3");
}

// Clicks a region until the frame shows the wanted state (a posted click can
// arrive before the window has painted the region it aims at).
void ClickUntil(App& app, const std::string& region, const std::function<bool(const Frame&)>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(app.waitFor([&](const Frame& f) { return done(f) || f.regions.count(region) > 0; }, 20))
            << "no region " << region;
        if (done(app.last)) return;
        ASSERT_TRUE(app.click(region));
        if (app.waitFor(done, 10)) return;
    }
    FAIL() << "clicking " << region << " changed nothing";
}

TEST(TestsPageWin, RunAllEndsWithResultsAndAFailedGraphicsCard) {
    ProfileGuard profile;
    SaveSettings(QuietSettings());
    App app(Env{{L"KALORIX_FAKE_SENSORS", L"idle"}, {L"KALORIX_BENCH_TIME_SCALE", L"0.1"}});
    OpenTestsPage(app);
    ClickUntil(app, "tests/runall", [](const Frame& f) { return f.value("series") != "-"; });

    // Until the series ends: the pauses show the next card waiting and start nothing else.
    bool sawPause = false, startOffered = false;
    const bool ended = app.waitFor(
        [&](const Frame& f) {
            if (f.value("series") == "pause") {
                sawPause = sawPause || f.value("test.memory").rfind("waiting", 0) == 0 ||
                           f.value("test.gpu").rfind("waiting", 0) == 0 || f.value("test.disk").rfind("waiting", 0) == 0;
                for (const char* kind : {"cpu", "memory", "gpu", "disk"})
                    startOffered = startOffered || f.regions.count(std::string("tests/run/") + kind) > 0;
            }
            return f.value("series") == "-" && f.value("bench") == "-";
        },
        240);
    ASSERT_TRUE(ended) << "series " << app.last.value("series") << ", bench " << app.last.value("bench");
    EXPECT_TRUE(sawPause);
    EXPECT_FALSE(startOffered) << "a card offered a start during a pause of the series";

    const Frame& f = app.last;
    for (const char* kind : {"cpu", "memory", "disk"}) {
        EXPECT_EQ(f.value(std::string("test.") + kind), "idle result") << kind << ": "
                                                                       << f.value(std::string("test.") + kind + ".error");
    }
    if (f.value("test.gpu") != "idle result") {  // Wine: the shader does not compile
        EXPECT_EQ(f.value("test.gpu"), "idle -");
        EXPECT_EQ(f.value("test.gpu.error").rfind("Test programı derlenemedi.", 0), 0u) << f.value("test.gpu.error");
    }
    EXPECT_EQ(f.value("queue"), "0");
}

TEST(TestsPageWin, ThermalStopFromHotSnapshotsToTheStoppedCard) {
    ProfileGuard profile;
    Settings settings = QuietSettings();
    settings.WarningTemp = 60;        // the scripted "demo" machine passes 60 °C within seconds
    settings.UpdateIntervalMs = 500;  // the script moves once per sampling pass
    SaveSettings(settings);
    App app(Env{{L"KALORIX_FAKE_SENSORS", L"demo"}});  // full-length CPU test: only the stop can end it early
    OpenTestsPage(app);
    ASSERT_TRUE(app.waitFor(
        [](const Frame& f) { return !f.value("cputemp").empty() && f.value("cputemp") != "-" && std::stod(f.value("cputemp")) >= 62; },
        90))
        << "the demo machine did not warm up: " << app.last.value("cputemp");
    ClickUntil(app, "tests/run/cpu", [](const Frame& f) { return f.value("bench") == "cpu"; });
    // The run's end reaches the series with the next message; a frame painted just
    // before that shows the runner stopped and the card not yet updated.
    ASSERT_TRUE(app.waitFor([](const Frame& f) { return f.value("bench") == "-" && f.value("series") == "-"; }, 20))
        << "the hot CPU test was not stopped";

    const std::string error = app.last.value("test.cpu.error");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(error, m, std::regex("İşlemci ([0-9]+) °C'ye ulaştı; güvenlik için test durduruldu")))
        << error;
    EXPECT_GE(std::stoi(m[1].str()), 60);
    EXPECT_EQ(app.last.value("bench.error"), error);
    EXPECT_EQ(app.last.value("test.cpu"), "idle -");  // stopped: no result, the start is offered again
    EXPECT_TRUE(app.waitFor([](const Frame& f) { return f.regions.count("tests/run/cpu") > 0; }, 10));
}

}  // namespace
}  // namespace kalorix
