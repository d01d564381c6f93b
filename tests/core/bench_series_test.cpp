// The "run all tests" series against a scripted window: order, pauses, failures, stops, refused manual starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "bench/test_series.h"

namespace kalorix {
namespace {

using Log = std::vector<std::string>;

// The window as the series sees it (one child at a time, a one-shot timer, the stores), every call logged.
class FakeHost : public TestSeriesHost {
public:
    bool launchTest(BenchKind kind, wchar_t drive) override {
        const bool ok = !running && !refuse.count(kind);
        log.push_back(std::string(ok ? "launch " : "refused ") + BenchKindWord(kind) + (drive ? std::string(1, char(drive)) : ""));
        running = running || ok;
        return ok;
    }
    void stopTest(const std::wstring&) override { log.push_back("stop"); }
    bool testRunning() override { return running; }
    void armPause(uint32_t ms) override { timer = true, log.push_back("pause " + std::to_string(ms)); }
    void cancelPause() override { timer = false; }
    uint64_t nowMs() override { return now; }
    void storeResult(const BenchOutcome& o) override { log.push_back(std::string("store ") + BenchKindWord(o.kind)); }
    void seriesSucceeded() override { log.push_back("pending"); }

    void end(BenchKind kind, bool success, std::wstring error = {}) {
        running = false, series.runEnded(BenchOutcome{.kind = kind, .success = success, .error = std::move(error)});
    }
    void fire() { ASSERT_TRUE(timer); series.pauseElapsed(); }  // only while armed, as a killed timer never fires
    void endAndFire(BenchKind kind, bool success) { end(kind, success), fire(); }

    bool running = false, timer = false;
    uint64_t now = 1000;
    std::set<BenchKind> refuse;
    Log log;
    TestSeries series{*this};
};

TEST(TestSeries, RunAllGoesOnAfterAFailureAndMarksThePendingReportOnce) {
    FakeHost h;
    ASSERT_TRUE(h.series.startAll());
    h.endAndFire(BenchKind::Cpu, true);
    h.endAndFire(BenchKind::Memory, true);
    h.end(BenchKind::Gpu, false, L"Test programı derlenemedi. E5000");
    EXPECT_TRUE(h.series.active());  // the failure does not end the series
    h.fire();
    h.end(BenchKind::Disk, true);
    EXPECT_EQ(h.log, (Log{"launch cpu", "store cpu", "pause 2500", "launch memory", "store memory", "pause 2500",
                          "launch gpu", "pause 2500", "launch disk", "store disk", "pending"}));
    EXPECT_FALSE(h.series.active() || h.timer);
    EXPECT_EQ(h.series.view().errors[1], L"Test programı derlenemedi. E5000");  // stays on the GPU card
}

TEST(TestSeries, ASeriesWithoutSuccessMarksNothing) {
    FakeHost h;
    h.series.startAll();
    for (BenchKind k : {BenchKind::Cpu, BenchKind::Memory, BenchKind::Gpu}) h.endAndFire(k, false);
    h.end(BenchKind::Disk, false);
    EXPECT_FALSE(h.series.active() || std::count(h.log.begin(), h.log.end(), "pending"));
    EXPECT_EQ(h.series.view().errors[3], L"Test beklenmedik şekilde sonlandı");  // an end without a reason
}

TEST(TestSeries, ManualStartIsRefusedDuringTheSeriesAndItsPause) {
    FakeHost h;
    h.series.startAll();
    EXPECT_FALSE(h.series.startOne(BenchKind::Disk, L'D') || h.series.startAll());
    h.end(BenchKind::Cpu, true);
    EXPECT_FALSE(h.series.startOne(BenchKind::Memory, 0));  // in the pause: no test runs twice
    h.fire();
    EXPECT_EQ(h.log, (Log{"launch cpu", "store cpu", "pause 2500", "launch memory"}));
    EXPECT_EQ(h.series.view().queue, (std::vector<BenchKind>{BenchKind::Gpu, BenchKind::Disk}));
}

TEST(TestSeries, StopInThePauseOrWhileATestRuns) {
    FakeHost h;
    h.series.startAll();
    h.end(BenchKind::Cpu, true);
    h.series.stop();  // in the pause: ends at once and keeps the earlier result
    EXPECT_FALSE(h.timer || h.series.active());
    EXPECT_EQ(h.log, (Log{"launch cpu", "store cpu", "pause 2500", "pending"}));
    EXPECT_TRUE(h.series.startOne(BenchKind::Disk, L'D') && h.log.back() == "launch diskD");  // free again

    FakeHost r;
    r.series.startAll();
    r.series.stop();  // while a test runs: the series ends with the run
    ASSERT_TRUE(r.series.awaitingEnd());
    r.end(BenchKind::Cpu, false, kStopByUser);
    EXPECT_EQ(r.log, (Log{"launch cpu", "stop"}));
    EXPECT_TRUE(!r.series.active() && r.series.view().errors[0] == L"Test durduruldu");
}

TEST(TestSeries, AStartFailureMidSeriesShowsOnItsCardAndTheSeriesGoesOn) {
    FakeHost h;
    h.refuse = {BenchKind::Gpu, BenchKind::Disk};
    h.series.startAll();
    h.endAndFire(BenchKind::Cpu, false);
    h.endAndFire(BenchKind::Memory, true);  // the GPU test cannot start: next pause
    EXPECT_EQ(h.series.view().errors[1], L"Test başlatılamadı");
    h.fire();  // nor the disk test: the series ends with the memory result
    EXPECT_EQ(h.log, (Log{"launch cpu", "pause 2500", "launch memory", "store memory", "pause 2500", "refused gpu",
                          "pause 2500", "refused disk", "pending"}));
    EXPECT_FALSE(h.series.active());
}

TEST(TestSeries, APauseEndsOnTimeWithoutItsTimerMessage) {
    FakeHost h;
    h.series.startAll();
    h.end(BenchKind::Cpu, true);
    h.now += 2499, h.series.poll();  // a snapshot within the pause
    EXPECT_EQ(h.log.back(), "pause 2500");
    h.now += 1, h.series.poll();  // the timer message never came

    EXPECT_TRUE(h.log.back() == "launch memory" && !h.timer);
    h.series.pauseElapsed();  // ... or comes late: nothing starts twice
    EXPECT_EQ(h.log.back(), "launch memory");
}

TEST(TestSeries, SingleTestAndItsEnds) {
    FakeHost h;
    ASSERT_TRUE(h.series.startOne(BenchKind::Memory, 0));
    h.end(BenchKind::Memory, false, L"Test belleği ayrılamadı.");
    EXPECT_EQ(h.series.view().errors[3], L"Test belleği ayrılamadı.");
    ASSERT_TRUE(h.series.startOne(BenchKind::Memory, 0));
    EXPECT_TRUE(h.series.view().errors[3].empty());  // a new start clears the card's failure
    h.end(BenchKind::Memory, true);
    h.series.runEnded(BenchOutcome{});  // a repeated end message changes nothing
    EXPECT_EQ(h.log, (Log{"launch memory", "launch memory", "store memory", "pending"}));
}

}  // namespace
}  // namespace kalorix
