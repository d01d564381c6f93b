#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "bench/test_series.h"

namespace kalorix {
namespace {

// The window as the series sees it: a runner that runs one child at a time,
// a one-shot timer and the two stores, every call written to a log.
class FakeHost : public TestSeriesHost {
public:
    bool launchTest(BenchKind kind, wchar_t drive) override {
        if (running || refuse.count(kind)) {
            log.push_back(std::string("refused ") + BenchKindWord(kind));
            return false;
        }
        running = true;
        log.push_back(std::string("launch ") + BenchKindWord(kind) + (drive ? std::string(1, char(drive)) : ""));
        return true;
    }
    void stopTest(const std::wstring&) override { log.push_back("stop"); }
    bool testRunning() override { return running; }
    void armPause(uint32_t ms) override { timer = true, log.push_back("pause " + std::to_string(ms)); }
    void cancelPause() override { timer = false; }
    uint64_t nowMs() override { return now; }
    void storeResult(const BenchOutcome& o) override { log.push_back(std::string("store ") + BenchKindWord(o.kind)); }
    void seriesSucceeded() override { log.push_back("pending"); }

    // The running child ends; the window hands its outcome to the series.
    void end(TestSeries& series, BenchKind kind, bool success, std::wstring error = {}) {
        running = false;
        series.runEnded(BenchOutcome{.kind = kind, .success = success, .error = std::move(error)});
    }
    // The timer fires (only while armed, as a killed timer never does).
    void fire(TestSeries& series) {
        ASSERT_TRUE(timer);
        series.pauseElapsed();
    }

    bool running = false;
    bool timer = false;
    uint64_t now = 1000;
    std::set<BenchKind> refuse;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST(TestSeries, RunAllGoesOnAfterAFailureAndMarksThePendingReportOnce) {
    FakeHost host;
    TestSeries series(host);
    ASSERT_TRUE(series.startAll());
    host.end(series, BenchKind::Cpu, true);
    host.fire(series);
    host.end(series, BenchKind::Memory, true);
    host.fire(series);
    host.end(series, BenchKind::Gpu, false, L"Test programı derlenemedi. E5000");
    EXPECT_TRUE(series.active());  // the failure does not end the series
    host.fire(series);
    host.end(series, BenchKind::Disk, true);
    EXPECT_EQ(host.log, (Log{"launch cpu", "store cpu", "pause 2500", "launch memory", "store memory", "pause 2500",
                             "launch gpu", "pause 2500", "launch disk", "store disk", "pending"}));
    EXPECT_FALSE(series.active() || host.timer);
    EXPECT_EQ(series.view().errors[1], L"Test programı derlenemedi. E5000");  // stays on the GPU card
}

TEST(TestSeries, ASeriesWithoutSuccessMarksNothing) {
    FakeHost host;
    TestSeries series(host);
    series.startAll();
    for (BenchKind k : {BenchKind::Cpu, BenchKind::Memory, BenchKind::Gpu}) {
        host.end(series, k, false);
        host.fire(series);
    }
    host.end(series, BenchKind::Disk, false);
    EXPECT_FALSE(series.active());
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "pending"), 0);
    EXPECT_EQ(series.view().errors[3], L"Test beklenmedik şekilde sonlandı");  // an end without a reason
}

TEST(TestSeries, ManualStartIsRefusedDuringTheSeriesAndItsPause) {
    FakeHost host;
    TestSeries series(host);
    series.startAll();
    EXPECT_FALSE(series.startOne(BenchKind::Disk, L'D'));
    EXPECT_FALSE(series.startAll());
    host.end(series, BenchKind::Cpu, true);
    ASSERT_TRUE(series.view().pausing);
    EXPECT_FALSE(series.startOne(BenchKind::Memory, 0));  // in the pause: no test runs twice
    EXPECT_FALSE(series.startOne(BenchKind::Cpu, 0));
    host.fire(series);
    EXPECT_EQ(host.log, (Log{"launch cpu", "store cpu", "pause 2500", "launch memory"}));
    EXPECT_EQ(series.view().queue, (std::vector<BenchKind>{BenchKind::Gpu, BenchKind::Disk}));
}

TEST(TestSeries, StopDuringThePauseEndsTheSeriesAndKeepsEarlierResults) {
    FakeHost host;
    TestSeries series(host);
    series.startAll();
    host.end(series, BenchKind::Cpu, true);
    series.stop();
    EXPECT_FALSE(host.timer || series.active());
    EXPECT_EQ(host.log, (Log{"launch cpu", "store cpu", "pause 2500", "pending"}));
    EXPECT_TRUE(series.startOne(BenchKind::Disk, L'D'));  // free again
    EXPECT_EQ(host.log.back(), "launch diskD");
}

TEST(TestSeries, StopWhileATestRunsEndsTheSeriesWhenTheRunEnds) {
    FakeHost host;
    TestSeries series(host);
    series.startAll();
    series.stop();
    EXPECT_TRUE(series.awaitingEnd());
    host.end(series, BenchKind::Cpu, false, kStopByUser);
    EXPECT_EQ(host.log, (Log{"launch cpu", "stop"}));
    EXPECT_FALSE(series.active());
    EXPECT_EQ(series.view().errors[0], L"Test durduruldu");
}

TEST(TestSeries, AStartFailureMidSeriesShowsOnItsCardAndTheSeriesGoesOn) {
    FakeHost host;
    host.refuse = {BenchKind::Gpu, BenchKind::Disk};
    TestSeries series(host);
    series.startAll();
    host.end(series, BenchKind::Cpu, false, L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");
    host.fire(series);
    host.end(series, BenchKind::Memory, true);
    host.fire(series);  // the GPU test cannot start: next pause
    EXPECT_EQ(series.view().errors[1], L"Test başlatılamadı");
    host.fire(series);  // nor the disk test: the series ends with the memory result
    EXPECT_EQ(host.log, (Log{"launch cpu", "pause 2500", "launch memory", "store memory", "pause 2500",
                             "refused gpu", "pause 2500", "refused disk", "pending"}));
    EXPECT_FALSE(series.active());
}

TEST(TestSeries, APauseEndsOnTimeWithoutItsTimerMessage) {
    FakeHost host;
    TestSeries series(host);
    series.startAll();
    host.end(series, BenchKind::Cpu, true);
    host.now += 2499;
    series.poll();  // a snapshot within the pause
    EXPECT_EQ(host.log.back(), "pause 2500");
    host.now += 1;
    series.poll();  // the timer message never came
    EXPECT_EQ(host.log.back(), "launch memory");
    EXPECT_FALSE(host.timer);
    series.pauseElapsed();  // ... or comes late: nothing starts twice
    series.poll();
    EXPECT_EQ(host.log.back(), "launch memory");
}

TEST(TestSeries, SingleTestAndItsEnds) {
    FakeHost host;
    TestSeries series(host);
    ASSERT_TRUE(series.startOne(BenchKind::Memory, 0));
    host.end(series, BenchKind::Memory, false, L"Test belleği ayrılamadı.");
    EXPECT_EQ(series.view().errors[3], L"Test belleği ayrılamadı.");
    ASSERT_TRUE(series.startOne(BenchKind::Memory, 0));
    EXPECT_TRUE(series.view().errors[3].empty());  // a new start clears the card's failure
    host.end(series, BenchKind::Memory, true);
    series.runEnded(BenchOutcome{});  // a repeated end message changes nothing
    EXPECT_EQ(host.log, (Log{"launch memory", "launch memory", "store memory", "pending"}));

    host.refuse = {BenchKind::Cpu};
    EXPECT_FALSE(series.startOne(BenchKind::Cpu, 0));
    EXPECT_FALSE(series.active());
    EXPECT_EQ(series.view().errors[0], L"Test başlatılamadı");
}

}  // namespace
}  // namespace kalorix
