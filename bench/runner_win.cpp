#include "bench/runner_win.h"

#include <vector>

#include "app/elevation_win.h"
#include "base/log.h"

namespace kalorix {

namespace {

constexpr char kSource[] = "bench runner";

void LogLastError(const char* what) { LogWin32Error(kSource, what, GetLastError()); }

// Kills every process of the job (the child and anything it started), or the child alone without a job.
void KillChild(HANDLE job, HANDLE process) {
    if (job && TerminateJobObject(job, 1)) return;
    if (job) LogLastError("TerminateJobObject");
    if (!TerminateProcess(process, 1)) LogLastError("TerminateProcess");
}

// The extended startup attribute list naming the one handle the child inherits.
class InheritList {
public:
    explicit InheritList(HANDLE handle) : handle_(handle) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size ? size : 64);
        if (!InitializeProcThreadAttributeList(list(), 1, 0, &size)) {
            LogLastError("InitializeProcThreadAttributeList");
            return;
        }
        initialised_ = true;
        if (!UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_,
                                       nullptr, nullptr)) {
            LogLastError("UpdateProcThreadAttribute");
            return;
        }
        ready_ = true;
    }
    ~InheritList() {
        if (initialised_) DeleteProcThreadAttributeList(list());
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;
    bool ready() const { return ready_; }
    LPPROC_THREAD_ATTRIBUTE_LIST list() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()); }

private:
    HANDLE handle_;
    std::vector<unsigned char> buffer_;
    bool initialised_ = false;
    bool ready_ = false;
};

}  // namespace

BenchRunner::~BenchRunner() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopReason_.clear();
        if (process_) KillChild(job_.get(), process_.get());
    }
    if (reader_.joinable()) reader_.join();
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
    return job_.get();
}

std::wstring BenchRunner::childExecutable() const { return childPath_.empty() ? OwnProgramPath() : childPath_; }

BenchState BenchRunner::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void BenchRunner::Stop(const std::wstring& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return;
    if (stopReason_.empty()) stopReason_ = reason;  // a later stop (user, next hot snapshot) keeps the first reason
    // The whole job goes, so nothing the child may have started survives it.
    KillChild(job_.get(), process_.get());
}

bool BenchRunner::ensureJob() {
    if (job_) return true;
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        LogLastError("CreateJobObjectW");
        return false;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        LogLastError("SetInformationJobObject");
        return false;
    }
    job_ = std::move(job);
    return true;
}

bool BenchRunner::launchChild(BenchKind kind, wchar_t driveLetter, UniqueHandle& readEnd) {
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &sa, 0)) {
        LogLastError("CreatePipe");
        return false;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring exe = childExecutable();
    std::wstring commandLine = L"\"" + exe + L"\" --bench " + BenchKindWordW(kind);
    if (kind == BenchKind::Disk && driveLetter != 0) {
        commandLine += L' ';
        commandLine += driveLetter;
    }
    PROCESS_INFORMATION pi{};
    {
        InheritList inherit(writeEnd.get());
        if (!inherit.ready() || exe.empty()) return false;
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof si;
        si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        si.StartupInfo.hStdInput = nullptr;
        si.StartupInfo.hStdOutput = writeEnd.get();
        si.StartupInfo.hStdError = writeEnd.get();
        si.lpAttributeList = inherit.list();
        std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
        mutableLine.push_back(L'\0');
        if (!CreateProcessW(exe.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                            CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr, nullptr,
                            &si.StartupInfo, &pi)) {
            LogLastError("CreateProcessW");
            return false;
        }
    }
    writeEnd.reset();  // the child holds the only write end now: its exit ends the stream
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    if (!AssignProcessToJobObject(job_.get(), process.get())) {
        // A child outside the job could outlive the monitor; it never ran a single instruction.
        LogLastError("AssignProcessToJobObject");
        TerminateProcess(process.get(), 1);
        return false;
    }
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        LogLastError("ResumeThread");
        TerminateJobObject(job_.get(), 1);
        return false;
    }
    process_ = std::move(process);
    lastPid_ = pi.dwProcessId;
    return true;
}

bool BenchRunner::Start(HWND notifyWindow, BenchKind kind, wchar_t driveLetter) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.running) return false;
    if (reader_.joinable()) reader_.join();  // the previous run's reader has left the lock for good

    notifyWindow_ = notifyWindow;
    stopReason_.clear();
    state_ = BenchState{};
    state_.kind = kind;

    UniqueHandle readEnd;
    // Without a kill-on-close job a child could outlive the monitor: do not start one.
    if (!ensureJob() || !launchChild(kind, driveLetter, readEnd)) {
        state_.finished = true;
        state_.error = kErrorStartFailed;
        return false;
    }
    state_.running = true;
    state_.phase = kPhaseStarting;
    try {
        reader_ = std::thread(&BenchRunner::readerMain, this, std::move(readEnd));
    } catch (...) {
        TerminateJobObject(job_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
        process_.reset();
        state_ = BenchState{};
        state_.finished = true;
        state_.kind = kind;
        state_.error = kErrorStartFailed;
        throw;
    }
    return true;
}

void BenchRunner::postChange() {
    HWND window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = notifyWindow_;
    }
    if (window) PostMessageW(window, kNotifyMessage, 0, 0);
}

void BenchRunner::readerMain(UniqueHandle readEnd) {
    bench::LineSplitter splitter;
    char chunk[512];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) || got == 0) break;
        splitter.feed(std::string_view(chunk, got), [this](std::string_view line) {
            bool changed;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                changed = bench::ApplyLine(state_, line);
            }
            if (changed) postChange();
        });
    }
    readEnd.reset();
    // The stream has ended: the child is exiting. Wait for it without the lock,
    // so that Snapshot (the paint path) never waits on a dying process.
    UniqueHandle process;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        process = std::move(process_);
    }
    if (process && WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) {
        Log(LogLevel::Warning, kSource, "the child did not exit within 5 s of closing its output");
    }
    process.reset();
    HWND window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bench::FinishRun(state_, stopReason_);
        window = notifyWindow_;
    }
    if (window) PostMessageW(window, kNotifyMessage, 0, 0);
}

}  // namespace kalorix
