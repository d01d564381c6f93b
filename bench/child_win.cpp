#include "bench/child_win.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "app/test_hooks_win.h"
#include "bench/clock.h"
#include "bench/cpu_bench.h"
#include "bench/disk_bench_win.h"
#include "bench/gpu_bench_win.h"
#include "bench/memory_bench_win.h"
#include "bench/protocol.h"

namespace kalorix {

namespace {

// The test build may shorten every duration and pause (the figures are then
// meaningless); the product always measures at full length.
bench::SteadyClock MakeClock() { return bench::SteadyClock(ActiveTestHooks().benchTimeScale); }

}  // namespace

int RunBenchChild(const std::wstring& commandLine) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return 2;
    bench::Reporter reporter([out](std::string_view line) {
        DWORD written = 0;
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    });

    wchar_t kind[16] = {};
    wchar_t arg[8] = {};
    const size_t at = commandLine.find(L"--bench");
    if (at != std::wstring::npos) {
        const std::wstring rest = commandLine.substr(at + 7);
        swscanf(rest.c_str(), L"%15ls %7ls", kind, arg);
    }
    const std::wstring word = kind;
    bench::SteadyClock clock = MakeClock();

    if (word == L"cpu") {
        const bench::CpuResult result = bench::RunCpu(reporter, clock);
        bench::ReportCpuResult(reporter, result);
        return 0;
    }
    if (word == L"gpu") return bench::RunGpu(reporter, clock);
    if (word == L"memory") {
        bench::WinMemoryPlatform platform;
        return bench::RunMemory(reporter, platform, clock, bench::HardwareThreads());
    }
    if (word == L"disk") {
        wchar_t letter = arg[0];
        if (letter == 0) {
            wchar_t windows[MAX_PATH + 1] = {};
            if (GetWindowsDirectoryW(windows, MAX_PATH + 1)) letter = windows[0];
        }
        if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - 32);
        return bench::RunDisk(reporter, letter, clock);
    }
    reporter.Error(kErrorUnknownKind);
    return 1;
}

}  // namespace kalorix
