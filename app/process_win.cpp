#include "app/process_win.h"

#include <hstring.h>
#include <inspectable.h>
#include <objbase.h>

#include <thread>

#include "app/command_line.h"
#include "base/log.h"
#include "base/log_win.h"
#include "base/scoped_win.h"
#include "app/elevation_win.h"
#include "app/probe_win.h"
#include "app/winrt_win.h"
#include "bench/child_win.h"
#include "sensors/text.h"
#include "store/settings.h"
#include "telemetry/telemetry_client_win.h"
#include "ui/main_window_win.h"

namespace kalorix {

namespace {

constexpr wchar_t kShowEventName[] = L"Local\\Kalorix.Native.Show";

// Windows.ApplicationModel.AppInstance statics and the activation arguments,
// declared at the binary interface so no projection headers are needed.
constexpr GUID kIidAppInstanceStatics = {
    0x9D11E77F, 0x9EA6, 0x47AF, {0xA6, 0xEC, 0x46, 0x78, 0x4C, 0x5B, 0xA2, 0x54}};
constexpr INT32 kActivationKindStartupTask = 1020;

struct IActivatedEventArgsAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Kind(INT32* kind) = 0;
};

struct IAppInstanceStaticsAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_RecommendedInstance(IInspectable** instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetActivatedEventArgs(IActivatedEventArgsAbi** args) = 0;
};

// The query itself; runs on its own thread inside the multithreaded apartment.
bool AskActivationKind() {
    const auto statics = ComPtr<IAppInstanceStaticsAbi>::Adopt(static_cast<IAppInstanceStaticsAbi*>(
        GetRuntimeFactory(L"Windows.ApplicationModel.AppInstance", kIidAppInstanceStatics)));
    if (!statics) return false;
    ComPtr<IActivatedEventArgsAbi> args;
    INT32 kind = 0;
    return SUCCEEDED(statics->GetActivatedEventArgs(args.put())) && args && SUCCEEDED(args->get_Kind(&kind)) &&
           kind == kActivationKindStartupTask;
}

// A second start asks the running monitor to show its window.
void SignalRunningInstance() {
    const UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, kShowEventName));
    if (!event) return;
    // This process was just started by the user and may take the foreground;
    // it hands that right on, so the running monitor's window can come forward.
    AllowSetForegroundWindow(ASFW_ANY);
    SetEvent(event.get());
}

// Per-monitor DPI awareness (v2). Looked up at run time: systems before
// Windows 10 1703 lack the function, and then the manifest's setting stays.
void SetPerMonitorDpiAwareness() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    const auto fn = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (fn) fn(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // PER_MONITOR_AWARE_V2
}

int RunMessageLoop() {
    MSG msg;
    // GetMessageW returns -1 on an invalid call; that ends the loop as well.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

bool QueryLaunchedByStartupTask() {
    bool result = false;
    std::thread query([&result] {
        const ComApartment apartment(COINIT_MULTITHREADED);
        if (apartment.ok()) result = AskActivationKind();
    });
    query.join();
    return result;
}

int RunProcess(HINSTANCE instance, const std::wstring& commandLine) {
    // 1. Benchmark child: nothing of the monitor runs in that mode.
    if (HasFlag(commandLine, kBenchFlag)) return RunBenchChild(commandLine);
    // Diagnostic console mode: what the real providers report on this machine.
    if (HasFlag(commandLine, L"--probe")) return RunProbe(commandLine);

    StartFileLog();
    Log(LogLevel::Info, "process", "monitor starting, version " + WideToUtf8(AppVersionText()));

    // 2-3. Tray mode: asked for, or started by the package's startup task.
    const bool launchedByStartupTask = IsPackagedApp() && QueryLaunchedByStartupTask();
    const StartupFlags flags = ReadStartupFlags(commandLine, launchedByStartupTask);

    // 4-5. One monitor per logon; a second start only asks the first to show.
    if (!AcquireSingleInstance()) {
        if (!flags.tray) SignalRunningInstance();
        return 0;
    }

    // 6. Advanced sensors need elevation: restart elevated once.
    const Settings settings = LoadSettings();
    if (ShouldRelaunchAtStart(settings.AdvancedSensors, IsProcessElevated(), flags.relaunch, launchedByStartupTask)) {
        if (RelaunchElevated(flags.tray ? std::wstring(kTrayFlag) : std::wstring())) return 0;
    }

    // 7-8.
    const ComApartment apartment(COINIT_APARTMENTTHREADED);
    if (!apartment.ok()) LogHResult("process", "CoInitializeEx", apartment.result());
    SetPerMonitorDpiAwareness();

    // 9-12. The window object is gone before COM is left (the apartment above is
    // destroyed last), so whatever COM interfaces it still holds are released
    // inside the apartment.
    int exitCode = 0;
    {
        MainWindow window(instance);
        if (window.create(flags.tray)) {
            exitCode = RunMessageLoop();
        } else {
            Log(LogLevel::Error, "process", "the main window could not be created");
            exitCode = 1;
        }
        ReleaseSingleInstance();
    }
    return exitCode;
}

}  // namespace kalorix
