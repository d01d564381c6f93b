// The window's test series: one test started by hand, or "Tümünü test et"
// (the processor first, then memory, graphics and disk) with a 2.5 s pause
// between two tests. A failed test shows on its own card and the series goes
// on with the next one; the user's stop ends the whole series. When a series
// ends, the report is marked pending if at least one of its tests succeeded.
// Portable: the window lends the runner, its timer and the stores through
// TestSeriesHost.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/protocol.h"

namespace kalorix {

// The end of one run as the window stores it.
struct BenchOutcome {
    BenchKind kind = BenchKind::Cpu;
    bool success = false;
    std::wstring error;
    std::map<std::string, double> metrics;
    std::map<std::string, std::wstring> info;
};

class TestSeriesHost {
public:
    virtual ~TestSeriesHost() = default;
    // Starts the child; false when it could not start (the runner keeps the reason).
    virtual bool launchTest(BenchKind kind, wchar_t driveLetter) = 0;
    virtual void stopTest(const std::wstring& reason) = 0;
    virtual bool testRunning() = 0;
    virtual void armPause(uint32_t milliseconds) = 0;  // one-shot; ends in TestSeries::pauseElapsed
    virtual void cancelPause() = 0;
    virtual uint64_t nowMs() = 0;  // the window's millisecond tick clock
    virtual void storeResult(const BenchOutcome& outcome) = 0;  // a successful run's test record
    virtual void seriesSucceeded() = 0;  // mark the report pending and run the sharing check
};

// What the Tests page shows of the series.
struct TestSeriesView {
    bool active = false;   // a test of the series runs, or the pause before the next one
    bool pausing = false;  // the pause between two tests
    std::vector<BenchKind> queue;  // still to run, in order
    // The last failure of each kind (indexed by the BenchKind value), kept until
    // that kind starts again; so every failed test of a series stays on its card.
    std::array<std::wstring, 4> errors;
};

class TestSeries {
public:
    static constexpr uint32_t kPauseMs = 2500;

    explicit TestSeries(TestSeriesHost& host) : host_(host) {}

    // One test by hand. Refused (false) while a series or another test runs.
    bool startOne(BenchKind kind, wchar_t driveLetter);
    // The processor test now; memory, graphics and disk queued. Refused (false)
    // while a series or a test runs.
    bool startAll();
    // The user's stop: empties the queue, ends the pause or stops the running test.
    void stop();
    // The runner reports the end of the run this series launched.
    void runEnded(const BenchOutcome& outcome);
    // The pause timer fired.
    void pauseElapsed();
    // Ends a pause whose time has passed. The window calls it on every sensor
    // snapshot as well, because a timer message can come late (under Wine it
    // sometimes does not come at all): a series never waits on one message.
    void poll();

    // A launched run has not ended yet (its end is still to be handled).
    bool awaitingEnd() const { return awaitingEnd_; }
    bool active() const { return view_.active; }
    const TestSeriesView& view() const { return view_; }

private:
    bool launch(BenchKind kind, wchar_t driveLetter);
    void arm();     // start the pause
    void next();    // pause before the next queued test, or finish
    void finish();  // the series is over

    TestSeriesHost& host_;
    TestSeriesView view_;
    bool awaitingEnd_ = false;
    uint64_t pauseEnd_ = 0;
    bool anySuccess_ = false;
};

}  // namespace kalorix
