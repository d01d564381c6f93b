// The thermal stop through the real window: kalorix-test.exe with the hot demo sensors,
// clicked at its frame report's hit regions, from the hot snapshots to the stopped card.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "store/paths.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "telemetry/telemetry_client_win.h"
#include "test_util_win.h"

namespace kalorix {
namespace {

// The prefix's own files as they were; a test starts from none of them.
struct ProfileGuard : test::SavedFiles {
    ProfileGuard() : SavedFiles({SettingsPath(false), HistoryPath(false), TelemetryPath(false)}, true) {}
};

struct Region { float x = 0, y = 0, w = 0, h = 0; };

struct Frame {
    std::map<std::string, std::string> values;
    std::map<std::string, Region> regions;
    std::string value(const std::string& key) const { return values.count(key) ? values.at(key) : std::string(); }
};

// kalorix-test.exe with the given environment and a frame report; killed at the end
// (its benchmark child dies with the job).
class App {
public:
    explicit App(const wchar_t* sensors)
        : sensors_(L"KALORIX_FAKE_SENSORS", sensors),
          frameReport_(L"KALORIX_FRAME_REPORT", (report_.path() / L"frame.txt").wstring().c_str()) {}
    bool started() const { return process_.started(); }

    Frame frame() const {
        Frame f;
        std::ifstream in(report_.path() / "frame.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string key, rest;
            fields >> key;
            Region r;
            if (key == "region" && fields >> r.x >> r.y >> r.w >> r.h >> rest) f.regions[rest] = r;
            else if (std::getline(fields >> std::ws, rest)) f.values[key] = rest;
        }
        return f;
    }

    // Polls the frame report until pred holds (bounded); the last frame read stays in last.
    bool waitFor(const std::function<bool(const Frame&)>& pred, int seconds) {
        return test::WaitUntil([&] { return pred(last = frame()); }, seconds * 1000);
    }

    // A left click at the centre of the named region of the last frame.
    bool click(const std::string& region) {
        const auto it = last.regions.find(region);
        if (it == last.regions.end()) return false;
        if (!window_) window_ = FindWindowW(L"KalorixNativeWindow", nullptr);
        if (!window_) return false;
        const float scale = std::stof(last.value("dpi").empty() ? "96" : last.value("dpi")) / 96.0f;
        const LPARAM at = MAKELPARAM(int((it->second.x + it->second.w / 2) * scale), int((it->second.y + it->second.h / 2) * scale));
        PostMessageW(window_, WM_MOUSEMOVE, 0, at);
        PostMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(window_, WM_LBUTTONUP, 0, at);
        return true;
    }

    Frame last;

private:
    test::TempFolder report_{L"kalorix-frame"};
    test::ScopedEnv sensors_, frameReport_;
    test::TestApp process_;  // started last, with the environment above
    HWND window_ = nullptr;
};

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

TEST(TestsPageWin, ThermalStopFromHotSnapshotsToTheStoppedCard) {
    ProfileGuard profile;
    Settings settings;
    settings.FirstTestOffered = true, settings.TrayNotifications = false, settings.MinimizeToTray = false;
    settings.ShareData = false;  // no report leaves the machine
    settings.WarningTemp = 60;        // the scripted "demo" machine passes 60 °C within seconds
    settings.UpdateIntervalMs = 500;  // the script moves once per sampling pass
    SaveSettings(settings);
    App app(L"demo");  // full-length CPU test: only the stop can end it early
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitFor([](const Frame& f) { return f.value("ready") == "1"; }, 90)) << "no window with sensor data";
    ClickUntil(app, "nav/tests", [](const Frame& f) { return f.value("page") == "3"; });
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
