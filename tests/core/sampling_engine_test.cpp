// The sampling engine: worker, fold, heavy-use periods and per-sensor history.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "tests/core/engine_fakes.h"

using namespace kalorix;

namespace {

using Poll = std::function<void(SensorFrame&)>;
using ProviderList = std::vector<std::unique_ptr<Provider>>;

struct ScriptedProvider : Provider {
    const wchar_t* label;
    Poll fn;
    ScriptedProvider(const wchar_t* n, Poll f) : label(n), fn(std::move(f)) {}
    const wchar_t* name() const override { return label; }
    void poll(SensorFrame& f) override { fn(f); }
};

// Fake platform: the clock moves only when the engine sleeps or a poll moves it.
struct FakeHost : test::NullHost {
    double now = 100.0;
    int64_t wall = 1'700'000'000;
    std::vector<std::pair<const wchar_t*, Poll>> providers;
    std::function<void()> onSleep;
    std::wstring bios;
    int posts = 0, sleeps = 0;
    std::vector<HeavyUsePeriod> periods, provisional;

    double monotonicNow() override { return now; }
    int64_t wallNow() override { return wall + static_cast<int64_t>(now - 100.0); }
    void sleepMs(int ms) override {
        ++sleeps, now += ms / 1000.0;
        if (onSleep) onSleep();
    }
    ProviderList createProviders(bool) override {
        ProviderList v;
        for (const auto& [name, fn] : providers) v.push_back(std::make_unique<ScriptedProvider>(name, fn));
        return v;
    }
    std::wstring biosManufacturer() override { return bios; }
    void postReady(void*) override { ++posts; }
    void recordPeriod(const HeavyUsePeriod& p) override { periods.push_back(p); }
    void recordProvisionalPeriod(const HeavyUsePeriod& p) override { provisional.push_back(p); }
};

SensorFrame Frame(std::optional<double> cpuTemp, std::optional<double> load = std::nullopt) {
    SensorFrame f;
    f.cpuTemp = cpuTemp, f.cpuLoad = load;
    if (cpuTemp) f.cpuTempSource = L"ACPI";
    return f;
}

SensorFrame Readings(std::initializer_list<std::pair<const wchar_t*, double>> values) {
    SensorFrame f;
    for (const auto& [id, v] : values) f.add(id, L"Dev", id, SensorKind::Load, v);
    return f;
}

// An engine on a fake host whose clock follows the folded times.
struct Rig {
    FakeHost host;
    SamplingEngine e{host};
    double t = host.now;
    // The first fold at the current time, then one a second.
    void start(const SensorFrame& f, int seconds) { e.fold(f, t), feed(seconds, f); }
    void feed(int seconds, const SensorFrame& f) {
        for (int i = 0; i < seconds; ++i) e.fold(f, host.now = t += 1.0);
    }
    SensorSnapshot snap() { return e.snapshot(); }
    std::vector<SensorPlotPoint> history(const wchar_t* id) {
        std::vector<SensorPlotPoint> v;
        e.copySensorHistory(id, v);
        return v;
    }
};

// Runs the worker until `polls` cycles were made.
SensorSnapshot RunCycles(FakeHost& host, int polls) {
    std::stop_source stop;
    auto count = std::make_shared<int>(0);
    host.providers.push_back({L"stopper", [=](SensorFrame&) { if (++*count == polls) stop.request_stop(); }});
    SamplingEngine e(host);
    e.runWorker(stop.get_token());
    host.providers.pop_back();
    return e.snapshot();
}

}  // namespace

TEST(SamplingEngine, HeadlinePrecedenceAndAThrowingProviderKeepsItsReadings) {
    Poll acpi = [](SensorFrame& f) {
        f.add(L"acpi/tz0", L"ACPI", L"TZ0", SensorKind::Temperature, 60);
        if (!f.cpuTemp) f.cpuTemp = 60, f.cpuTempSource = L"ACPI";
    };
    Poll msi = [](SensorFrame& f) {
        f.add(L"msi/temp/cpu", L"MSI", L"CPU", SensorKind::Temperature, 70);
        f.add(L"msi/fan/1", L"MSI", L"Fan 1", SensorKind::Fan, 2000);
        if (f.cpuTempSource != L"PawnIO") f.cpuTemp = 70, f.cpuTempSource = L"MSI EC";
        throw std::runtime_error("EC timeout");
    };
    FakeHost host;
    host.bios = L"  Micro-Star International Co., Ltd. ";
    host.providers = {{L"acpi", acpi}, {L"MSI gömülü denetleyici", msi}};
    SensorSnapshot s = RunCycles(host, 2);
    EXPECT_TRUE(s.cpuTempSource == L"MSI EC" && s.msiProviderActive && s.msiBoard && s.sensors.size() == 3);

    host.bios = L"American Megatrends";
    host.providers.push_back({L"PawnIO", [](SensorFrame& f) { f.cpuTemp = 66, f.cpuTempSource = L"PawnIO"; }});
    s = RunCycles(host, 2);
    EXPECT_EQ(std::tuple(*s.cpuTemp, s.pawnIoActive, s.msiBoard), std::tuple(66.0, true, false));
}

// On a real thread: stopping joins the worker and records the heavy-use period in progress.
TEST(SamplingEngine, StopOnARealThreadRecordsThePeriodInProgress) {
    FakeHost host;  // only the worker touches its clock while running
    std::atomic<int> polls{0};
    host.providers = {{L"p", [&](SensorFrame& f) { ++polls, f.cpuLoad = 100, f.cpuTemp = 70; }}};
    SamplingEngine e(host);
    int window = 0;
    e.start(&window, 500, true);
    while (polls.load() < 500) std::this_thread::yield();
    e.stop();
    EXPECT_TRUE(!e.running() && host.posts >= 1 && !e.snapshot().currentPeriod);
    ASSERT_EQ(host.periods.size(), 1u);
    EXPECT_GE(host.periods[0].duration, 240);
}

TEST(SamplingEngine, PrimingPollPublishesNothingAndCyclesStartOneIntervalApart) {
    FakeHost host;
    std::vector<double> starts;
    std::stop_source stop;
    SamplingEngine* engine = nullptr;
    bool validAfterPriming = true;
    host.providers = {{L"p", [&](SensorFrame& f) {
                           starts.push_back(host.now);
                           if (starts.size() == 2) validAfterPriming = engine->snapshot().valid;
                           f.cpuTemp = 50.0 + starts.size();
                           host.now += 0.3;  // each poll costs 300 ms
                           if (starts.size() == 5) stop.request_stop();
                       }}};
    SamplingEngine e(host);
    engine = &e;
    e.setInterval(1000);
    e.runWorker(stop.get_token());
    // The priming poll is no point of the chart either.
    EXPECT_EQ(std::tuple(validAfterPriming, *e.snapshot().cpuTemp, e.snapshot().history.size()),
              std::tuple(false, 55.0, size_t{4}));
    ASSERT_EQ(starts.size(), 5u);
    for (int i : {2, 3}) EXPECT_NEAR(starts[i + 1] - starts[i], 1.025, 0.025 + 1e-9);  // waits in 50 ms steps

    // A stop request is seen at the first 50 ms step of the wait.
    FakeHost quick;
    std::stop_source stop2;
    quick.providers = {{L"p", [](SensorFrame& f) { f.cpuTemp = 1; }}}, quick.onSleep = [&] { stop2.request_stop(); };
    SamplingEngine(quick).runWorker(stop2.get_token());
    EXPECT_EQ(quick.sleeps, 1);
}

TEST(SamplingFold, MinMaxFirstAppearanceResetAndDisappearingSensor) {
    Rig r;
    r.e.fold(Readings({{L"a", 10}, {L"b", 5}}), 1.0);
    SensorFrame f;
    f.add(L"b", L"other", L"B2", SensorKind::Fan, 7), f.add(L"a", L"Dev", L"a", SensorKind::Load, 3);
    r.e.fold(f, 2.0);
    r.e.fold(Readings({{L"c", 1}}), 3.0);
    SensorSnapshot s = r.snap();
    ASSERT_EQ(s.sensors.size(), 3u);
    EXPECT_EQ(s.sensors[0].max, 10);
    // "b" keeps its first label and kind, and its last value after disappearing.
    EXPECT_EQ(std::tuple(s.sensors[1].label, s.sensors[1].kind, s.sensors[1].value),
              std::tuple(std::wstring(L"b"), SensorKind::Load, 7.0));

    // Reset: min and max restart from the current value.
    r.e.fold(Frame(70), 4.0), r.e.requestReset(), r.e.fold(Frame(65), 5.0);
    s = r.snap();
    EXPECT_EQ(std::pair(*s.cpuTempMax, s.sensors[0].max), std::pair(65.0, 3.0));
}

TEST(SamplingFold, SmoothingStepGapAndSwitching) {
    Rig r;
    auto shown = [&](std::optional<double> temp, double at) {
        r.e.fold(Frame(temp), at);
        return r.snap().cpuTempShown;
    };
    r.e.fold(Frame(50), 10.0);
    EXPECT_NEAR(*shown(80, 11.0), 58.5, 0.05);  // time constant 3 s
    EXPECT_EQ(*r.snap().cpuTemp, 80);          // the headline keeps the raw value
    EXPECT_EQ(*shown(40, 26.5), 40);           // a gap over 15 s shows the raw value
    EXPECT_FALSE(shown(std::nullopt, 27.5));
    EXPECT_EQ(*shown(90, 28.5), 90);  // after an absence it starts afresh
    r.e.setSmoothing(false);
    EXPECT_EQ(*shown(30, 29.5), 30);
    r.e.setSmoothing(true);  // switched on again: starts from the raw value
    EXPECT_NEAR(*shown(60, 30.5), 38.5, 0.05);
}

// One NaN or infinity must not pin min, max, the smoothed value or the chart.
TEST(SamplingFold, NonFiniteReadingsNeverEnterTheFold) {
    Rig r;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    SensorFrame good = Frame(60, 50);
    good.add(L"clk", L"cpu", L"x", SensorKind::Clock, 3000);
    r.e.fold(good, 1);
    SensorFrame bad = Frame(nan, nan);
    bad.cpuClock = inf, bad.gpu = GpuSummary{.temperature = inf}, bad.fans = {{L"fan", nan}, {L"ok", 1200}};
    bad.add(L"clk", L"cpu", L"x", SensorKind::Clock, inf), bad.add(L"new/nan", L"cpu", L"x", SensorKind::Load, nan);
    r.e.fold(bad, 2), r.e.fold(Frame(62, 50), 3);
    SensorSnapshot s = r.snap();
    ASSERT_EQ(s.sensors.size(), 1u);
    EXPECT_EQ(std::pair(s.sensors[0].max, *s.cpuTempMax), std::pair(3000.0, 62.0));
    EXPECT_TRUE(std::isfinite(*s.cpuTempShown));
    for (const HistoryPoint& p : s.history) EXPECT_TRUE((!p.cpuTemp || std::isfinite(*p.cpuTemp)) && !p.gpuTemp);
    r.e.fold(bad, 4);
    EXPECT_TRUE(!r.snap().cpuTemp && r.snap().fans.size() == 1);
}

TEST(UsageTracker, BusyAndAtLimitSecondsOverTenMinutes) {
    Rig r;
    r.start(Frame(95.0, 60), 10);
    EXPECT_TRUE(r.snap().atLimitNow);
    r.feed(5, Frame(94.9, 60));  // without TjMax or flag the limit is 95 °C
    EXPECT_FALSE(r.snap().atLimitNow);
    EXPECT_DOUBLE_EQ(r.snap().atLimitSecondsRecent, 10);
    SensorFrame f = Frame(99, 90);  // with TjMax 100 the processor's flag decides
    f.tjMax = 100, f.thermalThrottleKnown = true;
    for (bool flag : {false, true}) {
        f.thermalThrottle = flag, f.cpuTemp = flag ? 80 : 99;
        r.feed(1, f);
        EXPECT_EQ(r.snap().atLimitNow, flag);
    }
    // A gap up to 15 s counts at most 5 s, a longer one nothing; after 600 s it all falls out.
    r.e.fold(Frame(95, 60), r.t += 14);
    EXPECT_DOUBLE_EQ(r.snap().busySecondsRecent, 10 + 5 + 1 + 1 + 5);
    r.e.fold(Frame(95, 60), r.t += 16);
    EXPECT_DOUBLE_EQ(r.snap().busySecondsRecent, 22);
    r.feed(700, Frame(40, 10));
    EXPECT_DOUBLE_EQ(r.snap().busySecondsRecent, 0);
}

TEST(UsageTracker, SixtySecondsOfUnbrokenHeavyUseOpenAPeriod) {
    Rig r;
    r.start(Frame(80, 90), 40);
    r.feed(1, Frame(80, 10));  // interruption restarts the count
    r.feed(60, Frame(80, 90));
    EXPECT_FALSE(r.snap().currentPeriod.has_value());
    r.feed(1, Frame(80, 90));
    EXPECT_TRUE(r.snap().currentPeriod.has_value());

    Rig g;  // GPU load alone is heavy
    SensorFrame gpu = Frame(70, 5);
    gpu.gpu = GpuSummary{.load = 80};
    g.start(gpu, 61);
    EXPECT_TRUE(g.snap().currentPeriod.has_value());

    Rig m;  // moderate load makes a period without busy seconds
    m.start(Frame(70, 45), 600);
    m.e.closeActivePeriod();
    ASSERT_EQ(m.host.periods.size(), 1u);
    // No busy seconds; starts at the wall clock of the first heavy sample.
    EXPECT_EQ(std::pair(m.host.periods[0].busySeconds, m.host.periods[0].startTime), std::pair(0.0, m.host.wall));
}

TEST(UsageTracker, ShortPeriodIsDroppedAndBenchmarkCountsAsQuiet) {
    Rig r;
    r.start(Frame(80, 90), 150);
    r.e.setBenchmarkRunning(true);
    r.feed(90, Frame(95, 100));  // quiet for 89 s since the first quiet sample
    ASSERT_TRUE(r.snap().currentPeriod.has_value());
    EXPECT_EQ(r.snap().busySecondsRecent, 150);
    r.feed(1, Frame(95, 100));
    EXPECT_TRUE(!r.snap().currentPeriod && r.host.periods.empty());  // under 180 s is not recorded
}

TEST(UsageTracker, LongPeriodIsRecordedWithWeightedMeans) {
    Rig r;
    SensorFrame hot = Frame(90, 100);
    hot.cpuClock = 3000, hot.thermalThrottleKnown = hot.thermalThrottle = true;
    r.start(hot, 99);
    hot.cpuClock = 2000, hot.thermalThrottle = false, hot.cpuTemp = 80;
    r.feed(100, hot);
    SensorFrame idle = Frame(45, 2);
    idle.cpuClock = 800, idle.thermalThrottleKnown = true;  // quiet samples are not folded
    r.feed(91, idle);
    ASSERT_EQ(r.host.periods.size(), 1u);
    const HeavyUsePeriod& p = r.host.periods[0];
    // Trailing quiet time not counted; busy seconds counted from the period's start.
    EXPECT_EQ(std::tuple(p.duration, p.precise, p.maxCpuTemp, p.busySeconds, p.atLimitSeconds),
              std::tuple(199.0, true, 90.0, 140.0, 40.0));
    EXPECT_NEAR(p.avgCpuClock, (40 * 3000 + 100 * 2000) / 140.0, 1e-6);
}

// Eight hours asleep without a notice between two heavy runs: neither the sleep
// nor the gap counts (a notified sleep: the next test).
TEST(UsageTracker, SleepBetweenTwoRunsIsNeverTimeSpent) {
    Rig r;
    const SensorFrame heavy = Frame(96, 100);
    r.start(heavy, 20);
    r.host.now = r.t += 8 * 3600.0;
    r.feed(200, heavy), r.e.closeActivePeriod();
    ASSERT_EQ(r.host.periods.size(), 1u);
    const HeavyUsePeriod& p = r.host.periods[0];
    EXPECT_TRUE(p.duration >= 195.0 && p.duration <= 200.0) << p.duration;
    EXPECT_TRUE(p.atLimitSeconds <= 200.0 && r.snap().busySecondsRecent <= 200.0);
}

TEST(UsageTracker, SuspendClosesThePeriodAndAnUnansweredNoticeExpires) {
    Rig r;
    r.start(Frame(80, 90), 250);
    r.e.suspend();
    ASSERT_EQ(r.host.periods.size(), 1u);
    EXPECT_NEAR(r.host.periods[0].duration, 250, 1e-9);
    r.feed(30, Frame(80, 90));  // cycles before the sleep starts count nothing
    EXPECT_EQ(r.snap().busySecondsRecent, 250);
    r.host.now = r.t += 8 * 3600.0, r.e.resume(), r.feed(70, Frame(80, 90));  // after 8 hours asleep
    EXPECT_NEAR(r.snap().currentPeriod->duration, 69, 1e-9);
    r.e.suspend(), r.feed(61, Frame(80, 90));  // a notice not followed by sleep expires
    EXPECT_FALSE(r.e.suspended());
}

// From 180 s on a long period is kept provisionally, at most once a minute, so a
// killed process loses at most a minute of it.
TEST(UsageTracker, LongPeriodIsKeptProvisionallyEveryMinute) {
    Rig r;
    r.start(Frame(80, 90), 179);
    EXPECT_TRUE(r.host.provisional.empty());
    r.feed(1, Frame(80, 90));
    ASSERT_EQ(r.host.provisional.size(), 1u);
    r.feed(400, Frame(80, 90));
    ASSERT_EQ(r.host.provisional.size(), 7u);
    EXPECT_LE(580 - r.host.provisional.back().duration, 61.0);
    EXPECT_TRUE(r.host.provisional.back().startTime == r.host.provisional[0].startTime && r.host.periods.empty());
    r.feed(91, Frame(50, 5));
    // Brought up to date once by the quiet run.
    EXPECT_EQ(std::pair(r.host.periods.size(), r.host.provisional.size()), std::pair(size_t{1}, size_t{8}));
}

TEST(SensorHistoryEngine, OnePointASecondWithGapsAndLateSensorsBoundedToTheLastHalfHour) {
    Rig r;
    r.e.fold(Readings({{L"a", 1}, {L"b", 10}}), 100.0);
    r.e.fold(Readings({{L"a", 2}, {L"b", 20}}), 100.5);  // half a second later: no new point
    r.e.fold(Readings({{L"a", 3}, {L"late", 7}}), 101.0);  // b silent
    r.e.fold(Readings({{L"a", 4}, {L"b", 40}}), 102.0);
    auto times = [&](const wchar_t* id) {
        std::vector<double> t;
        for (const SensorPlotPoint& p : r.history(id)) t.push_back(p.time);
        return t;
    };
    EXPECT_EQ(times(L"a"), (std::vector<double>{100, 101, 102}));
    EXPECT_EQ(times(L"b"), (std::vector<double>{100, 102}));
    EXPECT_EQ(times(L"late"), std::vector<double>{101});
    EXPECT_TRUE(times(L"missing").empty());

    // The chart keeps 1810 s; a sensor's history its point count, and with slow cycles only the last 1810 s.
    for (int i = 0; i < 2500; ++i) {
        SensorFrame f = Readings({{L"a", double(i)}});
        f.cpuTemp = 50;
        r.e.fold(f, 1000.0 + i);
    }
    EXPECT_EQ(r.snap().history.size(), 1811u);
    EXPECT_EQ(r.snap().history.front().time, 3499.0 - 1810);
    ASSERT_EQ(r.history(L"a").size(), kSensorHistoryPoints);
    EXPECT_EQ(r.history(L"a").back().value, 2499.0f);
    Rig slow;
    for (int i = 0; i < 1000; ++i) slow.e.fold(Readings({{L"a", 1}}), 5.0 * (i + 1));
    EXPECT_EQ(slow.history(L"a").size(), 363u);
}

TEST(FoldObserverEngine, SeesWhichSensorsReportedInThisCycle) {
    struct Recorder : FoldObserver {
        std::vector<uint8_t> reported;
        void folded(double now, const std::vector<SensorEntry>& s) override {
            reported.clear();
            for (const SensorEntry& e : s) reported.push_back(e.seenAt == now);
        }
    } recorder;
    Rig r;
    r.e.setFoldObserver(&recorder);
    r.e.fold(Readings({{L"a", 1}, {L"b", 2}}), 1.0);
    r.e.fold(Readings({{L"b", NAN}, {L"c", 3}}), 2.0);  // a silent, b not finite
    EXPECT_EQ(recorder.reported, (std::vector<uint8_t>{0, 0, 1}));
}
