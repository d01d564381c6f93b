#include "app/autostart_win.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>

#include <string>
#include <thread>
#include <vector>

#include "app/autostart.h"
#include "app/elevation_win.h"
#include "app/registry_win.h"
#include "app/winrt_win.h"
#include "base/log.h"
#include "base/scoped_win.h"
#include "sensors/text.h"

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
        const ComApartment apartment(COINIT_MULTITHREADED);
        if (!apartment.ok()) return;
        const auto statics = ComPtr<IStartupTaskStaticsAbi>::Adopt(static_cast<IStartupTaskStaticsAbi*>(
            GetRuntimeFactory(L"Windows.ApplicationModel.StartupTask", kIidStartupTaskStatics)));
        RuntimeString id(kPackageStartupTaskId);
        ComPtr<IInspectable> op;
        if (!statics || !id.ok() || FAILED(statics->GetAsync(id.get(), op.put())) || !op) return;
        IStartupTaskAbi* raw = nullptr;
        if (!WaitRuntimeOperation(op.get(), &raw) || !raw) return;
        const auto task = ComPtr<IStartupTaskAbi>::Adopt(raw);
        result = fn(task.get());
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
        ComPtr<IInspectable> op;
        if (FAILED(task->RequestEnableAsync(op.put())) || !op) return false;
        INT32 state = 0;
        return WaitRuntimeOperation(op.get(), &state) && IsEnabledState(state);
    });
}

bool RunValueExists() { return RegReadString(HKEY_CURRENT_USER, kRunKey, kRunValueName).has_value(); }

// The Startup apps page's record of the Run value; empty when there is none.
std::string StartupApprovedRecord() {
    BYTE data[64] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, kStartupApprovedKey, kRunValueName, RRF_RT_REG_BINARY, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Deletes a value; a missing value (or key) is no error.
bool DeleteValue(const wchar_t* key, const wchar_t* name) {
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return true;
    LogWin32Error("autostart", "RegDeleteKeyValueW", static_cast<unsigned long>(status));
    return false;
}

bool TaskExists(const AutostartPlatform& p) { return RunHidden(p.schtasks, TaskQueryCommand(p.schtasks)) == 0; }

// The task definition written for schtasks and held open while it reads it: the
// file is created new (never through a name someone left there), then reopened
// for reading with neither write nor delete sharing and checked against what was
// written, so nothing can change it between the write and the read.
class PinnedTaskFile {
public:
    PinnedTaskFile(std::wstring path, const std::string& bytes) : path_(std::move(path)) {
        DeleteFileW(path_.c_str());
        {
            UniqueHandle write(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_TEMPORARY, nullptr));
            DWORD written = 0;
            if (!write || !WriteFile(write.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                written != bytes.size() || !FlushFileBuffers(write.get())) {
                LogWin32Error("autostart", "writing the task definition", GetLastError());
                return;
            }
        }
        read_.reset(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!read_) {
            LogWin32Error("autostart", "reopening the task definition", GetLastError());
            return;
        }
        std::string back(bytes.size() + 1, '\0');
        DWORD got = 0;
        if (!ReadFile(read_.get(), back.data(), static_cast<DWORD>(back.size()), &got, nullptr) || got != bytes.size() ||
            back.compare(0, got, bytes) != 0) {
            Log(LogLevel::Error, "autostart", "the task definition changed after it was written");
            read_.reset();
        }
    }
    ~PinnedTaskFile() {
        read_.reset();
        DeleteFileW(path_.c_str());
    }
    PinnedTaskFile(const PinnedTaskFile&) = delete;
    PinnedTaskFile& operator=(const PinnedTaskFile&) = delete;
    bool ok() const { return read_.valid(); }

private:
    std::wstring path_;
    UniqueHandle read_;
};

bool RegisterTask(const AutostartPlatform& p, const std::wstring& programPath) {
    if (p.taskFolder.empty()) return false;
    PinnedTaskFile file(p.taskFolder + kTaskFileName, TaskFileBytes(BuildTaskXml(CurrentUserSid(), programPath)));
    if (!file.ok()) return false;
    const int code = RunHidden(p.schtasks, TaskCreateCommand(p.schtasks, p.taskFolder + kTaskFileName));
    if (code != 0) Log(LogLevel::Error, "autostart", "schtasks /create ended with " + std::to_string(code));
    return code == 0;
}

bool WriteRunValue(const std::wstring& programPath) {
    const std::wstring data = RunValueData(programPath);
    const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValueName, REG_SZ, data.c_str(),
                                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) LogWin32Error("autostart", "RegSetKeyValueW Run", static_cast<unsigned long>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace

AutostartPlatform SystemAutostartPlatform() {
    AutostartPlatform p;
    wchar_t system[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (n > 0 && n <= MAX_PATH) p.schtasks = std::wstring(system, n) + L"\\schtasks.exe";
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD t = GetTempPathW(MAX_PATH + 1, temp);
    if (t > 0 && t <= MAX_PATH) p.taskFolder.assign(temp, t);
    return p;
}

int RunHidden(const std::wstring& program, const std::wstring& commandLine) {
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (program.empty() || !CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                           nullptr, nullptr, &si, &pi)) {
        LogWin32Error("autostart", "CreateProcessW " + WideToUtf8(program), GetLastError());
        return -1;
    }
    const UniqueHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), 15000);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);  // STILL_ACTIVE (259) counts as failure
    return static_cast<int>(code);
}

std::wstring CurrentUserSid() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    alignas(8) BYTE buffer[256];
    DWORD size = 0;
    std::wstring out;
    if (GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) {
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
            out = text;
            LocalFree(text);
        }
    }
    return out;
}

bool IsAutostartEnabled(const AutostartPlatform& platform) {
    if (IsPackagedApp()) return PackagedIsEnabled();
    if (RunValueExists()) return !StartupApprovedDisabled(StartupApprovedRecord());
    return TaskExists(platform);
}

bool SetAutostart(bool enable, bool useTask, const AutostartPlatform& platform) {
    if (IsPackagedApp()) return PackagedSet(enable);

    // The other mechanism (and a disabled mark of the Startup apps page) goes first.
    if (!DeleteValue(kRunKey, kRunValueName) || !DeleteValue(kStartupApprovedKey, kRunValueName)) return false;
    if (TaskExists(platform)) {
        const int code = RunHidden(platform.schtasks, TaskDeleteCommand(platform.schtasks));
        if (code != 0) {
            Log(LogLevel::Error, "autostart", "schtasks /delete ended with " + std::to_string(code));
            return false;
        }
    }
    if (!enable) return true;

    const std::wstring path = OwnProgramPath();
    if (path.empty()) return false;
    return useTask ? RegisterTask(platform, path) : WriteRunValue(path);
}

}  // namespace kalorix
