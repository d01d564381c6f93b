// The test build's hooks, from environment variables the test harness sets:
//   KALORIX_FAKE_SENSORS      scripted provider scenario ("demo", "idle", "hot")
//   KALORIX_FAKE_CLOCK        sampling clock factor with scripted sensors (e.g. 20)
//   KALORIX_BENCH_TIME_SCALE  benchmark durations and pauses times this, (0, 1]
//   KALORIX_FRAME_REPORT      file rewritten after every paint with the frame report
//   KALORIX_SENSOR_LOG_ECHO   file each sensor log row is also recorded in (tests/tools/sensor_log_check.py)
// Linked into kalorix-test.exe and the Windows test programs, never kalorix.exe.
#include "app/test_hooks_win.h"

#include <windows.h>

#include <cstdlib>

#include "base/scoped_win.h"
#include "bench/clock.h"
#include "sensors/fake_providers.h"
#include "sensors/text.h"
#include "store/file_util.h"

namespace kalorix {

namespace {

std::wstring EnvValue(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    if (got == 0 || got >= n) return {};
    value.resize(got);
    return value;
}

}  // namespace

TestHooks ActiveTestHooks() {
    TestHooks hooks;
    const std::string scenario = WideToUtf8(EnvValue(L"KALORIX_FAKE_SENSORS"));
    if (!scenario.empty()) {
        hooks.fakeProviders = [scenario] { return MakeFakeProviders(scenario); };
        const double factor = std::atof(WideToUtf8(EnvValue(L"KALORIX_FAKE_CLOCK")).c_str());
        if (factor > 0.0) hooks.clockFactor = factor;
    }
    hooks.benchTimeScale = bench::ParseTimeScale(WideToUtf8(EnvValue(L"KALORIX_BENCH_TIME_SCALE")).c_str());
    const std::wstring reportPath = EnvValue(L"KALORIX_FRAME_REPORT");
    if (!reportPath.empty()) {
        hooks.frameReport = [reportPath](const std::string& report) {
            AtomicWriteFile(std::filesystem::path(reportPath), report, false);
        };
    }
    const std::wstring echoPath = EnvValue(L"KALORIX_SENSOR_LOG_ECHO");
    if (!echoPath.empty()) {
        hooks.sensorLogEcho = [echoPath](const std::string& line) {
            UniqueHandle file(CreateFileW(echoPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (file) WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        };
    }
    return hooks;
}

}  // namespace kalorix
