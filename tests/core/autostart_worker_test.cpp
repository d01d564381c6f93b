// Autostart: the Run value's and the scheduler's texts, and the worker's ordering of queries and changes.
#include "app/autostart.h"
#include "app/autostart_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kalorix {
namespace {

// A registration in memory; each change can be held back until released, so the test orders the events.
struct FakeMechanism {
    std::mutex mutex;
    std::condition_variable cv;
    bool registered = false, refuse = false, held = false;
    int finished = 0;
    std::vector<std::string> calls;

    bool IsEnabled() { std::lock_guard<std::mutex> lock(mutex); calls.push_back("query"); return registered; }
    bool Set(bool enable, bool useTask) {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [this] { return !held; });
        calls.push_back(std::string(enable ? "on" : "off") + (useTask ? "+task" : ""));
        if (!refuse) registered = enable;
        return !refuse;
    }
    void Finished() { std::lock_guard<std::mutex> lock(mutex); ++finished, cv.notify_all(); }
    bool WaitFinished(int n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return finished >= n; });
    }
    void Hold(bool on) { std::lock_guard<std::mutex> lock(mutex); held = on, cv.notify_all(); }
};

AutostartWorker MakeWorker(FakeMechanism& m) {
    return AutostartWorker([&m] { return m.IsEnabled(); }, [&m](bool e, bool t) { return m.Set(e, t); }, [&m] { m.Finished(); });

}

TEST(AutostartWorker, ARefreshNeverUndoesAChangeMadeMeanwhile) {
    FakeMechanism m;
    m.registered = true;
    m.Hold(true);
    AutostartWorker worker = MakeWorker(m);
    worker.Refresh(false);      // start-up: on, so it registers again ... and is held there
    worker.Set(false, false);   // the user switches it off meanwhile
    EXPECT_TRUE(worker.View().pending && !worker.View().enabled);  // shows what was asked for
    m.Hold(false);
    ASSERT_TRUE(m.WaitFinished(2));
    EXPECT_FALSE(worker.View().pending || m.registered);
    EXPECT_EQ(m.calls, (std::vector<std::string>{"query", "on", "off"}));
}

TEST(AutostartWorker, ARefusedChangeShowsTheStateReadBack) {
    FakeMechanism m;
    m.registered = m.refuse = true;  // e.g. a task with highest rights that a normal process cannot delete
    AutostartWorker worker = MakeWorker(m);
    worker.Set(false, false);
    ASSERT_TRUE(m.WaitFinished(1));
    EXPECT_TRUE(worker.View().failed && worker.View().enabled);
}

TEST(AutostartWorker, RefreshOfAnOffRegistrationOnlyAsks) {
    FakeMechanism m;
    AutostartWorker worker = MakeWorker(m);
    worker.Refresh(true);
    ASSERT_TRUE(m.WaitFinished(1));
    EXPECT_TRUE(m.calls == std::vector<std::string>{"query"} && worker.View().known);
}

TEST(AutostartWorker, DestroyedWithQueuedJobsEndsAfterTheRunningOne) {
    FakeMechanism m;
    m.Hold(true);
    std::thread releaser([&] { std::this_thread::sleep_for(std::chrono::milliseconds(50)), m.Hold(false); });

    {
        AutostartWorker worker = MakeWorker(m);
        for (int i = 0; i < 5; ++i) worker.Set(i % 2 == 0, false);
    }
    releaser.join();
    EXPECT_LE(m.calls.size(), 1u);  // the queued changes were dropped
}

TEST(Autostart, EscapingAndCommandLines) {
    EXPECT_EQ(XmlEscape(L"C:\\Tools & <Apps>\\\"K\"'s.exe"), L"C:\\Tools &amp; &lt;Apps&gt;\\&quot;K&quot;'s.exe");
    EXPECT_EQ(RunValueData(L"C:\\A & B\\kalorix.exe"), L"\"C:\\A & B\\kalorix.exe\" --tray");
    const std::wstring tool = L"C:\\Windows\\system32\\schtasks.exe";
    EXPECT_EQ(TaskDeleteCommand(tool), L"\"C:\\Windows\\system32\\schtasks.exe\" /delete /tn \"Kalorix\" /f");
    EXPECT_EQ(TaskCreateCommand(tool, L"C:\\Temp\\kalorix-task.xml"),
              L"\"C:\\Windows\\system32\\schtasks.exe\" /create /tn \"Kalorix\" /xml \"C:\\Temp\\kalorix-task.xml\" /f");
    // The Startup apps page's record: an odd first byte is "off".
    EXPECT_TRUE(StartupApprovedDisabled(std::string("\x03\0\0\0", 4)));
    EXPECT_FALSE(StartupApprovedDisabled(std::string("\x02\0\0\0", 4)) || StartupApprovedDisabled(""));
}

TEST(Autostart, TaskDefinitionTextAndBytes) {
    const std::wstring xml = BuildTaskXml(L"S-1-5-21-1-2-3-1001", L"C:\\Program Files\\R&D\\kalorix.exe");
    // What the scheduler needs: the user, highest rights when allowed, the program escaped, no time limit.
    for (const wchar_t* part : {L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n",
                                L"<LogonTrigger><Enabled>true</Enabled><UserId>S-1-5-21-1-2-3-1001</UserId>",
                                L"<RunLevel>HighestAvailable</RunLevel>", L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
                                L"<Command>C:\\Program Files\\R&amp;D\\kalorix.exe</Command><Arguments>--tray</Arguments>"})
        EXPECT_NE(xml.find(part), std::wstring::npos) << part;
    EXPECT_EQ(TaskFileBytes(L"<a>ı\r\n"), std::string("\xFF\xFE<\0a\0>\0\x31\x01\r\0\n\0", 14));
}

}  // namespace
}  // namespace kalorix
