// What the Windows layer adds to keeping heavy-use periods: the window's power
// and session-end messages, and a killed kalorix-test.exe whose running period
// is found in history.txt by the next start. Works on the prefix's data files
// and puts them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/scoped_win.h"
#include "sensors/engine_host_win.h"
#include "store/file_util.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "ui/main_window_win.h"

namespace kalorix {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProvisionalTail = "\tp\n";

// Dispatches this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    MSG msg;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

std::string HistoryText() { return ReadFileBytes(HistoryPath(false)).value_or(std::string()); }

// Sets environment variables for this test (and the programs it starts) and puts back the old ones.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t buffer[512];
        const DWORD n = GetEnvironmentVariableW(name, buffer, 512);
        if (n > 0 && n < 512) old_ = std::wstring(buffer, n);
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> old_;
};

// Keeps the prefix's settings, history and telemetry files and restores them.
class DataFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::path& p : {SettingsPath(false), HistoryPath(false)}) {
            ASSERT_FALSE(p.empty());
            saved_.emplace_back(p, ReadFileBytes(p));
        }
        const fs::path telemetry = SettingsPath(false).parent_path() / "telemetry.txt";
        saved_.emplace_back(telemetry, ReadFileBytes(telemetry));
        Settings quiet;
        quiet.FirstTestOffered = true;
        quiet.TrayNotifications = false;
        quiet.ShareData = false;
        SaveSettings(quiet);
        std::error_code ec;
        fs::remove(HistoryPath(false), ec);
    }
    void TearDown() override {
        for (const auto& [path, bytes] : saved_) {
            std::error_code ec;
            if (bytes) AtomicWriteFile(path, *bytes);
            else fs::remove(path, ec);
        }
    }
    std::vector<std::pair<fs::path, std::optional<std::string>>> saved_;
};

// A clock for the engine when only the power notices matter.
class StillHost : public EngineHost {
public:
    double monotonicNow() override { return 100.0; }
    int64_t wallNow() override { return 1765000000; }
    LocalTime localTime() override { return {}; }
    void sleepMs(int) override {}
    bool isElevated() override { return false; }
    std::vector<std::unique_ptr<Provider>> createProviders(bool) override { return {}; }
    std::wstring biosManufacturer() override { return {}; }
    bool pawnIoInstalled() override { return false; }
    void postReady(void*) override {}
    void recordPeriod(const HeavyUsePeriod&) override {}
};

// kalorix-test.exe next to this program, started in the tray with the scripted
// busy laptop and a fast clock; killed by the destructor if still running.
class TestBuildProcess {
public:
    TestBuildProcess() {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring exe = (fs::path(self).parent_path() / L"kalorix-test.exe").wstring();
        std::wstring line = L"\"" + exe + L"\" --tray";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    ~TestBuildProcess() { kill(); }
    bool started() const { return process_.valid(); }
    bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // As a crash or a power cut would: no message, no clean-up.
    void kill() {
        if (!running()) return;
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), 10000);
    }

private:
    UniqueHandle process_;
};

bool WaitForHistory(const std::function<bool(const std::string&)>& done, const TestBuildProcess& app, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end && app.running()) {
        if (done(HistoryText())) return true;
        Sleep(100);
    }
    return done(HistoryText());
}

}  // namespace

TEST(PowerBroadcast, SuspendAndResumeReachTheEngine) {
    StillHost host;
    SamplingEngine engine(host);
    EXPECT_TRUE(NotifyPowerBroadcast(engine, PBT_APMSUSPEND));
    EXPECT_TRUE(engine.suspended());
    EXPECT_FALSE(NotifyPowerBroadcast(engine, PBT_POWERSETTINGCHANGE));
    EXPECT_TRUE(engine.suspended());
    EXPECT_TRUE(NotifyPowerBroadcast(engine, PBT_APMRESUMEAUTOMATIC));
    EXPECT_FALSE(engine.suspended());
    NotifyPowerBroadcast(engine, PBT_APMSUSPEND);
    EXPECT_TRUE(NotifyPowerBroadcast(engine, PBT_APMRESUMESUSPEND));
    EXPECT_FALSE(engine.suspended());
}

// Logoff or shutdown: the window records the running period before the process
// can be ended; an end that is called off resumes sampling.
TEST_F(DataFilesTest, SessionEndRecordsThePeriodAndACancelledEndResumes) {
    ScopedEnv sensors(L"KALORIX_FAKE_SENSORS", L"demo");
    ScopedEnv clock(L"KALORIX_FAKE_CLOCK", L"25");
    UsageHistory& history = UsageHistory::instance();
    const size_t before = history.periods().size();
    MainWindow window(GetModuleHandleW(nullptr));
    ASSERT_TRUE(window.create(true));
    ASSERT_TRUE(PumpUntil([&] { return history.provisionalPeriod().has_value(); }, 90000))
        << "no period of 180 s from the demo sensors";
    EXPECT_NE(HistoryText().find(kProvisionalTail), std::string::npos);

    EXPECT_EQ(SendMessageW(window.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_FALSE(history.provisionalPeriod().has_value());
    ASSERT_GT(history.periods().size(), before);
    EXPECT_GE(history.periods().back().duration, 180.0);
    EXPECT_EQ(HistoryText().find(kProvisionalTail), std::string::npos);  // the final line replaced it

    SendMessageW(window.hwnd(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // the logoff was called off
    ASSERT_TRUE(PumpUntil([&] { return history.provisionalPeriod().has_value(); }, 90000)) << "sampling did not resume";
    const size_t recorded = history.periods().size();
    SendMessageW(window.hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(history.periods().size(), recorded + 1);
    EXPECT_EQ(HistoryText().find(kProvisionalTail), std::string::npos);
}

// A process killed during a long period (a crash, a power cut) leaves the period
// in history.txt; the next start loads it as a finished period and keeps it.
TEST_F(DataFilesTest, AKilledProcessLeavesItsRunningPeriodForTheNextStart) {
    ScopedEnv sensors(L"KALORIX_FAKE_SENSORS", L"demo");
    ScopedEnv clock(L"KALORIX_FAKE_CLOCK", L"20");
    auto provisional = [](const std::string& text) { return text.find(kProvisionalTail) != std::string::npos; };
    int64_t firstStart = 0;
    {
        TestBuildProcess app;
        ASSERT_TRUE(app.started());
        ASSERT_TRUE(WaitForHistory(provisional, app, 120000)) << HistoryText();
        app.kill();
    }
    {
        const UsageHistory next(HistoryPath(false));  // what the next start loads
        ASSERT_FALSE(next.periods().empty());
        EXPECT_GE(next.periods().back().duration, 180.0);
        firstStart = next.periods().back().startTime;
    }
    // The next start keeps it: its own first save holds it as a finished line.
    TestBuildProcess again;
    ASSERT_TRUE(again.started());
    const std::string kept = "S\t" + std::to_string(firstStart) + "\t";
    ASSERT_TRUE(WaitForHistory(
        [&](const std::string& text) {
            const size_t at = text.find(kept);
            return provisional(text) && at != std::string::npos && text.find(kProvisionalTail, at) > text.find('\n', at);
        },
        again, 120000))
        << HistoryText();
    again.kill();
}

}  // namespace kalorix
