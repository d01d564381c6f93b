#include "sensors/sampling_engine.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>

#include "base/log.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

void FoldMin(std::optional<double>& slot, double v) { slot = slot ? std::min(*slot, v) : v; }
void FoldMax(std::optional<double>& slot, double v) { slot = slot ? std::max(*slot, v) : v; }

// Running time-weighted mean: folds value with weight dt into mean/weight.
void FoldMean(double& mean, double& weight, double value, double dt) {
    mean = (dt * value + weight * mean) / std::max(1e-9, weight + dt);
    weight += dt;
}

}  // namespace

SamplingEngine::SamplingEngine(EngineHost& host) : host_(host) {}

SamplingEngine::~SamplingEngine() { stop(); }

void SamplingEngine::start(void* window, int intervalMs, bool smoothing) {
    if (worker_.joinable()) return;
    window_ = window;
    intervalMs_.store(intervalMs);
    smoothing_.store(smoothing);
    worker_ = std::jthread([this](std::stop_token st) { runWorker(st); });
}

void SamplingEngine::stop() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

void SamplingEngine::copySnapshot(SensorSnapshot& out) const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    out = snapshot_;
}

SensorSnapshot SamplingEngine::snapshot() const {
    SensorSnapshot s;
    copySnapshot(s);
    return s;
}

void SamplingEngine::pollAll(std::vector<std::unique_ptr<Provider>>& providers, SensorFrame& frame) {
    frame.clear();
    for (auto& p : providers) {
        // A failing source loses only its own readings of this cycle.
        try {
            p->poll(frame);
        } catch (const std::exception& e) {
            Log(LogLevel::Error, WideToUtf8(p->name()), std::string("poll failed: ") + e.what());
        } catch (...) {
            Log(LogLevel::Error, WideToUtf8(p->name()), "poll failed with an unknown exception");
        }
    }
}

void SamplingEngine::runWorker(std::stop_token stop) {
    const bool comStarted = host_.threadStarted();
    const bool elevated = host_.isElevated();
    std::vector<std::unique_ptr<Provider>> providers = host_.createProviders(elevated);

    bool msiActive = false, pawnActive = false;
    for (const auto& p : providers) {
        const std::wstring_view n = p->name();
        if (n.find(L"MSI") != std::wstring_view::npos) msiActive = true;
        if (n == L"PawnIO") pawnActive = true;
    }
    const std::wstring bios = host_.biosManufacturer();
    const bool msiBoard = bios.find(L"Micro-Star") != std::wstring::npos || bios.find(L"MSI") != std::wstring::npos;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        snapshot_.elevated = elevated;
        snapshot_.msiBoard = msiBoard;
        snapshot_.msiProviderActive = msiActive;
        snapshot_.pawnIoActive = pawnActive;
    }

    SensorFrame frame;
    pollAll(providers, frame);  // priming poll: rate counters get their first sample

    while (!stop.stop_requested()) {
        const double cycleStart = host_.monotonicNow();
        const bool pawnInstalled = host_.pawnIoInstalled();
        const PawnIoStatus pawnStatus = host_.pawnIoStatus();
        {
            std::lock_guard<std::recursive_mutex> g(lock_);
            snapshot_.pawnIoInstalled = pawnInstalled;
            snapshot_.pawnIo = pawnStatus;
        }
        pollAll(providers, frame);
        fold(frame, host_.monotonicNow());
        if (window_) host_.postReady(window_);
        for (;;) {
            if (stop.stop_requested()) break;
            const double elapsedMs = (host_.monotonicNow() - cycleStart) * 1000.0;
            if (!(intervalMs_.load() > elapsedMs)) break;
            host_.sleepMs(50);
        }
    }

    closeActivePeriod();
    for (auto& p : providers) p.reset();
    providers.clear();
    host_.threadEnding(comStarted);
}

void SamplingEngine::fold(const SensorFrame& frame, double now) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    SensorSnapshot& s = snapshot_;

    if (resetRequested_.exchange(false)) {
        for (auto& e : s.sensors) e.min = e.max = e.value;
        s.cpuTempMin.reset();
        s.cpuTempMax.reset();
        s.gpuTempMin.reset();
        s.gpuTempMax.reset();
    }

    // The id -> position map persists across cycles: entries are never removed.
    for (const SensorReading& r : frame.readings) {
        auto it = sensorIndex_.find(r.id);
        if (it != sensorIndex_.end()) {
            SensorEntry& e = s.sensors[it->second];
            e.value = r.value;
            e.min = std::min(e.min, r.value);
            e.max = std::max(e.max, r.value);
        } else {
            sensorIndex_.emplace(r.id, s.sensors.size());
            s.sensors.push_back({r.id, r.device, r.label, r.kind, r.value, r.value, r.value});
        }
    }

    if (frame.cpuTemp) {
        FoldMin(s.cpuTempMin, *frame.cpuTemp);
        FoldMax(s.cpuTempMax, *frame.cpuTemp);
    }
    std::optional<double> gpuTemp;
    if (frame.gpu && frame.gpu->temperature) gpuTemp = frame.gpu->temperature;
    if (gpuTemp) {
        FoldMin(s.gpuTempMin, *gpuTemp);
        FoldMax(s.gpuTempMax, *gpuTemp);
    }

    if (frame.cpuTemp && smoothing_.load()) {
        const double dt = now - lastFoldTime_;
        if (!smoothedTemp_ || !(dt > 0.0) || dt > kSmoothingMaxGap) {
            smoothedTemp_ = frame.cpuTemp;
        } else {
            smoothedTemp_ = *smoothedTemp_ + (1.0 - std::exp(-dt / kSmoothingTimeConstant)) * (*frame.cpuTemp - *smoothedTemp_);
        }
    } else {
        smoothedTemp_ = frame.cpuTemp;
    }
    lastFoldTime_ = now;
    s.cpuTempShown = smoothedTemp_;

    chartHistory_.push_back({now, s.cpuTempShown, gpuTemp});
    while (!chartHistory_.empty() && now - chartHistory_.front().time > kChartHistorySeconds) chartHistory_.pop_front();
    s.history.assign(chartHistory_.begin(), chartHistory_.end());

    trackUsage(frame, now);

    static_cast<FrameHeadline&>(s) = static_cast<const FrameHeadline&>(frame);
    s.updatedAt = now;
    s.valid = true;
    s.localTime = host_.localTime();
}

void SamplingEngine::trackUsage(const SensorFrame& f, double now) {
    SensorSnapshot& s = snapshot_;
    const double dt = lastTick_ > 0.0 ? std::clamp(now - lastTick_, 0.0, 5.0) : 0.0;
    lastTick_ = now;

    const double cpuLoad = f.cpuLoad.value_or(0.0);
    const double gpuLoad = (f.gpu && f.gpu->load) ? *f.gpu->load : 0.0;
    const bool bench = benchmarkRunning_.load();
    const bool busy = !bench && cpuLoad >= 50.0;
    const double threshold = f.tjMax ? *f.tjMax - 5.0 : 95.0;
    const bool atLimit =
        busy && (f.thermalThrottleKnown ? f.thermalThrottle : (f.cpuTemp && *f.cpuTemp >= threshold));

    recent_.push_back({now, dt, busy, atLimit});
    while (!recent_.empty() && now - recent_.front().time > kRecentSeconds) recent_.pop_front();

    s.atLimitNow = atLimit;
    double busySum = 0.0, limitSum = 0.0;
    for (const UsageSample& u : recent_) {
        if (u.busy) busySum += u.dt;
        if (u.atLimit) limitSum += u.dt;
    }
    s.busySecondsRecent = busySum;
    s.atLimitSecondsRecent = limitSum;

    const bool heavy = (cpuLoad >= 40.0 || gpuLoad >= 50.0) && !bench;
    if (heavy) {
        if (heavySince_ < 0.0) heavySince_ = now;
        lastHeavy_ = now;
        quietSince_ = -1.0;
    } else {
        if (quietSince_ < 0.0) quietSince_ = now;
        if (!periodActive_) heavySince_ = -1.0;
    }

    if (!periodActive_ && heavy && now - heavySince_ >= kHeavyStartSeconds) {
        periodActive_ = true;
        periodStart_ = heavySince_;
        period_ = HeavyUsePeriod{};
        period_.precise = true;
        period_.startTime = host_.wallNow() - static_cast<int64_t>(now - heavySince_);
        tempWeight_ = clockWeight_ = powerWeight_ = 0.0;
    }

    if (periodActive_) {
        if (busy) period_.busySeconds += dt;
        if (atLimit) period_.atLimitSeconds += dt;
        if (!f.thermalThrottleKnown) period_.precise = false;
        if (f.cpuTemp) {
            period_.maxCpuTemp = std::max(period_.maxCpuTemp, *f.cpuTemp);
            FoldMean(period_.avgCpuTemp, tempWeight_, *f.cpuTemp, dt);
        }
        if (f.gpu && f.gpu->temperature) period_.maxGpuTemp = std::max(period_.maxGpuTemp, *f.gpu->temperature);
        period_.duration = now - periodStart_;
        if (heavy) {
            if (f.cpuClock) FoldMean(period_.avgCpuClock, clockWeight_, *f.cpuClock, dt);
            if (f.cpuPackagePower) FoldMean(period_.avgCpuPower, powerWeight_, *f.cpuPackagePower, dt);
        } else if (now - quietSince_ >= kQuietCloseSeconds) {
            closePeriodLocked();
        }
    }

    if (periodActive_) s.currentPeriod = period_;
    else s.currentPeriod.reset();
}

void SamplingEngine::closePeriodLocked() {
    periodActive_ = false;
    heavySince_ = -1.0;
    period_.duration = lastHeavy_ - periodStart_;
    if (period_.duration >= kMinRecordedSeconds) host_.recordPeriod(period_);
}

void SamplingEngine::closeActivePeriod() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (periodActive_) closePeriodLocked();
    snapshot_.currentPeriod.reset();
}

}  // namespace kalorix
