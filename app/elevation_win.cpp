#include "app/elevation_win.h"

#include <sddl.h>
#include <shellapi.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "app/command_line.h"
#include "base/log.h"
#include "base/scoped_win.h"

namespace kalorix {

namespace {

constexpr wchar_t kMutexName[] = L"Local\\Kalorix.Native.SingleInstance";
constexpr wchar_t kShowEventName[] = L"Local\\Kalorix.Native.Show";
constexpr wchar_t kShowMessageName[] = L"Kalorix.Native.Show";
// Generic-all for Everyone, so an instance started elevated and one started
// normally in the same logon can open each other's objects.
constexpr wchar_t kObjectSddl[] = L"D:(A;;GA;;;WD)";

// Process-wide state of the guard. The mutex, event and wait handles are
// touched by the main thread only; the target window and message id are also
// read by the thread-pool callback.
UniqueHandle g_mutex;
UniqueHandle g_showEvent;
HANDLE g_showWait = nullptr;  // a thread-pool wait: ended with UnregisterWaitEx, not closed
std::atomic<HWND> g_target{nullptr};
std::atomic<UINT> g_showMessage{0};

// Non-inheritable security attributes from the SDDL above; the descriptor is
// freed when this goes out of scope, right after the create call.
class ObjectSecurity {
public:
    ObjectSecurity() {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kObjectSddl, SDDL_REVISION_1, &descriptor_,
                                                                 nullptr)) {
            attributes_.nLength = sizeof(attributes_);
            attributes_.lpSecurityDescriptor = descriptor_;
            attributes_.bInheritHandle = FALSE;
        } else {
            descriptor_ = nullptr;
        }
    }
    ~ObjectSecurity() {
        if (descriptor_) LocalFree(descriptor_);
    }
    ObjectSecurity(const ObjectSecurity&) = delete;
    ObjectSecurity& operator=(const ObjectSecurity&) = delete;

    // Null (default security) when the descriptor could not be built.
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

void CALLBACK OnShowSignal(PVOID, BOOLEAN) {
    // Runs on a thread-pool thread: only post, the window does the rest.
    const HWND target = g_target.load();
    if (target) PostMessageW(target, g_showMessage.load(), 0, 0);
}

}  // namespace

// Full path of this executable, not cut at MAX_PATH.
std::wstring OwnProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

namespace {
using GetCurrentPackageFullNameFn = LONG(WINAPI*)(UINT32*, PWSTR);
}  // namespace

bool IsProcessElevated() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size);
    return ok && elevation.TokenIsElevated != 0;
}

bool IsPackagedApp() {
    static std::once_flag once;
    static bool packaged = false;
    std::call_once(once, [] {
        // Looked up at run time: older systems (and Wine) may not export it.
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (!kernel) return;
        const auto fn = reinterpret_cast<GetCurrentPackageFullNameFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetCurrentPackageFullName")));
        if (!fn) return;
        UINT32 length = 0;
        packaged = fn(&length, nullptr) == ERROR_INSUFFICIENT_BUFFER;
    });
    return packaged;
}

UINT ShowMessageId() {
    static const UINT id = RegisterWindowMessageW(kShowMessageName);
    return id;
}

bool AcquireSingleInstance() {
    if (g_mutex) return true;
    UniqueHandle mutex;
    DWORD error = 0;
    {
        ObjectSecurity security;
        mutex.reset(CreateMutexW(security.get(), TRUE, kMutexName));
        error = GetLastError();
    }
    if (!mutex) {
        // Access denied: the mutex exists and belongs to a running monitor.
        // Any other failure: run unguarded rather than not at all.
        if (error != ERROR_ACCESS_DENIED) LogWin32Error("process", "CreateMutexW", error);
        return error != ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_ALREADY_EXISTS) return false;
    g_mutex = std::move(mutex);
    return true;
}

void ReleaseSingleInstance() {
    if (g_showWait) {
        // Waits for a callback that is running right now.
        UnregisterWaitEx(g_showWait, INVALID_HANDLE_VALUE);
        g_showWait = nullptr;
    }
    g_target.store(nullptr);
    g_showMessage.store(0);
    g_showEvent.reset();
    if (g_mutex) {
        ReleaseMutex(g_mutex.get());
        g_mutex.reset();
    }
}

void RegisterShowSignal(HWND window, UINT messageId) {
    // Written before the wait exists, cleared only after it is gone.
    g_showMessage.store(messageId);
    g_target.store(window);
    // Registering twice would post every show request twice.
    if (g_showWait) return;
    if (!g_showEvent) {
        ObjectSecurity security;
        g_showEvent.reset(CreateEventW(security.get(), FALSE, FALSE, kShowEventName));
    }
    if (!g_showEvent) {
        LogWin32Error("process", "CreateEventW show signal", GetLastError());
        return;
    }
    HANDLE wait = nullptr;
    if (RegisterWaitForSingleObject(&wait, g_showEvent.get(), OnShowSignal, nullptr, INFINITE, WT_EXECUTEDEFAULT))
        g_showWait = wait;
    else
        LogWin32Error("process", "RegisterWaitForSingleObject", GetLastError());
}

bool RelaunchElevated(const std::wstring& extraArguments) {
    const std::wstring path = OwnProgramPath();
    if (path.empty()) return false;
    const std::wstring parameters = RelaunchParameters(extraArguments);

    // The new process must be able to take the mutex and the show event.
    ReleaseSingleInstance();

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return true;

    // Declined or failed: go on as before, still guarded.
    LogWin32Error("process", "ShellExecuteExW runas", GetLastError());
    AcquireSingleInstance();
    return false;
}

}  // namespace kalorix
