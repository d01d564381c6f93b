#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "sensors/sampling_engine.h"

using namespace kalorix;

namespace {

// A scripted source: each poll runs the given function.
class ScriptedProvider : public Provider {
public:
    ScriptedProvider(const wchar_t* name, std::function<void(SensorFrame&)> fn) : name_(name), fn_(std::move(fn)) {}
    const wchar_t* name() const override { return name_; }
    void poll(SensorFrame& f) override { fn_(f); }

private:
    const wchar_t* name_;
    std::function<void(SensorFrame&)> fn_;
};

// Fake platform: a clock that only moves when the engine sleeps or a poll costs time.
class FakeHost : public EngineHost {
public:
    double now = 100.0;
    int64_t wall = 1'700'000'000;
    std::function<std::vector<std::unique_ptr<Provider>>()> make;
    std::function<void()> onSleep;
    std::wstring bios;
    int posts = 0;
    int sleeps = 0;
    bool elevated = false;

    double monotonicNow() override { return now; }
    int64_t wallNow() override { return wall + static_cast<int64_t>(now - 100.0); }
    LocalTime localTime() override { return LocalTime{2026, 12, 0, 6, 21, 0, 0, 0}; }
    void sleepMs(int ms) override {
        ++sleeps;
        now += ms / 1000.0;
        if (onSleep) onSleep();
    }
    bool isElevated() override { return elevated; }
    std::vector<std::unique_ptr<Provider>> createProviders(bool) override {
        return make ? make() : std::vector<std::unique_ptr<Provider>>{};
    }
    std::wstring biosManufacturer() override { return bios; }
    bool pawnIoInstalled() override { return false; }
    void postReady(void*) override { ++posts; }
    std::vector<HeavyUsePeriod> periods;
    std::vector<std::pair<double, HeavyUsePeriod>> provisional;  // (engine time, record)
    void recordPeriod(const HeavyUsePeriod& p) override { periods.push_back(p); }
    void recordProvisionalPeriod(const HeavyUsePeriod& p) override { provisional.emplace_back(now, p); }
};


SensorFrame Frame(std::optional<double> cpuTemp, std::optional<double> load = std::nullopt) {
    SensorFrame f;
    f.cpuTemp = cpuTemp;
    if (cpuTemp) f.cpuTempSource = L"ACPI";
    f.cpuLoad = load;
    return f;
}

// Feeds one frame per second after t for count seconds; the fake host's clock follows.
FakeHost* gClock = nullptr;
void FeedSeconds(SamplingEngine& e, double& t, int count, const SensorFrame& f) {
    for (int i = 0; i < count; ++i) {
        t += 1.0;
        if (gClock) gClock->now = t;
        e.fold(f, t);
    }
}

using ProviderList = std::vector<std::unique_ptr<Provider>>;

template <class... P>
ProviderList List(P... providers) {
    ProviderList v;
    (v.push_back(std::move(providers)), ...);
    return v;
}

// A factory for one scripted provider named "p".
std::function<ProviderList()> One(std::function<void(SensorFrame&)> poll) {
    return [poll] { return List(std::make_unique<ScriptedProvider>(L"p", poll)); };
}

}  // namespace

// Providers following the headline rules: ACPI only when absent, MSI EC unless PawnIO, PawnIO always.
std::unique_ptr<Provider> Acpi(double t) {
    return std::make_unique<ScriptedProvider>(L"Performans sayaçları", [t](SensorFrame& f) {
        f.add(L"acpi/tz0", L"ACPI termal bölgeleri", L"Bölge TZ0", SensorKind::Temperature, t);
        if (!f.cpuTemp) { f.cpuTemp = t; f.cpuTempSource = L"ACPI"; }
    });
}
std::unique_ptr<Provider> MsiThatThrows(double t) {
    return std::make_unique<ScriptedProvider>(L"MSI gömülü denetleyici", [t](SensorFrame& f) {
        f.add(L"msi/temp/cpu", L"MSI", L"CPU", SensorKind::Temperature, t);
        f.add(L"msi/fan/1", L"MSI", L"Fan 1", SensorKind::Fan, 2000);
        if (f.cpuTempSource != L"PawnIO") { f.cpuTemp = t; f.cpuTempSource = L"MSI EC"; }
        throw std::runtime_error("EC timeout");
    });
}
std::unique_ptr<Provider> Pawn(double t) {
    return std::make_unique<ScriptedProvider>(L"PawnIO", [t](SensorFrame& f) {
        f.cpuTemp = t;
        f.cpuTempSource = L"PawnIO";
    });
}
std::unique_ptr<Provider> StopAfter(int polls, std::stop_source stop) {
    auto count = std::make_shared<int>(0);
    return std::make_unique<ScriptedProvider>(L"stopper", [=](SensorFrame&) mutable {
        if (++*count == polls) stop.request_stop();
    });
}

SensorSnapshot RunCycles(FakeHost& host, int polls) {
    std::stop_source stop;
    auto make = host.make;
    host.make = [make, polls, stop] {
        auto v = make();
        v.push_back(StopAfter(polls, stop));
        return v;
    };
    SamplingEngine e(host);
    e.runWorker(stop.get_token());
    return e.snapshot();
}

TEST(SensorModelRules, HeadlineTemperaturePrecedenceAndThrowingProvider) {
    FakeHost host;
    host.bios = L"  Micro-Star International Co., Ltd. ";
    host.make = [] { return List(Acpi(60), MsiThatThrows(70)); };
    SensorSnapshot s = RunCycles(host, 2);
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(*s.cpuTemp, 70.0);
    EXPECT_EQ(s.cpuTempSource, L"MSI EC");
    EXPECT_TRUE(s.msiProviderActive);
    EXPECT_FALSE(s.pawnIoActive);
    EXPECT_TRUE(s.msiBoard);
    // The throwing provider's two readings were kept.
    ASSERT_EQ(s.sensors.size(), 3u);
    EXPECT_EQ(s.sensors[1].id, L"msi/temp/cpu");
    EXPECT_EQ(s.sensors[2].id, L"msi/fan/1");

    host.bios = L"American Megatrends";
    host.make = [] { return List(Acpi(60), MsiThatThrows(70), Pawn(66)); };
    s = RunCycles(host, 2);
    EXPECT_EQ(*s.cpuTemp, 66.0);
    EXPECT_EQ(s.cpuTempSource, L"PawnIO");
    EXPECT_TRUE(s.pawnIoActive);
    EXPECT_FALSE(s.msiBoard);
}

TEST(SamplingWorker, StartAndStopOnARealThread) {
    FakeHost host;  // its clock moves only in the worker, which alone touches it while running
    std::atomic<int> polls{0};
    host.make = One([&](SensorFrame& f) {
        ++polls;
        f.cpuTemp = 40;
    });
    SamplingEngine e(host);
    int window = 0;
    e.start(&window, 500, true);
    while (polls.load() < 3) std::this_thread::yield();
    e.stop();
    EXPECT_FALSE(e.running());
    EXPECT_TRUE(e.snapshot().valid);
    EXPECT_GE(host.posts, 1);
}

TEST(SamplingWorker, PrimingPollPublishesNothingAndFirstSnapshotHasOnePoint) {
    FakeHost host;
    int polls = 0;
    SamplingEngine* engine = nullptr;
    bool validAfterPriming = true;
    std::stop_source stop;
    host.make = One([&](SensorFrame& f) {
        ++polls;
        if (polls == 2) validAfterPriming = engine->snapshot().valid;
        f.cpuTemp = 50.0 + polls;
        host.now += 0.2;  // the poll costs 200 ms
    });
    host.onSleep = [&] {
        if (polls == 2) stop.request_stop();
    };
    SamplingEngine e(host);
    engine = &e;
    e.setInterval(1000);
    e.runWorker(stop.get_token());
    EXPECT_FALSE(validAfterPriming);
    const SensorSnapshot s = e.snapshot();
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.history.size(), 1u);
    EXPECT_EQ(*s.cpuTemp, 52.0);
    EXPECT_EQ(polls, 2);
    // Stop was seen at the first 50 ms step of the wait.
    EXPECT_EQ(host.sleeps, 1);
    EXPECT_EQ(s.localTime.year, 2026);
}

TEST(SamplingWorker, IntervalIsMeasuredFromCycleStartIn50msSteps) {
    FakeHost host;
    int polls = 0;
    std::vector<double> starts;
    std::stop_source stop;
    host.make = One([&](SensorFrame&) {
        ++polls;
        starts.push_back(host.now);
        host.now += 0.3;
        if (polls == 5) stop.request_stop();
    });
    SamplingEngine e(host);
    e.setInterval(1000);
    e.runWorker(stop.get_token());
    ASSERT_EQ(starts.size(), 5u);
    // Published cycles start 1.0 s apart although each poll takes 0.3 s.
    for (int i : {2, 3}) {
        const double gap = starts[i + 1] - starts[i];
        EXPECT_GE(gap, 1.0 - 1e-9);
        EXPECT_LE(gap, 1.05 + 1e-9);
    }
    EXPECT_EQ(host.posts, 0);  // no window stored
}

TEST(SamplingFold, MinMaxFirstAppearanceAndDisappearingSensor) {
    FakeHost host;
    SamplingEngine e(host);
    SensorFrame f;
    f.add(L"a", L"dev", L"A", SensorKind::Load, 10);
    f.add(L"b", L"dev", L"B", SensorKind::Load, 5);
    e.fold(f, 1.0);
    f.clear();
    f.add(L"b", L"other", L"B2", SensorKind::Fan, 7);
    f.add(L"a", L"dev", L"A", SensorKind::Load, 3);
    e.fold(f, 2.0);
    f.clear();
    f.add(L"c", L"dev", L"C", SensorKind::Clock, 1);
    e.fold(f, 3.0);
    const SensorSnapshot s = e.snapshot();
    ASSERT_EQ(s.sensors.size(), 3u);
    EXPECT_EQ(s.sensors[0].id, L"a");
    EXPECT_EQ(s.sensors[0].value, 3);
    EXPECT_EQ(s.sensors[0].min, 3);
    EXPECT_EQ(s.sensors[0].max, 10);
    // "b" keeps its first device, label and kind, and its last value after disappearing.
    EXPECT_EQ(s.sensors[1].device, L"dev");
    EXPECT_EQ(s.sensors[1].label, L"B");
    EXPECT_EQ(s.sensors[1].kind, SensorKind::Load);
    EXPECT_EQ(s.sensors[1].value, 7);
    EXPECT_EQ(s.sensors[1].min, 5);
    EXPECT_EQ(s.sensors[1].max, 7);
    EXPECT_EQ(s.sensors[2].id, L"c");
}

TEST(SamplingFold, ResetSetsMinMaxToCurrentAndRestartsExtremes) {
    FakeHost host;
    SamplingEngine e(host);
    SensorFrame f = Frame(60);
    f.gpu = GpuSummary{};
    f.gpu->temperature = 40;
    f.add(L"x", L"d", L"X", SensorKind::Temperature, 60);
    e.fold(f, 1.0);
    f.readings[0].value = 70;
    f.cpuTemp = 70;
    e.fold(f, 2.0);
    e.requestReset();
    f.readings[0].value = 65;
    f.cpuTemp = 65;
    f.gpu->temperature = 45;
    e.fold(f, 3.0);
    SensorSnapshot s = e.snapshot();
    EXPECT_EQ(s.sensors[0].min, 65);  // reset to 70, then folded 65
    EXPECT_EQ(s.sensors[0].max, 70);
    EXPECT_EQ(*s.cpuTempMin, 65);
    EXPECT_EQ(*s.cpuTempMax, 65);
    EXPECT_EQ(*s.gpuTempMin, 45);
    EXPECT_EQ(*s.gpuTempMax, 45);
}

TEST(SamplingFold, SmoothingStepGapAndSwitching) {
    FakeHost host;
    SamplingEngine e(host);
    e.setSmoothing(true);
    e.fold(Frame(50), 10.0);
    e.fold(Frame(80), 11.0);
    SensorSnapshot s = e.snapshot();
    EXPECT_NEAR(*s.cpuTempShown, 50 + 30 * (1 - std::exp(-1.0 / 3.0)), 1e-9);
    EXPECT_NEAR(*s.cpuTempShown, 58.5, 0.05);
    EXPECT_EQ(*s.cpuTemp, 80);  // the headline keeps the raw value
    EXPECT_EQ(*s.cpuTempMax, 80);
    // A gap of more than 15 s shows the raw value.
    e.fold(Frame(40), 26.5);
    EXPECT_EQ(*e.snapshot().cpuTempShown, 40);
    // Absent temperature: nothing shown, and the next value starts afresh.
    e.fold(Frame(std::nullopt), 27.5);
    EXPECT_FALSE(e.snapshot().cpuTempShown.has_value());
    e.fold(Frame(90), 28.5);
    EXPECT_EQ(*e.snapshot().cpuTempShown, 90);
    // Smoothing off passes the raw value; switching it on again starts from raw.
    e.setSmoothing(false);
    e.fold(Frame(30), 29.5);
    EXPECT_EQ(*e.snapshot().cpuTempShown, 30);
    e.setSmoothing(true);
    e.fold(Frame(60), 30.5);
    EXPECT_NEAR(*e.snapshot().cpuTempShown, 30 + 30 * (1 - std::exp(-1.0 / 3.0)), 1e-9);
}

TEST(SamplingFold, ChartHistoryKeeps1810Seconds) {
    FakeHost host;
    SamplingEngine e(host);
    for (int i = 0; i <= 2000; ++i) e.fold(Frame(50), 1000.0 + i);
    const SensorSnapshot s = e.snapshot();
    ASSERT_EQ(s.history.size(), 1811u);
    EXPECT_EQ(s.history.front().time, 1000.0 + 2000 - 1810);
    EXPECT_EQ(s.history.back().time, 3000.0);
    EXPECT_FALSE(s.history.back().gpuTemp.has_value());
}

TEST(UsageTracker, BusyAndAtLimitStatisticsOverTenMinutes) {
    FakeHost host;
    SamplingEngine e(host);
    double t = 1.0;
    e.fold(Frame(95.0, 60), t);  // first sample has dt 0
    FeedSeconds(e, t, 10, Frame(95.0, 60));
    SensorSnapshot s = e.snapshot();
    EXPECT_TRUE(s.atLimitNow);
    EXPECT_DOUBLE_EQ(s.busySecondsRecent, 10);
    EXPECT_DOUBLE_EQ(s.atLimitSecondsRecent, 10);
    // 94.9 °C without tjMax and throttle flag is not at the limit.
    FeedSeconds(e, t, 5, Frame(94.9, 60));
    s = e.snapshot();
    EXPECT_FALSE(s.atLimitNow);
    EXPECT_DOUBLE_EQ(s.atLimitSecondsRecent, 10);
    // With tjMax 100 the limit is 95; the processor's own flag wins over temperature.
    SensorFrame f = Frame(80, 90);
    f.tjMax = 100;
    f.thermalThrottleKnown = true;
    f.thermalThrottle = true;
    FeedSeconds(e, t, 1, f);
    EXPECT_TRUE(e.snapshot().atLimitNow);
    f.thermalThrottle = false;
    f.cpuTemp = 99;
    FeedSeconds(e, t, 1, f);
    EXPECT_FALSE(e.snapshot().atLimitNow);
    // Gaps up to 15 s count at most 5 s; a longer one is an interruption and counts
    // nothing; samples older than 600 s fall out.
    t += 14;
    e.fold(Frame(95, 60), t);
    EXPECT_DOUBLE_EQ(e.snapshot().busySecondsRecent, 10 + 5 + 1 + 1 + 5);
    t += 16;
    e.fold(Frame(95, 60), t);
    EXPECT_DOUBLE_EQ(e.snapshot().busySecondsRecent, 10 + 5 + 1 + 1 + 5);
    FeedSeconds(e, t, 700, Frame(40, 10));
    EXPECT_DOUBLE_EQ(e.snapshot().busySecondsRecent, 0);
}

TEST(UsageTracker, ModerateLoadMakesAPeriodWithoutBusySeconds) {
    FakeHost host;
    gClock = &host;
    SamplingEngine e(host);
    double t = 100.0;
    e.fold(Frame(70, 45), t);
    FeedSeconds(e, t, 58, Frame(70, 45));
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
    FeedSeconds(e, t, 2, Frame(70, 45));  // 60 s of unbroken heavy use
    ASSERT_TRUE(e.snapshot().currentPeriod.has_value());
    FeedSeconds(e, t, 540, Frame(70, 45));
    const HeavyUsePeriod cur = *e.snapshot().currentPeriod;
    EXPECT_EQ(cur.busySeconds, 0);
    EXPECT_NEAR(cur.duration, 600, 1e-9);
    EXPECT_FALSE(cur.precise);
    EXPECT_EQ(cur.maxCpuTemp, 70);
    EXPECT_NEAR(cur.avgCpuTemp, 70, 1e-9);
    // startTime is the wall clock at the first heavy sample.
    EXPECT_EQ(cur.startTime, host.wall);
    gClock = nullptr;
    e.closeActivePeriod();
    ASSERT_EQ(host.periods.size(), 1u);
    EXPECT_NEAR(host.periods[0].duration, 600, 1e-9);
}

TEST(UsageTracker, ShortPeriodClosesAfterQuietAndIsNotRecorded) {
    FakeHost host;
    SamplingEngine e(host);
    double t = 0.5;
    e.fold(Frame(80, 90), t);
    FeedSeconds(e, t, 150, Frame(80, 90));
    ASSERT_TRUE(e.snapshot().currentPeriod.has_value());
    // The quiet run is timed from its first sample, one second after the last heavy one.
    FeedSeconds(e, t, 90, Frame(50, 5));
    ASSERT_TRUE(e.snapshot().currentPeriod.has_value());
    EXPECT_NEAR(e.snapshot().currentPeriod->duration, 150 + 90, 1e-9);  // includes the quiet run while open
    FeedSeconds(e, t, 1, Frame(50, 5));  // 90 s after the first quiet sample
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
    EXPECT_TRUE(host.periods.empty());
}

TEST(UsageTracker, LongPeriodIsRecordedWithWeightedMeans) {
    FakeHost host;
    gClock = &host;
    host.now = 10.0;
    SamplingEngine e(host);
    double t = 10.0;
    SensorFrame hot = Frame(90, 100);
    hot.cpuClock = 3000;
    hot.cpuPackagePower = 40;
    hot.thermalThrottleKnown = true;
    hot.thermalThrottle = true;
    hot.gpu = GpuSummary{};
    hot.gpu->temperature = 75;
    e.fold(hot, t);
    FeedSeconds(e, t, 99, hot);
    hot.cpuClock = 2000;
    hot.cpuPackagePower = 20;
    hot.thermalThrottle = false;
    hot.cpuTemp = 80;
    FeedSeconds(e, t, 100, hot);
    SensorFrame idle = Frame(45, 2);
    idle.cpuClock = 800;  // clock of quiet samples is not folded
    idle.thermalThrottleKnown = true;
    FeedSeconds(e, t, 91, idle);
    ASSERT_EQ(host.periods.size(), 1u);
    const HeavyUsePeriod& p = host.periods[0];
    EXPECT_NEAR(p.duration, 199, 1e-9);  // trailing quiet time not counted
    EXPECT_TRUE(p.precise);
    EXPECT_EQ(p.maxCpuTemp, 90);
    EXPECT_EQ(p.maxGpuTemp, 75);
    EXPECT_NEAR(p.busySeconds, 140, 1e-9);   // from the period start at t=70 (dt counted from then)
    EXPECT_NEAR(p.atLimitSeconds, 40, 1e-9);
    EXPECT_NEAR(p.avgCpuClock, (40 * 3000 + 100 * 2000) / 140.0, 1e-6);
    EXPECT_NEAR(p.avgCpuPower, (40 * 40 + 100 * 20) / 140.0, 1e-6);
    EXPECT_EQ(p.startTime, host.wall + static_cast<int64_t>(10.0 - 100.0));
    gClock = nullptr;
}

TEST(UsageTracker, InterruptedHeavyRunRestartsTheCount) {
    FakeHost host;
    SamplingEngine e(host);
    double t = 0;
    e.fold(Frame(80, 90), t);
    FeedSeconds(e, t, 40, Frame(80, 90));
    FeedSeconds(e, t, 1, Frame(80, 10));
    FeedSeconds(e, t, 60, Frame(80, 90));  // 59 s since the run restarted
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
    FeedSeconds(e, t, 1, Frame(80, 90));
    EXPECT_TRUE(e.snapshot().currentPeriod.has_value());
}

TEST(UsageTracker, GpuLoadAloneIsHeavyAndBenchmarkCountsAsQuiet) {
    FakeHost host;
    SamplingEngine e(host);
    double t = 0;
    SensorFrame f = Frame(70, 5);
    f.gpu = GpuSummary{};
    f.gpu->load = 80;
    e.fold(f, t);
    FeedSeconds(e, t, 300, f);
    ASSERT_TRUE(e.snapshot().currentPeriod.has_value());
    e.setBenchmarkRunning(true);
    FeedSeconds(e, t, 90, Frame(95, 100));
    EXPECT_TRUE(e.snapshot().currentPeriod.has_value());
    EXPECT_EQ(e.snapshot().busySecondsRecent, 0);
    FeedSeconds(e, t, 1, Frame(95, 100));
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
    ASSERT_EQ(host.periods.size(), 1u);
    EXPECT_NEAR(host.periods[0].duration, 300, 1e-9);
    EXPECT_EQ(host.periods[0].busySeconds, 0);
}

TEST(UsageTracker, StopRecordsThePeriodInProgress) {
    FakeHost host;
    std::stop_source stop;
    int polls = 0;
    host.make = One([&](SensorFrame& f) {
        f.cpuLoad = 100;
        f.cpuTemp = 70;
        if (++polls == 400) stop.request_stop();
    });
    SamplingEngine e(host);
    e.setInterval(1000);
    e.runWorker(stop.get_token());
    ASSERT_EQ(host.periods.size(), 1u);
    EXPECT_GE(host.periods[0].duration, 390);
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
}

// The machine slept for eight hours between two runs of heavy use. Neither the
// hours asleep nor the gap may count: no period is longer than the second run.
TEST(UsageTracker, SleepBetweenTwoRunsIsNeverTimeSpent) {
    for (const bool notified : {true, false}) {
        FakeHost host;
        gClock = &host;
        SamplingEngine e(host);
        double t = host.now;
        const SensorFrame heavy = Frame(96, 100);  // busy and at the limit
        e.fold(heavy, t);
        FeedSeconds(e, t, 20, heavy);
        if (notified) e.suspend();
        e.fold(heavy, t + 0.5);  // a cycle between the notice and the sleep
        t += 8 * 3600.0;
        host.now = t;
        if (notified) e.resume();
        FeedSeconds(e, t, 200, heavy);
        e.closeActivePeriod();
        ASSERT_EQ(host.periods.size(), 1u) << notified;
        const HeavyUsePeriod& p = host.periods[0];
        EXPECT_LE(p.duration, 200.0) << notified;
        EXPECT_GE(p.duration, 195.0) << notified;
        EXPECT_LE(p.busySeconds, 200.0) << notified;
        EXPECT_LE(p.atLimitSeconds, 200.0) << notified;
        EXPECT_LE(e.snapshot().busySecondsRecent, 200.0) << notified;
        gClock = nullptr;
    }
}

TEST(UsageTracker, SuspendClosesThePeriodAndNothingCountsUntilResume) {
    FakeHost host;
    gClock = &host;
    SamplingEngine e(host);
    double t = host.now;
    e.fold(Frame(80, 90), t);
    FeedSeconds(e, t, 250, Frame(80, 90));
    e.suspend();
    EXPECT_TRUE(e.suspended());
    ASSERT_EQ(host.periods.size(), 1u);  // closed as at stop
    EXPECT_NEAR(host.periods[0].duration, 250, 1e-9);
    FeedSeconds(e, t, 30, Frame(80, 90));  // cycles before the sleep starts
    EXPECT_FALSE(e.snapshot().currentPeriod.has_value());
    EXPECT_EQ(e.snapshot().busySecondsRecent, 250);
    e.resume();
    FeedSeconds(e, t, 70, Frame(80, 90));
    ASSERT_TRUE(e.snapshot().currentPeriod.has_value());  // a fresh run of 60 s started at resume
    EXPECT_NEAR(e.snapshot().currentPeriod->duration, 69, 1e-9);
    // A suspend notice whose resume never came ends by itself after a minute.
    e.suspend();
    FeedSeconds(e, t, 61, Frame(80, 90));
    EXPECT_FALSE(e.suspended());
    gClock = nullptr;
}

// A long period is kept provisionally from 180 s on, at most once a minute, so a
// process killed at any moment loses at most a minute of it.
TEST(UsageTracker, LongPeriodIsKeptProvisionallyEveryMinute) {
    FakeHost host;
    gClock = &host;
    SamplingEngine e(host);
    double t = host.now;
    const double start = t;
    e.fold(Frame(80, 90), t);
    FeedSeconds(e, t, 179, Frame(80, 90));
    EXPECT_TRUE(host.provisional.empty());
    FeedSeconds(e, t, 1, Frame(80, 90));
    ASSERT_EQ(host.provisional.size(), 1u);
    EXPECT_NEAR(host.provisional[0].second.duration, 180, 1e-9);
    FeedSeconds(e, t, 400, Frame(80, 90));
    ASSERT_EQ(host.provisional.size(), 7u);
    for (size_t i = 1; i < host.provisional.size(); ++i) {
        EXPECT_GE(host.provisional[i].first - host.provisional[i - 1].first, 60.0);
        EXPECT_LE(t - start - host.provisional.back().second.duration, 61.0);
    }
    EXPECT_EQ(host.provisional.back().second.startTime, host.provisional[0].second.startTime);
    EXPECT_TRUE(host.periods.empty());
    FeedSeconds(e, t, 91, Frame(50, 5));
    ASSERT_EQ(host.periods.size(), 1u);  // the final record replaces the provisional one
    EXPECT_NEAR(host.periods[0].duration, 580, 1e-9);
    // The quiet run brought the provisional figure up to date once, and not again.
    ASSERT_EQ(host.provisional.size(), 8u);
    EXPECT_NEAR(host.provisional.back().second.duration, 580, 1e-9);
    gClock = nullptr;
}

// One NaN or infinity from a source must not pin minimum, maximum, the smoothed
// temperature or the chart: it is left out and the last good value stays.
TEST(SamplingFold, NonFiniteReadingsNeverEnterTheFold) {
    FakeHost host;
    SamplingEngine e(host);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    SensorFrame good = Frame(60, 50);
    good.add(L"cpu/clock/avg", L"cpu", L"x", SensorKind::Clock, 3000);
    e.fold(good, 1);
    SensorFrame bad = Frame(nan, nan);
    bad.cpuClock = inf;
    bad.cpuPackagePower = -inf;
    bad.gpu = GpuSummary{};
    bad.gpu->temperature = inf;
    bad.gpu->load = nan;
    bad.fans = {{L"fan", nan}, {L"ok", 1200}};
    bad.add(L"cpu/clock/avg", L"cpu", L"x", SensorKind::Clock, inf);
    bad.add(L"new/nan", L"cpu", L"x", SensorKind::Load, nan);
    e.fold(bad, 2);
    e.fold(Frame(62, 50), 3);
    const SensorSnapshot s = e.snapshot();
    ASSERT_EQ(s.sensors.size(), 1u);
    EXPECT_EQ(s.sensors[0].value, 3000);
    EXPECT_EQ(s.sensors[0].max, 3000);
    EXPECT_EQ(s.cpuTempMin, 60);
    EXPECT_EQ(s.cpuTempMax, 62);
    ASSERT_TRUE(s.cpuTempShown.has_value());
    EXPECT_TRUE(std::isfinite(*s.cpuTempShown));
    for (const HistoryPoint& p : s.history) {
        if (p.cpuTemp) EXPECT_TRUE(std::isfinite(*p.cpuTemp));
        EXPECT_FALSE(p.gpuTemp.has_value());
    }
    EXPECT_FALSE(s.gpuTempMax.has_value());
    e.fold(bad, 4);
    const SensorSnapshot b = e.snapshot();
    EXPECT_FALSE(b.cpuTemp.has_value());
    EXPECT_TRUE(b.cpuTempSource.empty());
    ASSERT_EQ(b.fans.size(), 1u);
    EXPECT_FALSE(b.cpuClock.has_value());
}

// ---- per-sensor history and the fold observer ----

namespace {

SensorFrame Readings(std::initializer_list<std::pair<const wchar_t*, double>> values) {
    SensorFrame f;
    for (const auto& [id, v] : values) f.add(id, L"Dev", id, SensorKind::Load, v);
    return f;
}

}  // namespace

TEST(SensorHistoryEngine, OnePointASecondAtMostAndGapsWhereTheSensorWasSilent) {
    FakeHost host;
    SamplingEngine e(host);
    // Half-second cycles: every other one opens a point.
    e.fold(Readings({{L"a", 1}, {L"b", 10}}), 100.0);
    e.fold(Readings({{L"a", 2}, {L"b", 20}}), 100.5);
    e.fold(Readings({{L"a", 3}}), 101.0);  // b silent at this point
    e.fold(Readings({{L"a", 4}, {L"b", 40}}), 102.0);
    std::vector<SensorPlotPoint> a, b, none;
    e.copySensorHistory(L"a", a);
    e.copySensorHistory(L"b", b);
    e.copySensorHistory(L"missing", none);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].time, 100.0);
    EXPECT_EQ(a[0].value, 1.0f);  // the half-second cycle did not replace it
    EXPECT_EQ(a[2].value, 4.0f);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1].time, 102.0);
    EXPECT_TRUE(none.empty());
}

TEST(SensorHistoryEngine, BoundedToEighteenHundredPointsAndTheLastHalfHour) {
    FakeHost host;
    SamplingEngine e(host);
    double t = 0;
    for (int i = 0; i < 2500; ++i) e.fold(Readings({{L"a", static_cast<double>(i)}}), t += 1.0);
    std::vector<SensorPlotPoint> a;
    e.copySensorHistory(L"a", a);
    ASSERT_EQ(a.size(), kSensorHistoryPoints);
    EXPECT_EQ(a.back().value, 2499.0f);
    EXPECT_EQ(a.front().value, 700.0f);
    // Slow cycles: the ring holds more than half an hour, the copy only the last 1810 s.
    SamplingEngine slow(host);
    t = 0;
    for (int i = 0; i < 1000; ++i) slow.fold(Readings({{L"a", 1}}), t += 5.0);
    slow.copySensorHistory(L"a", a);
    EXPECT_EQ(a.size(), 363u);  // 5000 - 1810 = 3190 ... 5000 in steps of 5
    EXPECT_GE(a.front().time, 5000.0 - 1810.0);
}

TEST(SensorHistoryEngine, ASensorThatAppearsLateHasNoEarlierPoints) {
    FakeHost host;
    SamplingEngine e(host);
    e.fold(Readings({{L"a", 1}}), 1.0);
    e.fold(Readings({{L"a", 1}, {L"late", 7}}), 2.0);
    std::vector<SensorPlotPoint> late;
    e.copySensorHistory(L"late", late);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].time, 2.0);
}

TEST(FoldObserverEngine, SeesWhichSensorsReportedInThisCycle) {
    struct Recorder : FoldObserver {
        std::vector<uint8_t> reported;
        size_t sensors = 0;
        void folded(double now, const std::vector<SensorEntry>& s) override {
            sensors = s.size();
            reported.clear();
            for (const SensorEntry& e : s) reported.push_back(e.seenAt == now);
        }
    } recorder;
    FakeHost host;
    SamplingEngine e(host);
    e.setFoldObserver(&recorder);
    e.fold(Readings({{L"a", 1}, {L"b", 2}}), 1.0);
    e.fold(Readings({{L"b", NAN}, {L"c", 3}}), 2.0);  // a silent, b not finite
    EXPECT_EQ(recorder.sensors, 3u);
    EXPECT_EQ(recorder.reported, (std::vector<uint8_t>{0, 0, 1}));
}
