// The benchmark runner with the real child over a real pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "bench/disk_bench.h"
#include "bench/drives_win.h"
#include "bench/runner_win.h"

namespace kalorix {
namespace {

std::wstring ExeDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// Runs exe with the arguments and its output on a pipe; returns the output and the exit code.
std::string RunAndCapture(const std::wstring& exe, const std::wstring& args, DWORD* exitCode) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!CreatePipe(&r, &w, &sa, 0)) return {};
    SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = w;
    si.hStdError = w;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + exe + L"\" " + args;
    const BOOL ok = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &si, &pi);
    CloseHandle(w);
    std::string out;
    if (ok) {
        char buf[256];
        DWORD got = 0;
        while (ReadFile(r, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
        WaitForSingleObject(pi.hProcess, 10000);
        if (exitCode) GetExitCodeProcess(pi.hProcess, exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(r);
    return out;
}

// The child program: the test build of kalorix.exe next to this test (its hooks shorten the tests).
const std::wstring& ChildExe() {
    static const std::wstring exe = ExeDirectory() + L"kalorix-test.exe";
    return exe;
}

// A message-only window that counts the runner's change messages.
struct NotifyWindow {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ~NotifyWindow() { DestroyWindow(hwnd); }
    int drain() {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, hwnd, BenchRunner::kNotifyMessage, BenchRunner::kNotifyMessage, PM_REMOVE)) ++n;
        return n;
    }
};

struct TimeScale {
    explicit TimeScale(const wchar_t* v) { SetEnvironmentVariableW(L"KALORIX_BENCH_TIME_SCALE", v); }
    ~TimeScale() { SetEnvironmentVariableW(L"KALORIX_BENCH_TIME_SCALE", nullptr); }
};

template <typename Pred>
bool WaitFor(const BenchRunner& runner, Pred pred, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (pred(runner.Snapshot())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool ProcessGone(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return true;
    const bool gone = WaitForSingleObject(h, 5000) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

DWORD ActiveInJob(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr)) return 99;
    return info.ActiveProcesses;
}

TEST(BenchChildWin, UnknownKindAndExitCode) {
    DWORD code = 0;
    EXPECT_EQ(RunAndCapture(ChildExe(), L"--bench CPU", &code), "E Bilinmeyen test türü\n");
    EXPECT_EQ(code, 1u);
}

// Wine's HLSL compiler rejects the byte-address buffers of the test shaders:
// the GPU test must end with the compiler's message, without D, exit code 1.
// On Windows with a real adapter the run succeeds instead.
TEST(BenchChildWin, GpuTestEndsCleanly) {
    DWORD code = 0;
    const std::string out = RunAndCapture(ChildExe(), L"--bench gpu", &code);
    ASSERT_EQ(out.rfind("P 0.0000 Ekran kartı hazırlanıyor\n", 0), 0u) << out;
    if (out.find("\nD\n") != std::string::npos) {
        EXPECT_EQ(code, 0u);
        EXPECT_NE(out.find("M gpu.score "), std::string::npos);
        return;
    }
    EXPECT_EQ(code, 1u);
    const size_t e = out.find("\nE ");
    ASSERT_NE(e, std::string::npos) << out;
    EXPECT_EQ(out.find('\n', e + 1), out.size() - 1);  // the E line is the last one
    const std::string wine = "E Test programı derlenemedi. ";
    EXPECT_EQ(out.compare(e + 1, wine.size(), wine), 0) << out;
    EXPECT_NE(out.find("I gpu.name "), std::string::npos);
}

TEST(BenchRunnerWin, MemoryTestRunsToTheEnd) {
    TimeScale scale(L"0.05");
    NotifyWindow notify;
    BenchRunner runner;
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(notify.hwnd, BenchKind::Memory, 0));
    EXPECT_FALSE(runner.Start(notify.hwnd, BenchKind::Cpu, 0));  // one run at a time
    BenchState s = runner.Snapshot();
    EXPECT_TRUE(s.running);
    EXPECT_EQ(s.kind, BenchKind::Memory);
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 60));
    s = runner.Snapshot();
    EXPECT_TRUE(s.success) << std::string(s.error.begin(), s.error.end());
    EXPECT_TRUE(s.error.empty());
    EXPECT_FALSE(s.running);
    EXPECT_DOUBLE_EQ(s.progress, 1.0);
    EXPECT_EQ(s.phase, L"Tamamlandı");
    for (const char* key : {"memory.read_gbs", "memory.write_gbs", "memory.copy_gbs", "memory.latency_ns", "memory.score"}) {
        ASSERT_EQ(s.metrics.count(key), 1u) << key;
        EXPECT_GT(s.metrics[key], 0.0) << key;
    }
    EXPECT_GE(notify.drain(), 10);  // 8 P lines, metrics, D and the end of the stream
    EXPECT_TRUE(ProcessGone(runner.lastChildProcessId()));
}

TEST(BenchRunnerWin, CpuTestRunsToTheEnd) {
    TimeScale scale(L"0.05");
    BenchRunner runner;
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Cpu, 0));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 60));
    BenchState s = runner.Snapshot();
    EXPECT_TRUE(s.success);
    EXPECT_GE(s.metrics["cpu.threads"], 1.0);
    EXPECT_GE(s.metrics["cpu.st_score"], 1.0);
    EXPECT_EQ(s.metrics.count("cpu.mt.sha_mbs"), 1u);
    EXPECT_EQ(s.metrics.size(), 3u + 8u);
}

TEST(BenchRunnerWin, StopKillsTheChildAndTheRunEnds) {
    BenchRunner runner;  // real durations: the CPU test would take about 25 s
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Cpu, 0));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.phase != kPhaseStarting; }, 30));
    const DWORD pid = runner.lastChildProcessId();
    ASSERT_NE(pid, 0u);
    runner.Stop(kStopByUser);
    runner.Stop(L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");  // the first reason stays
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 15));
    const BenchState s = runner.Snapshot();
    EXPECT_FALSE(s.running);
    EXPECT_FALSE(s.success);
    EXPECT_EQ(s.error, L"Test durduruldu");
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_EQ(ActiveInJob(runner.jobHandle()), 0u);

    // The runner starts again after a stop; the stop reason does not carry over.
    TimeScale scale(L"0.05");
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Memory, 0));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 60));
    EXPECT_TRUE(runner.Snapshot().success);
}

TEST(BenchRunnerWin, DestroyingTheRunnerKillsARunningChild) {
    DWORD pid = 0;
    {
        BenchRunner runner;
        runner.setChildExecutable(ChildExe());
        ASSERT_TRUE(runner.Start(nullptr, BenchKind::Cpu, 0));
        ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.phase != kPhaseStarting; }, 30));
        pid = runner.lastChildProcessId();
    }
    EXPECT_TRUE(ProcessGone(pid));
}

TEST(BenchRunnerWin, ChildThatCannotStart) {
    BenchRunner runner;
    runner.setChildExecutable(ExeDirectory() + L"no-such-program.exe");
    EXPECT_FALSE(runner.Start(nullptr, BenchKind::Disk, L'C'));
    const BenchState s = runner.Snapshot();
    EXPECT_TRUE(s.finished);
    EXPECT_FALSE(s.running);
    EXPECT_EQ(s.kind, BenchKind::Disk);
    EXPECT_EQ(s.error, L"Test başlatılamadı");
}

TEST(BenchRunnerWin, DiskTestOnTheSystemDrive) {
    TimeScale scale(L"0.05");
    BenchRunner runner;
    runner.setChildExecutable(ChildExe());
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Disk, L'C'));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 90));
    BenchState s = runner.Snapshot();
    if (!s.success && s.error == L"Sürücüde yeterli boş alan yok (en az 1,3 GB gerekli).") {
        GTEST_SKIP() << "not enough free space for the disk test here";
    }
    EXPECT_TRUE(s.success) << std::string(s.error.begin(), s.error.end());
    EXPECT_EQ(s.info[std::string("disk.drive")], L"C:");
    EXPECT_GT(s.metrics["disk.seq_write_mbs"], 0.0);
    EXPECT_GT(s.metrics["disk.rnd_read_iops"], 0.0);
    EXPECT_EQ(s.metrics.size(), 7u);

    // An unknown drive letter is refused.
    ASSERT_TRUE(runner.Start(nullptr, BenchKind::Disk, L'7'));
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 30));
    EXPECT_EQ(runner.Snapshot().error, L"Geçersiz sürücü harfi.");
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
    if (runner.Snapshot().error == L"Sürücüde yeterli boş alan yok (en az 1,3 GB gerekli).") {
        GTEST_SKIP() << "not enough free space for the disk test here";
    }
    ASSERT_FALSE(runner.Snapshot().finished) << std::string(runner.Snapshot().error.begin(), runner.Snapshot().error.end());
    const DWORD pid = runner.lastChildProcessId();
    ASSERT_EQ(DiskTestFiles(pid).size(), 1u);  // the file exists while the phase runs
    runner.Stop(kStopByUser);
    ASSERT_TRUE(WaitFor(runner, [](const BenchState& st) { return st.finished; }, 15));
    ASSERT_TRUE(ProcessGone(pid));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!DiskTestFiles(pid).empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(DiskTestFiles(pid).empty());
}

TEST(BenchChildWin, DiskRefusesLettersThatAreNotLocalDisks) {
    // A letter with no drive behind it has no root directory: not a local disk.
    const DWORD present = GetLogicalDrives();
    wchar_t absent = 0;
    for (wchar_t l = L'Y'; l >= L'D' && !absent; --l) {
        if (!(present & (1u << (l - L'A')))) absent = l;
    }
    ASSERT_NE(absent, 0);
    DWORD code = 0;
    std::string out = RunAndCapture(ChildExe(), std::wstring(L"--bench disk ") + absent, &code);
    EXPECT_EQ(out, "E Bu sürücü test edilemez (yalnızca yerel diskler desteklenir).\n");
    EXPECT_EQ(code, 2u);
    out = RunAndCapture(ChildExe(), L"--bench disk 1", &code);
    EXPECT_EQ(out, "E Geçersiz sürücü harfi.\n");
    EXPECT_EQ(code, 2u);
}

TEST(BenchDrivesWin, OnlyFixedDrivesFromC) {
    for (wchar_t d : bench::ListTestDrives()) {
        EXPECT_GE(d, L'C');
        EXPECT_LE(d, L'Z');
        const wchar_t root[] = {d, L':', L'\\', 0};
        EXPECT_EQ(GetDriveTypeW(root), static_cast<UINT>(DRIVE_FIXED));
    }
}

}  // namespace
}  // namespace kalorix
