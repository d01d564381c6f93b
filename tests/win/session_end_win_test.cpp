// Heavy-use periods kept across power and session-end messages and a killed
// kalorix-test.exe. Works on the prefix's data files and puts them back.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sensors/engine_host_win.h"
#include "store/file_util.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "test_util_win.h"
#include "tests/core/engine_fakes.h"
#include "ui/main_window_win.h"

namespace kalorix {
namespace {


constexpr const char* kProvisionalTail = "\tp\n";
using test::ScopedEnv;

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) { return test::WaitUntil(done, timeoutMs, true); }

std::string HistoryText() { return ReadFileBytes(HistoryPath(false)).value_or(std::string()); }

class DataFilesTest : public ::testing::Test {
protected:
    test::SavedFiles saved_{{SettingsPath(false), HistoryPath(false), SettingsPath(false).parent_path() / "telemetry.txt"},
                            true};
    void SetUp() override {
        Settings quiet;
        quiet.FirstTestOffered = true, quiet.TrayNotifications = false, quiet.ShareData = false;
        SaveSettings(quiet);
    }
};

using TestBuildProcess = test::TestApp;

bool WaitForHistory(const std::function<bool(const std::string&)>& done, const TestBuildProcess& app, DWORD timeoutMs) {
    test::WaitUntil([&] { return !app.running() || done(HistoryText()); }, static_cast<int>(timeoutMs));
    return done(HistoryText());
}

}  // namespace

TEST(PowerBroadcast, SuspendAndResumeReachTheEngine) {
    test::NullHost host;
    SamplingEngine engine(host);
    EXPECT_TRUE(NotifyPowerBroadcast(engine, PBT_APMSUSPEND));
    EXPECT_TRUE(engine.suspended());
    EXPECT_FALSE(NotifyPowerBroadcast(engine, PBT_POWERSETTINGCHANGE));
    EXPECT_TRUE(engine.suspended());
    EXPECT_TRUE(NotifyPowerBroadcast(engine, PBT_APMRESUMEAUTOMATIC));
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
// for the next start, which keeps it as a finished period.
TEST_F(DataFilesTest, AKilledProcessLeavesItsRunningPeriodForTheNextStart) {
    ScopedEnv sensors(L"KALORIX_FAKE_SENSORS", L"demo");
    ScopedEnv clock(L"KALORIX_FAKE_CLOCK", L"20");
    auto provisional = [](const std::string& text) { return text.find(kProvisionalTail) != std::string::npos; };
    int64_t firstStart = 0;
    {
        TestBuildProcess app(L"--tray");
        ASSERT_TRUE(app.started());
        ASSERT_TRUE(WaitForHistory(provisional, app, 120000)) << HistoryText();
    }  // killed here
    {
        const UsageHistory next(HistoryPath(false));  // what the next start loads
        ASSERT_FALSE(next.periods().empty());
        EXPECT_GE(next.periods().back().duration, 180.0);
        firstStart = next.periods().back().startTime;
    }
    TestBuildProcess again(L"--tray");
    ASSERT_TRUE(again.started());
    const std::string kept = "S\t" + std::to_string(firstStart) + "\t";
    ASSERT_TRUE(WaitForHistory(
        [&](const std::string& text) {
            const size_t at = text.find(kept);
            return provisional(text) && at != std::string::npos && text.find(kProvisionalTail, at) > text.find('\n', at);
        },
        again, 120000))
        << HistoryText();
}

}  // namespace kalorix
