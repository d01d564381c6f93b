// CPU use of the monitor itself under this machine's Windows (or Wine): the
// test build of kalorix.exe with the scripted demo sensors at the 1 s interval,
// shown on the Overview and then hidden in the tray, 60 s each, in one run.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "base/scoped_win.h"
#include "store/file_util.h"
#include "store/settings.h"

namespace {

namespace fs = std::filesystem;

fs::path Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / name;
}

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// Starts the monitor, lets it settle for 10 s, then measures 60 s of CPU time.
std::optional<double> MeasureShare(const fs::path& exe, const wchar_t* arguments) {
    std::wstring command = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    kalorix::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    Sleep(10000);
    const double before = CpuSeconds(process.get());
    const ULONGLONG t0 = GetTickCount64();
    Sleep(60000);
    const double after = CpuSeconds(process.get());
    const double wall = static_cast<double>(GetTickCount64() - t0) / 1000.0;
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
    if (before < 0 || after < 0) return std::nullopt;
    return 100.0 * (after - before) / wall;
}

}  // namespace

int main() {
    const fs::path exe = Beside(L"kalorix-test.exe");
    if (!fs::exists(exe)) {
        std::printf("kalorix-test.exe not found beside this program\n");
        return 1;
    }
    SetEnvironmentVariableW(L"KALORIX_FAKE_SENSORS", L"demo");
    // A known profile for the run: 1 s interval, no prompt, no sharing; put back afterwards.
    const fs::path settings = kalorix::SettingsPath(true);
    const std::optional<std::string> old = kalorix::ReadFileBytes(settings);
    kalorix::AtomicWriteFile(settings,
                             "{\n  \"UpdateIntervalMs\": 1000,\n  \"ShareData\": false,\n"
                             "  \"TrayNotifications\": false,\n  \"FirstTestOffered\": true\n}\n");
    const std::optional<double> shown = MeasureShare(exe, L"");
    const std::optional<double> hidden = MeasureShare(exe, L"--tray");
    if (old) kalorix::AtomicWriteFile(settings, *old);
    else DeleteFileW(settings.c_str());

    std::printf("Monitor CPU use over 60 s at the 1 s interval (demo sensors), %% of one core:\n");
    std::printf("  window shown on the Overview: %s (goal < 15 %%)\n",
                shown ? (std::to_string(*shown).substr(0, 5) + " %").c_str() : "not measured");
    std::printf("  hidden in the tray:           %s\n",
                hidden ? (std::to_string(*hidden).substr(0, 5) + " %").c_str() : "not measured");
    if (shown && hidden && *hidden > 0) std::printf("  shown / hidden: %.1f x\n", *shown / *hidden);
    return shown && hidden ? 0 : 1;
}
