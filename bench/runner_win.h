// The parent side of a benchmark: starts "kalorix.exe --bench KIND" in a
// kill-on-close job with a pipe as its standard output, folds the child's
// lines into BenchState on a reader thread and posts kMsgBench on every change.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>

#include "base/messages.h"
#include "base/scoped_win.h"
#include "bench/protocol.h"

namespace kalorix {

class BenchRunner {
public:
    static constexpr UINT kNotifyMessage = kMsgBench;

    BenchRunner() = default;
    ~BenchRunner();
    BenchRunner(const BenchRunner&) = delete;
    BenchRunner& operator=(const BenchRunner&) = delete;

    // driveLetter is used only for BenchKind::Disk (0 = the child picks the system drive).
    bool Start(HWND notifyWindow, BenchKind kind, wchar_t driveLetter);
    // Kills a running child; the run ends with the reason as its error. The
    // first reason given during a run is the one kept.
    void Stop(const std::wstring& reason);
    BenchState Snapshot() const;

    // Test seams: the executable started as the child (default: this process's
    // own executable), the id of the last child and the job it runs in.
    void setChildExecutable(std::wstring path);
    DWORD lastChildProcessId() const;
    HANDLE jobHandle() const;

private:
    bool ensureJob();  // under the mutex
    bool launchChild(BenchKind kind, wchar_t driveLetter, UniqueHandle& readEnd);  // under the mutex
    void readerMain(UniqueHandle readEnd);
    void postChange();
    std::wstring childExecutable() const;

    mutable std::mutex mutex_;
    BenchState state_;
    UniqueHandle process_;
    UniqueHandle job_;
    HWND notifyWindow_ = nullptr;
    std::wstring stopReason_;
    std::thread reader_;
    std::wstring childPath_;
    DWORD lastPid_ = 0;
};

}  // namespace kalorix
