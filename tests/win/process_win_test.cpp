// Process start against the real kalorix.exe: this test process plays the
// running monitor (it holds the single-instance guard and the show signal on a
// message-only window) and starts kalorix.exe as the second instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/elevation_win.h"
#include "app/process_win.h"
#include "base/scoped_win.h"
#include "test_util_win.h"

using namespace kalorix;

namespace {

using test::ChildResult;

std::wstring KalorixExe() { return (test::ExeFolder() / L"kalorix.exe").wstring(); }
ChildResult RunKalorix(const std::wstring& arguments) { return test::RunCaptured(KalorixExe(), arguments); }

std::unique_ptr<test::MessageWindow> g_owner;
HWND g_window = nullptr;

// Counts show messages: waits up to waitForFirstMs for the first, then quietMs longer for extras.
int CountShowMessages(DWORD waitForFirstMs, DWORD quietMs) {
    int count = 0;
    ULONGLONG deadline = GetTickCount64() + waitForFirstMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == ShowMessageId() && msg.hwnd == g_window && count++ == 0)
                deadline = GetTickCount64() + quietMs;
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return count;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLPOSTMESSAGE);
    }
}

class ProcessStart : public testing::Test {
protected:
    static void SetUpTestSuite() {
        g_owner = std::make_unique<test::MessageWindow>();
        g_window = g_owner->get();
        ASSERT_NE(g_window, nullptr);
        ASSERT_TRUE(AcquireSingleInstance());
        RegisterShowSignal(g_window, ShowMessageId());
    }
    static void TearDownTestSuite() {
        ReleaseSingleInstance();
        g_owner.reset();
        g_window = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(KalorixExe())) << "kalorix.exe is built next to the tests";
        CountShowMessages(0, 0);  // nothing left over from an earlier test
    }
};

}  // namespace

// A second monitor start signals the running one exactly once; in tray mode it ends silently.
TEST_F(ProcessStart, SecondStartSignalsOnceOrInTrayModeNotAtAll) {
    for (const auto& [args, shows] : {std::pair{L"", 1}, std::pair{L"--tray", 0}}) {
        SCOPED_TRACE(shows ? "plain start" : "--tray");
        const ChildResult child = RunKalorix(args);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.exitCode, 0u);
        EXPECT_EQ(CountShowMessages(shows ? 10000 : 2000, shows ? 1000 : 0), shows);
    }
}

TEST_F(ProcessStart, BenchFlagInsideAWordSelectsTheChildWithoutTheGuard) {
    const ChildResult child = RunKalorix(L"x--benchy");
    ASSERT_TRUE(child.finished);
    EXPECT_NE(child.exitCode, 0u);
    EXPECT_NE(child.output.find("E Bilinmeyen test türü\n"), std::string::npos) << child.output;
    // A monitor start would have found the guard taken and signalled us.
    EXPECT_EQ(CountShowMessages(2000, 0), 0);
}

TEST_F(ProcessStart, GuardIsHeldUntilReleasedAndCanBeTakenAgain) {
    auto guardTaken = [] {
        const UniqueHandle other(CreateMutexW(nullptr, FALSE, L"Local\\Kalorix.Native.SingleInstance"));
        return other.valid() && GetLastError() == ERROR_ALREADY_EXISTS;
    };
    EXPECT_TRUE(AcquireSingleInstance());  // already held: still true
    EXPECT_TRUE(guardTaken());
    // As after a failed elevated restart: release, take again, register again.
    ReleaseSingleInstance();
    EXPECT_EQ(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Kalorix.Native.Show"), nullptr);
    EXPECT_FALSE(guardTaken());

    ASSERT_TRUE(AcquireSingleInstance());
    RegisterShowSignal(g_window, ShowMessageId());
    RegisterShowSignal(g_window, ShowMessageId());  // a second registration must not double the posts
    const ChildResult child = RunKalorix(L"");
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0u);
    EXPECT_EQ(CountShowMessages(10000, 1000), 1);
}
