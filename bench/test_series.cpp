#include "bench/test_series.h"

namespace kalorix {

namespace {
size_t Slot(BenchKind kind) { return static_cast<size_t>(kind) & 3u; }
}  // namespace

bool TestSeries::startOne(BenchKind kind, wchar_t driveLetter) {
    if (view_.active || host_.testRunning()) return false;
    view_.active = true;
    anySuccess_ = false;
    if (launch(kind, driveLetter)) return true;
    finish();
    return false;
}

bool TestSeries::startAll() {
    if (view_.active || host_.testRunning()) return false;
    view_.active = true;
    anySuccess_ = false;
    view_.queue = {BenchKind::Memory, BenchKind::Gpu, BenchKind::Disk};
    if (!launch(BenchKind::Cpu, 0)) next();
    return true;
}

void TestSeries::stop() {
    view_.queue.clear();
    if (view_.pausing) {
        host_.cancelPause();
        view_.pausing = false;
        finish();
    } else if (awaitingEnd_) {
        host_.stopTest(kStopByUser);  // the end arrives through runEnded
    }
}

void TestSeries::runEnded(const BenchOutcome& outcome) {
    if (!awaitingEnd_) return;
    awaitingEnd_ = false;
    if (outcome.success) {
        host_.storeResult(outcome);
        anySuccess_ = true;
    } else {
        view_.errors[Slot(outcome.kind)] = outcome.error.empty() ? kErrorUnexpectedEnd : outcome.error;
    }
    next();
}

void TestSeries::pauseElapsed() {
    host_.cancelPause();
    if (!view_.pausing) return;
    if (host_.testRunning()) {
        arm();  // not ours; wait until the runner is free
        return;
    }
    view_.pausing = false;
    const BenchKind kind = view_.queue.front();
    view_.queue.erase(view_.queue.begin());
    if (!launch(kind, 0)) next();
}

bool TestSeries::launch(BenchKind kind, wchar_t driveLetter) {
    view_.errors[Slot(kind)].clear();
    if (!host_.launchTest(kind, driveLetter)) {
        view_.errors[Slot(kind)] = kErrorStartFailed;
        return false;
    }
    awaitingEnd_ = true;
    return true;
}

void TestSeries::poll() {
    if (view_.pausing && host_.nowMs() >= pauseEnd_) pauseElapsed();
}

void TestSeries::arm() {
    view_.pausing = true;
    pauseEnd_ = host_.nowMs() + kPauseMs;
    host_.armPause(kPauseMs);
}

void TestSeries::next() {
    if (view_.queue.empty()) {
        finish();
        return;
    }
    arm();
}

void TestSeries::finish() {
    view_.active = false;
    view_.pausing = false;
    view_.queue.clear();
    if (anySuccess_) {
        anySuccess_ = false;
        host_.seriesSucceeded();
    }
}

}  // namespace kalorix
