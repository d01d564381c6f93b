// The benchmark runner with the real child over a real pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "bench/disk_bench.h"
#include "bench/drives_win.h"
#include "base/scoped_win.h"
#include "bench/runner_win.h"
#include "sensors/text.h"
#include "test_util_win.h"

namespace kalorix {
namespace {

using test::ExeFolder;
using test::ScopedEnv;

// The child program: the test build of kalorix.exe next to this test (its hooks shorten the tests).
std::wstring ChildExe() { return (ExeFolder() / L"kalorix-test.exe").wstring(); }

// The runner's change messages posted to a message-only window.
int DrainNotifications(HWND hwnd) {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, BenchRunner::kNotifyMessage, BenchRunner::kNotifyMessage, PM_REMOVE)) ++n;
    return n;
}

struct TimeScale : ScopedEnv {
    TimeScale() : ScopedEnv(L"KALORIX_BENCH_TIME_SCALE", L"0.05") {}
};

bool WaitFor(const BenchRunner& runner, bool (*pred)(const BenchState&), int seconds) {
    return test::WaitUntil([&] { return pred(runner.Snapshot()); }, seconds * 1000);
}
bool Finished(const BenchState& s) { return s.finished; }
bool PastStart(const BenchState& s) { return s.phase != kPhaseStarting; }

bool ProcessGone(DWORD pid) {
    const UniqueHandle h(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return !h.valid() || WaitForSingleObject(h.get(), 5000) == WAIT_OBJECT_0;
}

DWORD ActiveInJob(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr)) return 99;
    return info.ActiveProcesses;
}

// Wine's HLSL compiler rejects the test shaders: the GPU test must end with one
// last E line and exit code 1 (with a real adapter it succeeds instead).
TEST(BenchChildWin, GpuTestEndsCleanly) {
    const test::ChildResult r = test::RunCaptured(ChildExe(), L"--bench gpu");
    const std::string& out = r.output;
    ASSERT_EQ(out.rfind("P 0.0000 Ekran kartı hazırlanıyor\n", 0), 0u) << out;
    if (out.find("\nD\n") != std::string::npos) { EXPECT_EQ(r.exitCode, 0u); return; }
    EXPECT_EQ(r.exitCode, 1u);
    const size_t e = out.find("\nE ");
    ASSERT_NE(e, std::string::npos) << out;
    EXPECT_EQ(out.find('\n', e + 1), out.size() - 1);
}

TEST(BenchRunnerWin, StopKillsTheChildAndTheRunEnds) {
    BenchRunner runner;  // real durations: the CPU test would take about 25 s
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Cpu, 0));
    ASSERT_TRUE(WaitFor(runner, PastStart, 30));
    const DWORD pid = runner.lastChildProcessId();
    runner.Stop(kStopByUser);
    runner.Stop(L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");  // the first reason stays
    ASSERT_TRUE(WaitFor(runner, Finished, 15));
    const BenchState stopped = runner.Snapshot();
    EXPECT_FALSE(stopped.success);
    EXPECT_EQ(WideToUtf8(stopped.error), "Test durduruldu");
    EXPECT_TRUE(ProcessGone(pid));
    // The job's count may trail the process handle's signal by a moment.
    EXPECT_TRUE(test::WaitUntil([&] { return ActiveInJob(runner.jobHandle()) == 0; }, 5000))
        << ActiveInJob(runner.jobHandle());

    // The runner starts again after a stop (the stop reason does not carry over)
    // and runs to the end, one run at a time.
    TimeScale scale;
    test::MessageWindow notify;
    ASSERT_TRUE(runner.Start(notify.get(), BenchKind::Memory, 0));
    EXPECT_FALSE(runner.Start(notify.get(), BenchKind::Cpu, 0));
    ASSERT_TRUE(WaitFor(runner, Finished, 60));
    const BenchState again = runner.Snapshot();
    EXPECT_TRUE(again.success) << WideToUtf8(again.error);
    EXPECT_GT(again.metrics.at("memory.score"), 0.0);  // the child's M lines crossed the pipe
    EXPECT_GE(DrainNotifications(notify.get()), 10);   // 8 P lines, metrics, D and the end of the stream
    EXPECT_TRUE(ProcessGone(runner.lastChildProcessId()));
}

TEST(BenchRunnerWin, DestroyingTheRunnerKillsARunningChildAndAMissingChildEndsTheRun) {
    DWORD pid = 0;
    {
        BenchRunner runner;
        runner.setChildExecutable(ChildExe());
        ASSERT_TRUE(runner.Start(nullptr, BenchKind::Cpu, 0));
        ASSERT_TRUE(WaitFor(runner, PastStart, 30));
        pid = runner.lastChildProcessId();
    }
    EXPECT_TRUE(ProcessGone(pid));
    // A child that cannot start ends the run at once, with a reason.
    BenchRunner runner;
    runner.setChildExecutable((ExeFolder() / L"no-such-program.exe").wstring());
    EXPECT_FALSE(runner.Start(nullptr, BenchKind::Disk, L'C'));
    EXPECT_TRUE(runner.Snapshot().finished && !runner.Snapshot().error.empty());
}

// The only full run of the disk test's real file I/O; the drives it offers are fixed ones from C.
TEST(BenchRunnerWin, DiskTestOnTheSystemDrive) {
    for (wchar_t d : bench::ListTestDrives()) {
        const wchar_t root[] = {d, L':', L'\\', 0};
        EXPECT_TRUE(d >= L'C' && GetDriveTypeW(root) == DRIVE_FIXED) << char(d);
    }
    TimeScale scale;
    BenchRunner runner;
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Disk, L'C'));
    ASSERT_TRUE(WaitFor(runner, Finished, 90));
    const BenchState s = runner.Snapshot();
    if (s.error == L"Sürücüde yeterli boş alan yok (en az 1,3 GB gerekli).") GTEST_SKIP() << "not enough free space";
    EXPECT_TRUE(s.success) << WideToUtf8(s.error);
    EXPECT_GT(s.metrics.at("disk.seq_write_mbs"), 0.0);
    EXPECT_GT(s.metrics.at("disk.rnd_read_iops"), 0.0);
}

// The disk test's files of one child: "Kalorix-test-PID-*.tmp" where the child puts them on C:.
std::vector<std::wstring> DiskTestFiles(DWORD pid) {
    wchar_t windows[MAX_PATH + 1] = {}, temp[MAX_PATH + 2] = {};
    GetWindowsDirectoryW(windows, MAX_PATH + 1);
    GetTempPathW(MAX_PATH + 2, temp);
    const std::wstring dir = bench::DiskTestDirectory(L'C', windows, temp);
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((dir + L"Kalorix-test-" + std::to_wstring(pid) + L"-*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(dir + data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

TEST(BenchRunnerWin, DiskFileGoneAfterTheChildIsKilledMidPhase) {
    BenchRunner runner;  // real durations: each phase lasts seconds
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Disk, L'C'));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.phase == L"Sıralı okuma" || st.finished; }, 60));
    if (runner.Snapshot().error == L"Sürücüde yeterli boş alan yok (en az 1,3 GB gerekli).")
        GTEST_SKIP() << "not enough free space for the disk test here";
    ASSERT_FALSE(runner.Snapshot().finished) << WideToUtf8(runner.Snapshot().error);
    const DWORD pid = runner.lastChildProcessId();
    ASSERT_EQ(DiskTestFiles(pid).size(), 1u);  // the file exists while the phase runs
    runner.Stop(kStopByUser);
    ASSERT_TRUE(WaitFor(runner, Finished, 15));
    ASSERT_TRUE(ProcessGone(pid));
    EXPECT_TRUE(test::WaitUntil([&] { return DiskTestFiles(pid).empty(); }, 10000));
}

// Bad arguments end the child with one E line and a non-zero code. A letter
// with no drive behind it has no root directory: not a local disk.
TEST(BenchChildWin, BadArgumentsEndWithOneErrorLine) {
    wchar_t absent = 0;
    for (wchar_t l = L'Y'; l >= L'D' && !absent; --l)
        if (!(GetLogicalDrives() & (1u << (l - L'A')))) absent = l;
    ASSERT_NE(absent, 0);
    const struct { std::wstring args; const char* out; DWORD code; } cases[] = {  // an unknown kind: ProcessStart
        {std::wstring(L"--bench disk ") + absent, "E Bu sürücü test edilemez (yalnızca yerel diskler desteklenir).\n", 2},
        {L"--bench disk 1", "E Geçersiz sürücü harfi.\n", 2}};
    for (const auto& c : cases) {
        const test::ChildResult r = test::RunCaptured(ChildExe(), c.args);
        EXPECT_EQ(r.output, c.out);
        EXPECT_EQ(r.exitCode, c.code);
    }
}

}  // namespace
}  // namespace kalorix
