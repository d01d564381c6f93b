// Process start against the real kalorix.exe: this test process plays the
// running monitor (it holds the single-instance guard and the show signal on a
// message-only window) and starts kalorix.exe as the second instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/elevation_win.h"
#include "app/process_win.h"

using namespace kalorix;

namespace {

constexpr DWORD kChildTimeoutMs = 60000;

std::wstring KalorixExe() {
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return (std::filesystem::path(std::wstring(buffer, n)).parent_path() / L"kalorix.exe").wstring();
}

struct ChildResult {
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;
};

// Starts kalorix.exe with the arguments and waits (bounded) until it ends.
ChildResult RunKalorix(const std::wstring& arguments, bool captureOutput) {
    ChildResult result;
    const std::wstring exe = KalorixExe();
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;

    HANDLE readEnd = nullptr, writeEnd = nullptr;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (captureOutput) {
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return result;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, captureOutput, 0,
                                        nullptr, nullptr, &startup, &process);
    if (writeEnd) CloseHandle(writeEnd);
    if (!started) {
        if (readEnd) CloseHandle(readEnd);
        return result;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, kChildTimeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(process.hProcess, &result.exitCode);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hProcess);
    if (readEnd) {
        // The child has ended and our copy of the write end is closed: read to EOF.
        char chunk[512];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof(chunk), &got, nullptr) && got > 0) result.output.append(chunk, got);
        CloseHandle(readEnd);
    }
    return result;
}

HWND g_window = nullptr;

// Pumps this thread's messages and counts show messages. Waits up to
// waitForFirstMs for the first one, then listens quietMs longer for extras.
int CountShowMessages(DWORD waitForFirstMs, DWORD quietMs) {
    int count = 0;
    ULONGLONG deadline = GetTickCount64() + waitForFirstMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == ShowMessageId() && msg.hwnd == g_window) {
                if (count++ == 0) deadline = GetTickCount64() + quietMs;
            }
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
        WNDCLASSW cls{};
        cls.lpfnWndProc = DefWindowProcW;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"KalorixProcessTestWindow";
        RegisterClassW(&cls);
        g_window = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   cls.hInstance, nullptr);
        ASSERT_NE(g_window, nullptr);
        ASSERT_TRUE(AcquireSingleInstance());
        RegisterShowSignal(g_window, ShowMessageId());
    }
    static void TearDownTestSuite() {
        ReleaseSingleInstance();
        if (g_window) DestroyWindow(g_window);
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
        const ChildResult child = RunKalorix(args, false);
        ASSERT_TRUE(child.finished);
        EXPECT_EQ(child.exitCode, 0u);
        EXPECT_EQ(CountShowMessages(shows ? 10000 : 2000, shows ? 1000 : 0), shows);
    }
}

TEST_F(ProcessStart, BenchFlagInsideAWordSelectsTheChildWithoutTheGuard) {
    const ChildResult child = RunKalorix(L"x--benchy", true);
    ASSERT_TRUE(child.finished);
    EXPECT_NE(child.exitCode, 0u);
    EXPECT_NE(child.output.find("E Bilinmeyen test türü\n"), std::string::npos) << child.output;
    // A monitor start would have found the guard taken and signalled us.
    EXPECT_EQ(CountShowMessages(2000, 0), 0);
}

TEST_F(ProcessStart, GuardIsHeldUntilReleasedAndCanBeTakenAgain) {
    EXPECT_TRUE(AcquireSingleInstance());  // already held: still true

    HANDLE other = CreateMutexW(nullptr, FALSE, L"Local\\Kalorix.Native.SingleInstance");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(other);

    // As after a failed elevated restart: release, take again, register again.
    ReleaseSingleInstance();
    EXPECT_EQ(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Kalorix.Native.Show"), nullptr);
    other = CreateMutexW(nullptr, FALSE, L"Local\\Kalorix.Native.SingleInstance");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(other);

    ASSERT_TRUE(AcquireSingleInstance());
    RegisterShowSignal(g_window, ShowMessageId());
    RegisterShowSignal(g_window, ShowMessageId());  // a second registration must not double the posts

    const ChildResult child = RunKalorix(L"", false);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0u);
    EXPECT_EQ(CountShowMessages(10000, 1000), 1);
}

TEST_F(ProcessStart, EveryShowRequestPostsOnce) {
    for (int i = 0; i < 3; ++i) {
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Kalorix.Native.Show");
        ASSERT_NE(event, nullptr);
        SetEvent(event);
        CloseHandle(event);
        EXPECT_EQ(CountShowMessages(10000, 300), 1) << "request " << i;
    }
}

TEST(PlatformQueries, AnswerWithoutPackageIdentity) {
    const bool elevated = IsProcessElevated();
    EXPECT_EQ(IsProcessElevated(), elevated);
    EXPECT_FALSE(IsPackagedApp());
    EXPECT_FALSE(IsPackagedApp());  // cached answer
    EXPECT_FALSE(QueryLaunchedByStartupTask());
    EXPECT_NE(ShowMessageId(), 0u);
    EXPECT_EQ(ShowMessageId(), RegisterWindowMessageW(L"Kalorix.Native.Show"));
}
