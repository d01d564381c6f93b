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
    if (!std::isfinite(mean)) mean = value;  // extreme but finite inputs must not overflow the mean
    weight += dt;
}

void DropNonFinite(std::optional<double>& v) {
    if (v && !std::isfinite(*v)) v.reset();
}

// The headline of a frame with every non-finite reading removed: a NaN or an
// infinity would pin minimum, maximum and the smoothed value for good.
FrameHeadline FiniteHeadline(const SensorFrame& frame) {
    FrameHeadline h = static_cast<const FrameHeadline&>(frame);
    for (auto* v : {&h.cpuTemp, &h.cpuLoad, &h.cpuClock, &h.cpuPackagePower, &h.tjMax, &h.hottestDiskTemp})
        DropNonFinite(*v);
    if (!h.cpuTemp) h.cpuTempSource.clear();
    if (!h.hottestDiskTemp) h.hottestDiskName.clear();
    if (h.gpu) {
        DropNonFinite(h.gpu->temperature);
        DropNonFinite(h.gpu->fanSpeed);
        DropNonFinite(h.gpu->load);
    }
    std::erase_if(h.fans, [](const FanReading& f) { return !std::isfinite(f.speed); });
    return h;
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

namespace {

// The window copies the list every cycle. Entries never change their names,
// so a copy that already holds the same sensor at a place (the same id) takes
// only the readings; names are copied for new places or another engine's list.
void CopySensorList(const std::vector<SensorEntry>& from, std::vector<SensorEntry>& to) {
    if (to.size() > from.size()) to.resize(from.size());
    for (size_t i = 0; i < to.size(); ++i) {
        if (to[i].id != from[i].id) {
            to[i] = from[i];
            continue;
        }
        to[i].value = from[i].value;
        to[i].min = from[i].min;
        to[i].max = from[i].max;
        to[i].seenAt = from[i].seenAt;
    }
    to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(to.size()), from.end());
}

}  // namespace

void SamplingEngine::copySnapshot(SensorSnapshot& out) const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<SensorEntry> sensors = std::move(out.sensors);
    std::vector<HistoryPoint> history = std::move(out.history);
    out = snapshot_;  // the lists are copied below, into the buffers the caller had
    CopySensorList(sensors_, sensors);
    out.sensors = std::move(sensors);
    history.assign(chartHistory_.begin(), chartHistory_.end());
    out.history = std::move(history);
}

void SamplingEngine::copySensorHistory(const std::wstring& id, std::vector<SensorPlotPoint>& out) const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    const auto it = sensorIndex_.find(id);
    if (it == sensorIndex_.end()) {
        out.clear();
        return;
    }
    sensorHistory_.copy(it->second, lastFoldTime_ - kChartHistorySeconds, out);
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

void SamplingEngine::fold(const SensorFrame& raw, double now) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    SensorSnapshot& s = snapshot_;
    const FrameHeadline frame = FiniteHeadline(raw);

    if (resetRequested_.exchange(false)) {
        for (auto& e : sensors_) e.min = e.max = e.value;
        s.cpuTempMin.reset();
        s.cpuTempMax.reset();
        s.gpuTempMin.reset();
        s.gpuTempMax.reset();
    }

    // The id -> position map persists across cycles: entries are never removed.
    // Providers report in the same order every cycle, so the place the n-th
    // reading had last time is tried before the map.
    sensorHistory_.beginPoint(now);
    frameOrder_.resize(raw.readings.size(), kNoPlace);
    for (size_t n = 0; n < raw.readings.size(); ++n) {
        const SensorReading& r = raw.readings[n];
        if (!std::isfinite(r.value)) continue;  // the entry keeps its last good value
        size_t index = frameOrder_[n];
        if (index >= sensors_.size() || sensors_[index].id != r.id) {
            const auto it = sensorIndex_.find(r.id);
            index = it != sensorIndex_.end() ? it->second : kNoPlace;
        }
        if (index != kNoPlace) {
            SensorEntry& e = sensors_[index];
            e.value = r.value;
            e.min = std::min(e.min, r.value);
            e.max = std::max(e.max, r.value);
            e.seenAt = now;
        } else {
            index = sensors_.size();
            sensorIndex_.emplace(r.id, index);
            sensors_.push_back({r.id, r.device, r.label, r.kind, r.value, r.value, r.value, now});
            sensorHistory_.addSensor();
        }
        frameOrder_[n] = index;
        sensorHistory_.record(index, r.value);
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
            if (!std::isfinite(*smoothedTemp_)) smoothedTemp_ = frame.cpuTemp;
        }
    } else {
        smoothedTemp_ = frame.cpuTemp;
    }
    lastFoldTime_ = now;
    s.cpuTempShown = smoothedTemp_;

    chartHistory_.push_back({now, s.cpuTempShown, gpuTemp});
    while (!chartHistory_.empty() && now - chartHistory_.front().time > kChartHistorySeconds) chartHistory_.pop_front();

    trackUsage(frame, now);

    static_cast<FrameHeadline&>(s) = frame;
    s.updatedAt = now;
    s.valid = true;
    s.localTime = host_.localTime();
    if (FoldObserver* observer = observer_.load()) observer->folded(now, sensors_);
}

void SamplingEngine::trackUsage(const FrameHeadline& f, double now) {
    SensorSnapshot& s = snapshot_;
    if (suspended_ && now - suspendedAt_ > kSuspendWithoutResume) suspended_ = false;  // the resume notice was lost
    if (suspended_) {
        // The last cycles before the machine sleeps are not usage.
        interruptUsageLocked();
        s.atLimitNow = false;
        s.currentPeriod.reset();
        return;
    }
    if (lastTick_ > 0.0 && (now - lastTick_ > kUsageMaxGap || now < lastTick_)) interruptUsageLocked();
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
    if (periodActive_) writeProvisionalLocked(now);

    if (periodActive_) s.currentPeriod = period_;
    else s.currentPeriod.reset();
}

void SamplingEngine::writeProvisionalLocked(double now) {
    const double recorded = lastHeavy_ - periodStart_;  // what a close now would record
    if (recorded < kMinRecordedSeconds) return;
    // At most once a minute, and not again while the trailing quiet run adds nothing.
    if (provisionalWritten_ && (now - lastProvisionalAt_ < kProvisionalEverySeconds || recorded == provisionalDuration_))
        return;
    HeavyUsePeriod p = period_;
    p.duration = recorded;
    host_.recordProvisionalPeriod(p);
    provisionalWritten_ = true;
    lastProvisionalAt_ = now;
    provisionalDuration_ = recorded;
}

void SamplingEngine::closePeriodLocked() {
    periodActive_ = false;
    heavySince_ = -1.0;
    period_.duration = lastHeavy_ - periodStart_;
    if (period_.duration >= kMinRecordedSeconds) host_.recordPeriod(period_);
    else if (provisionalWritten_) host_.dropProvisionalPeriod();
    provisionalWritten_ = false;
}

void SamplingEngine::interruptUsageLocked() {
    if (periodActive_) closePeriodLocked();
    heavySince_ = -1.0;
    quietSince_ = -1.0;
    lastTick_ = 0.0;
}

void SamplingEngine::closeActivePeriod() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (periodActive_) closePeriodLocked();
    snapshot_.currentPeriod.reset();
}

void SamplingEngine::suspend() {
    const double now = host_.monotonicNow();
    std::lock_guard<std::recursive_mutex> g(lock_);
    suspended_ = true;
    suspendedAt_ = now;
    interruptUsageLocked();
    snapshot_.currentPeriod.reset();
    snapshot_.atLimitNow = false;
}

void SamplingEngine::resume() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    suspended_ = false;
    interruptUsageLocked();
}

bool SamplingEngine::suspended() const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return suspended_;
}

}  // namespace kalorix
