// Start-with-Windows work off the window thread. Asking schtasks can take up to
// 15 s per run, so the start-up refresh and every change the user makes run on
// one worker thread, one after the other: a refresh can never undo a change
// made while it ran. Meanwhile the window shows the pending state. Portable:
// the mechanism itself comes in as two functions.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kalorix {

// What the settings switch and the tray menu show.
struct AutostartView {
    bool known = false;    // the first answer has arrived
    bool enabled = false;  // the state read back (or the requested one while pending)
    bool pending = false;  // a change is queued or running
    bool failed = false;   // the last change did not reach the requested state
};

class AutostartWorker {
public:
    using IsEnabledFn = std::function<bool()>;
    using SetFn = std::function<bool(bool enable, bool useTask)>;
    using NotifyFn = std::function<void()>;  // after every finished job, on the worker thread

    AutostartWorker(IsEnabledFn isEnabled, SetFn set, NotifyFn notify);
    // Finishes the job under way, drops the queued ones and joins the thread.
    ~AutostartWorker();
    AutostartWorker(const AutostartWorker&) = delete;
    AutostartWorker& operator=(const AutostartWorker&) = delete;

    // Reads the state; when it is on, registers again so the registration
    // follows the current program path and the Run value / task choice.
    void Refresh(bool useTask);
    // The user's choice.
    void Set(bool enable, bool useTask);
    AutostartView View() const;

private:
    struct Job {
        bool refresh = false;
        bool enable = false;
        bool useTask = false;
    };
    void Run(std::stop_token stop);
    void Do(const Job& job);

    IsEnabledFn isEnabled_;
    SetFn set_;
    NotifyFn notify_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Job> jobs_;
    AutostartView view_;
    int changesQueued_ = 0;
    std::jthread thread_;
};

}  // namespace kalorix
