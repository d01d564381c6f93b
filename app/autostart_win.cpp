#include "app/autostart_win.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "app/autostart.h"
#include "app/elevation_win.h"
#include "app/registry_win.h"
#include "app/winrt_win.h"
#include "store/file_util.h"

namespace kalorix {

namespace {

// Windows.ApplicationModel.StartupTask at the binary interface.
constexpr GUID kIidStartupTaskStatics = {0xEE5B60BD, 0xA148, 0x41A7, {0xB2, 0x6E, 0xE8, 0xB8, 0x8A, 0x1E, 0x62, 0xF8}};

struct IStartupTaskAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RequestEnableAsync(IInspectable** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disable() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_State(INT32* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TaskId(HSTRING* id) = 0;
};

struct IStartupTaskStaticsAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetForCurrentPackageAsync(IInspectable** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IInspectable** operation) = 0;
};

constexpr INT32 kStateEnabled = 2;
constexpr INT32 kStateEnabledByPolicy = 4;

bool IsEnabledState(INT32 s) { return s == kStateEnabled || s == kStateEnabledByPolicy; }

// Runs fn(task) for the package's startup task on a thread of the multithreaded
// apartment (the window thread is single-threaded); false on any failure.
template <class Fn>
bool WithStartupTask(Fn fn) {
    bool result = false;
    std::thread worker([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        if (auto* statics = static_cast<IStartupTaskStaticsAbi*>(
                GetRuntimeFactory(L"Windows.ApplicationModel.StartupTask", kIidStartupTaskStatics))) {
            RuntimeString id(kPackageStartupTaskId);
            IInspectable* op = nullptr;
            if (id.ok() && SUCCEEDED(statics->GetAsync(id.get(), &op)) && op) {
                IStartupTaskAbi* task = nullptr;
                if (WaitRuntimeOperation(op, &task) && task) {
                    result = fn(task);
                    task->Release();
                }
                op->Release();
            }
            statics->Release();
        }
        CoUninitialize();
    });
    worker.join();
    return result;
}

bool PackagedIsEnabled() {
    return WithStartupTask([](IStartupTaskAbi* task) {
        INT32 state = 0;
        return SUCCEEDED(task->get_State(&state)) && IsEnabledState(state);
    });
}

bool PackagedSet(bool enable) {
    return WithStartupTask([enable](IStartupTaskAbi* task) {
        if (!enable) return SUCCEEDED(task->Disable());
        IInspectable* op = nullptr;
        if (FAILED(task->RequestEnableAsync(&op)) || !op) return false;
        INT32 state = 0;
        const bool ok = WaitRuntimeOperation(op, &state) && IsEnabledState(state);
        op->Release();
        return ok;
    });
}

bool RunValueExists() { return RegReadString(HKEY_CURRENT_USER, kRunKey, kRunValueName).has_value(); }

std::wstring TempTaskFile() {
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) return {};
    return std::wstring(buf, n) + kTaskFileName;
}

}  // namespace

int RunHidden(const std::wstring& commandLine) {
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 15000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);  // STILL_ACTIVE (259) counts as failure
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    alignas(8) BYTE buffer[256];
    DWORD size = 0;
    std::wstring out;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size)) {
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
            out = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return out;
}

bool IsAutostartEnabled() {
    if (IsPackagedApp()) return PackagedIsEnabled();
    if (RunValueExists()) return true;
    return RunHidden(TaskQueryCommand()) == 0;
}

bool SetAutostart(bool enable, bool useTask) {
    if (IsPackagedApp()) return PackagedSet(enable);

    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName);  // a missing value is no error
    if (RunHidden(TaskQueryCommand()) == 0) RunHidden(TaskDeleteCommand());
    if (!enable) return true;

    const std::wstring path = OwnProgramPath();
    if (path.empty()) return false;
    if (!useTask) {
        const std::wstring data = RunValueData(path);
        return RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, data.c_str(),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    const std::wstring file = TempTaskFile();
    if (file.empty()) return false;
    const std::string bytes = TaskFileBytes(BuildTaskXml(CurrentUserSid(), path));
    if (!AtomicWriteFile(std::filesystem::path(file), bytes, false)) return false;
    const int code = RunHidden(TaskCreateCommand(file));
    DeleteFileW(file.c_str());
    return code == 0;
}

}  // namespace kalorix
