#include "bench/runner_win.h"

#include "app/elevation_win.h"

#include <vector>

namespace kalorix {

BenchRunner::~BenchRunner() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopReason_.clear();
        if (process_) {
            if (!job_ || !TerminateJobObject(job_, 1)) TerminateProcess(process_, 1);
        }
    }
    if (reader_.joinable()) reader_.join();
    if (job_) CloseHandle(job_);
}

void BenchRunner::setChildExecutable(std::wstring path) {
    std::lock_guard<std::mutex> lock(mutex_);
    childPath_ = std::move(path);
}

DWORD BenchRunner::lastChildProcessId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastPid_;
}

HANDLE BenchRunner::jobHandle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return job_;
}

std::wstring BenchRunner::childExecutable() const { return childPath_.empty() ? OwnProgramPath() : childPath_; }

BenchState BenchRunner::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void BenchRunner::Stop(const std::wstring& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return;
    stopReason_ = reason;
    // The whole job goes, so nothing the child may have started survives it.
    if (!job_ || !TerminateJobObject(job_, 1)) TerminateProcess(process_, 1);
}

bool BenchRunner::Start(HWND notifyWindow, BenchKind kind, wchar_t driveLetter) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.running) return false;
    if (reader_.joinable()) reader_.join();  // the previous run's reader has left the lock for good

    notifyWindow_ = notifyWindow;
    notifyMessage_ = kNotifyMessage;
    stopReason_.clear();
    state_ = BenchState{};
    state_.kind = kind;
    state_.running = true;
    state_.phase = kPhaseStarting;

    auto fail = [&] {
        state_ = BenchState{};
        state_.finished = true;
        state_.kind = kind;
        state_.error = kErrorStartFailed;
        return false;
    };

    if (!job_) {
        job_ = CreateJobObjectW(nullptr, nullptr);
        if (job_) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            if (!SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
                CloseHandle(job_);
                job_ = nullptr;
            }
        }
        // Without a kill-on-close job a child could outlive the monitor: do not start one.
        if (!job_) return fail();
    }

    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return fail();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const std::wstring exe = childExecutable();
    std::wstring commandLine = L"\"" + exe + L"\" --bench " + BenchKindWordW(kind);
    if (kind == BenchKind::Disk && driveLetter != 0) {
        commandLine += L' ';
        commandLine += driveLetter;
    }

    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize ? listSize : 64);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    const bool listInitialised = InitializeProcThreadAttributeList(list, 1, 0, &listSize) != FALSE;
    bool listReady = listInitialised;
    HANDLE inherited[1] = {writeEnd};
    if (listReady) {
        listReady = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                              nullptr, nullptr) != FALSE;
    }

    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = nullptr;
    si.StartupInfo.hStdOutput = writeEnd;
    si.StartupInfo.hStdError = writeEnd;
    si.lpAttributeList = list;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    BOOL created = FALSE;
    if (listReady && !exe.empty()) {
        created = CreateProcessW(exe.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr,
                                 nullptr, &si.StartupInfo, &pi);
    }
    if (listInitialised) DeleteProcThreadAttributeList(list);
    CloseHandle(writeEnd);  // the child holds the only write end now: its exit ends the stream
    if (!created) {
        CloseHandle(readEnd);
        return fail();
    }
    if (!AssignProcessToJobObject(job_, pi.hProcess)) {
        // A child outside the job could outlive the monitor; it never ran a single instruction.
        TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        CloseHandle(readEnd);
        return fail();
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    lastPid_ = pi.dwProcessId;
    try {
        reader_ = std::thread(&BenchRunner::readerMain, this, readEnd);
    } catch (...) {
        TerminateJobObject(job_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        process_ = nullptr;
        CloseHandle(readEnd);
        fail();
        throw;
    }
    return true;
}

void BenchRunner::postChange() {
    HWND window;
    UINT message;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = notifyWindow_;
        message = notifyMessage_;
    }
    if (window) PostMessageW(window, message, 0, 0);
}

void BenchRunner::readerMain(HANDLE readEnd) {
    bench::LineSplitter splitter;
    char chunk[512];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) || got == 0) break;
        splitter.feed(std::string_view(chunk, got), [this](std::string_view line) {
            bool changed;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                changed = bench::ApplyLine(state_, line);
            }
            if (changed) postChange();
        });
    }
    CloseHandle(readEnd);
    HWND window;
    UINT message;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (process_) {
            WaitForSingleObject(process_, 5000);
            CloseHandle(process_);
            process_ = nullptr;
        }
        bench::FinishRun(state_, stopReason_);
        window = notifyWindow_;
        message = notifyMessage_;
    }
    if (window) PostMessageW(window, message, 0, 0);
}

}  // namespace kalorix
