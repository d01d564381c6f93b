#include "app/autostart_worker.h"

namespace kalorix {

AutostartWorker::AutostartWorker(IsEnabledFn isEnabled, SetFn set, NotifyFn notify)
    : isEnabled_(std::move(isEnabled)), set_(std::move(set)), notify_(std::move(notify)),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

AutostartWorker::~AutostartWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.clear();
    }
    thread_.request_stop();
    wake_.notify_all();
    thread_.join();
}

void AutostartWorker::Refresh(bool useTask) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(Job{true, false, useTask});
    }
    wake_.notify_all();
}

void AutostartWorker::Set(bool enable, bool useTask) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(Job{false, enable, useTask});
        ++changesQueued_;
        view_.pending = true;
        view_.enabled = enable;  // shown as requested until the answer arrives
    }
    wake_.notify_all();
}

AutostartView AutostartWorker::View() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return view_;
}

void AutostartWorker::Run(std::stop_token stop) {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, stop, [this] { return !jobs_.empty(); });
            if (stop.stop_requested() || jobs_.empty()) return;
            job = jobs_.front();
            jobs_.pop_front();
        }
        Do(job);
        if (notify_) notify_();
    }
}

void AutostartWorker::Do(const Job& job) {
    bool enabled = false;
    bool failed = false;
    if (job.refresh) {
        enabled = isEnabled_();
        if (enabled && !set_(true, job.useTask)) enabled = isEnabled_();
    } else {
        const bool ok = set_(job.enable, job.useTask);
        enabled = ok ? job.enable : isEnabled_();
        failed = !ok;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!job.refresh) --changesQueued_;
    view_.known = true;
    view_.pending = changesQueued_ > 0;
    // While a later change waits, the switch keeps showing what was asked for.
    if (!view_.pending) view_.enabled = enabled;
    if (!job.refresh) view_.failed = failed;
}

}  // namespace kalorix
