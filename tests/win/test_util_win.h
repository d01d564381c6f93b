// Helpers shared by the Windows tests: where the tests run, scoped changes to the
// environment and to files, bounded waits and a child process with its output.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/scoped_win.h"
#include "store/file_util.h"

namespace kalorix::test {

inline bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The folder of the test executable (kalorix.exe, kalorix-test.exe and the helpers are built there).
inline std::filesystem::path ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

// Sets (or with null removes) an environment variable and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
        std::vector<wchar_t> buffer(32768);
        const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n > 0 && n < buffer.size()) old_ = std::wstring(buffer.data(), n);
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

// A fresh folder under %TEMP%, removed with what it holds.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name = L"kalorix-test") {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                (name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
        std::filesystem::create_directories(path_, ec_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_, ec_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::error_code ec_;
};

// Keeps the bytes of some files and puts them back (or removes what was not there); with `clear`, the test starts without them.
class SavedFiles {
public:
    SavedFiles(std::vector<std::filesystem::path> files, bool clear) {
        for (auto& f : files) {
            saved_.emplace_back(f, ReadFileBytes(f));
            if (clear) std::filesystem::remove(f, ec_);
        }
    }
    ~SavedFiles() {
        for (const auto& [path, bytes] : saved_)
            if (!bytes) std::filesystem::remove(path, ec_);
            else AtomicWriteFile(path, *bytes);
    }

private:
    std::vector<std::pair<std::filesystem::path, std::optional<std::string>>> saved_;
    std::error_code ec_;
};

// Checks the condition until it holds or the time is up; with `pump`, dispatches this thread's
// messages meanwhile, one at a time (a window with a paint always pending cannot hold it off).
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs, bool pump = false) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        if (pump) {
            MSG msg;
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                continue;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return true;
}

struct ChildResult {
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;  // standard output and error
};

// Starts exe with the arguments and its output on a pipe, reading it while
// waiting (bounded) for the child to exit; a child that does not end is terminated.
inline ChildResult RunCaptured(const std::wstring& exe, const std::wstring& arguments) {
    ChildResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    auto drain = [&] {
        char chunk[512];
        DWORD available = 0, got = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
            result.output.append(chunk, got);
    };
    const ULONGLONG end = GetTickCount64() + 60000;
    while (started && !result.finished && GetTickCount64() < end) {
        drain();
        result.finished = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
    }
    if (started) {
        drain();
        if (!result.finished) TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread), CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return result;
}

// kalorix-test.exe beside the tests as a child (the environment is inherited);
// kill() ends it as a crash or a power cut would, the destructor likewise.
class TestApp {
public:
    explicit TestApp(const std::wstring& arguments = L"") {
        const std::wstring exe = (ExeFolder() / L"kalorix-test.exe").wstring();
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION info{};
        if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    ~TestApp() { kill(); }
    bool started() const { return process_.valid(); }
    bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    void kill() {
        if (!running()) return;
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), 10000);
    }

private:
    UniqueHandle process_;
};

// A message-only window (for posted notifications, the clipboard, the single-instance signal).
struct MessageWindow {
    ~MessageWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    const HWND hwnd_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
};

}  // namespace kalorix::test
