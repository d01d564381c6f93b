// The sampling thread: polls the providers once per interval, folds each frame
// into the published SensorSnapshot (min/max, smoothing, chart history, usage
// statistics, heavy-use periods) and tells the window a new snapshot is ready.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "sensors/sensor_history.h"
#include "sensors/sensor_model.h"

namespace kalorix {

// Everything the engine needs from the platform; the Windows layer implements it
// with QueryPerformanceCounter, COM, the registry and PostMessageW, the tests with fakes.
class EngineHost {
public:
    virtual ~EngineHost() = default;
    virtual double monotonicNow() = 0;          // seconds
    virtual int64_t wallNow() = 0;              // seconds since 1970 UTC
    virtual LocalTime localTime() = 0;
    virtual void sleepMs(int milliseconds) = 0;
    virtual bool threadStarted() { return false; }  // COM for the sampling thread; true when it must be undone
    virtual void threadEnding(bool started) {}
    virtual bool isElevated() = 0;
    virtual std::vector<std::unique_ptr<Provider>> createProviders(bool elevated) = 0;
    virtual std::wstring biosManufacturer() = 0;
    virtual bool pawnIoInstalled() = 0;
    // What PawnIO can do in this process (read with pawnIoInstalled on every cycle).
    virtual PawnIoStatus pawnIoStatus() { return {}; }
    virtual void postReady(void* window) = 0;   // posts 0x8001 to the window
    // Stores a finished heavy-use period of at least 180 s (called under the engine's lock);
    // it replaces the provisional record of the same period, if any.
    virtual void recordPeriod(const HeavyUsePeriod& period) = 0;
    // Stores the period still running (at least 180 s so far) as a provisional record,
    // so a process that is killed loses at most the time since (under the engine's lock).
    virtual void recordProvisionalPeriod(const HeavyUsePeriod& period) {}
    // The running period ended shorter than recorded provisionally: forget that record.
    virtual void dropProvisionalPeriod() {}
};

// Sees the sensor list after every fold, on the sampling thread and under the
// engine's lock, so it must return at once (the sensor log hands its rows to
// a writer thread this way). A sensor with a reading in this cycle has
// seenAt == now.
class FoldObserver {
public:
    virtual ~FoldObserver() = default;
    virtual void folded(double now, const std::vector<SensorEntry>& sensors) = 0;
};

constexpr double kChartHistorySeconds = 1810.0;
constexpr double kRecentSeconds = 600.0;
constexpr double kSmoothingTimeConstant = 3.0;
constexpr double kSmoothingMaxGap = 15.0;
constexpr double kHeavyStartSeconds = 60.0;
constexpr double kQuietCloseSeconds = 90.0;
constexpr double kMinRecordedSeconds = 180.0;
// A gap between two cycles longer than this is an interruption (sleep, a stalled
// process), never time spent: it closes the period and restarts the heavy run.
constexpr double kUsageMaxGap = 15.0;
// The provisional record of a running period is rewritten at most this often.
constexpr double kProvisionalEverySeconds = 60.0;
// A suspend notice without its resume notice ends on its own after this long.
constexpr double kSuspendWithoutResume = 60.0;

class SamplingEngine {
public:
    explicit SamplingEngine(EngineHost& host);
    ~SamplingEngine();
    SamplingEngine(const SamplingEngine&) = delete;
    SamplingEngine& operator=(const SamplingEngine&) = delete;

    void start(void* window, int intervalMs, bool smoothing);
    void stop();
    bool running() const { return worker_.joinable(); }

    void setInterval(int intervalMs) { intervalMs_.store(intervalMs); }
    void setSmoothing(bool on) { smoothing_.store(on); }
    void requestReset() { resetRequested_.store(true); }
    void setBenchmarkRunning(bool on) { benchmarkRunning_.store(on); }
    int interval() const { return intervalMs_.load(); }
    // Set before start (or with the worker stopped); the observer outlives the engine's use of it.
    void setFoldObserver(FoldObserver* observer) { observer_.store(observer); }

    // Copies the published snapshot under the engine's lock.
    void copySnapshot(SensorSnapshot& out) const;
    SensorSnapshot snapshot() const;
    // The sensor's points of the last 1810 s (at most one a second), oldest
    // first; empty for an unknown id. out keeps its capacity between calls.
    void copySensorHistory(const std::wstring& id, std::vector<SensorPlotPoint>& out) const;

    // The worker's body, from thread start to stop. Public so the tests can run
    // it on their own thread with a fake host and clock.
    void runWorker(std::stop_token stop);
    // One fold of a polled frame at monotonic time now (the worker's step).
    void fold(const SensorFrame& frame, double now);
    // Closes the heavy-use period in progress, if any (at stop).
    void closeActivePeriod();

    // The machine is about to sleep or hibernate: the period in progress is closed
    // as at stop, and nothing counts as usage until resume.
    void suspend();
    // The machine woke up: usage is tracked again, starting afresh.
    void resume();
    bool suspended() const;

private:
    struct UsageSample {
        double time;
        double dt;
        bool busy;
        bool atLimit;
    };

    void pollAll(std::vector<std::unique_ptr<Provider>>& providers, SensorFrame& frame);
    void trackUsage(const FrameHeadline& frame, double now);
    void closePeriodLocked();
    // Sleep or a long gap: the period closes, the heavy run and the tick start afresh.
    void interruptUsageLocked();
    void writeProvisionalLocked(double now);

    EngineHost& host_;
    void* window_ = nullptr;
    std::atomic<int> intervalMs_{1000};
    std::atomic<bool> smoothing_{true};
    std::atomic<bool> resetRequested_{false};
    std::atomic<bool> benchmarkRunning_{false};
    std::atomic<FoldObserver*> observer_{nullptr};
    std::jthread worker_;

    mutable std::recursive_mutex lock_;
    SensorSnapshot snapshot_;                // its sensor and chart lists stay empty: kept below
    std::vector<SensorEntry> sensors_;       // append-only: a sensor keeps its place for good
    static constexpr size_t kNoPlace = static_cast<size_t>(-1);
    std::vector<size_t> frameOrder_;         // the place of the n-th reading in the last frame
    std::unordered_map<std::wstring, size_t> sensorIndex_;
    std::deque<HistoryPoint> chartHistory_;  // copied into a snapshot only when one is taken
    SensorHistory sensorHistory_;           // per sensor, parallel to sensors_
    std::optional<double> smoothedTemp_;
    double lastFoldTime_ = 0.0;

    // usage tracker
    std::deque<UsageSample> recent_;
    double lastTick_ = 0.0;
    bool periodActive_ = false;
    double heavySince_ = -1.0;
    double quietSince_ = -1.0;
    double periodStart_ = 0.0;
    double lastHeavy_ = 0.0;
    double tempWeight_ = 0.0, clockWeight_ = 0.0, powerWeight_ = 0.0;
    HeavyUsePeriod period_;
    bool provisionalWritten_ = false;
    double lastProvisionalAt_ = 0.0;
    double provisionalDuration_ = 0.0;
    bool suspended_ = false;
    double suspendedAt_ = 0.0;
};

}  // namespace kalorix
