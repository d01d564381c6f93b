// What the Tests page and the report image show, computed from the history,
// the scores and the runner's state without drawing anything: the test cards,
// their result figures and progress, the cooling report card view and the
// leaderboard texts. Portable, so every rule is checked by the native tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/protocol.h"
#include "bench/test_series.h"
#include "sensors/sensor_model.h"
#include "store/usage_history.h"

namespace kalorix {

// ---- test cards ----------------------------------------------------------

struct TestCardInfo {
    BenchKind kind = BenchKind::Cpu;
    wchar_t glyph = 0;
    const wchar_t* title = L"";
    const wchar_t* durationLine = L"";
};
// In drawing order: CPU (top left), memory, GPU, disk (bottom right).
const std::array<TestCardInfo, 4>& TestCards();

// The drive choice: an index not below the number of drives becomes 0.
int32_t ClampDriveIndex(int32_t index, size_t driveCount);
// Cards are taller when the disk card shows a drive choice (two drives or more).
float TestCardHeight(size_t driveCount);
// "Sürücü C:" and the segment labels "C:", "D:", …
std::wstring DriveLabel(wchar_t letter);

// The paragraph under "PERFORMANS TESTLERİ" with min(WarningTemp, 95).
std::wstring TestsParagraph(int warningTemp);

struct ScoreTile {
    std::wstring label;  // "TEK ÇEKİRDEK", "PUAN", …
    std::wstring value;  // whole number with "." grouping
};

// The figures of a card's latest record; a missing key counts as 0.
struct TestResultView {
    std::vector<ScoreTile> tiles;
    std::wstring detail;  // may hold one line break
    std::wstring info;    // parts joined by " · "
};
TestResultView MakeTestResultView(const TestRecord& record);

enum class TestCardMode {
    Idle,          // nothing runs: start / repeat button
    Running,       // this card's kind runs: phase, progress, stop button
    Waiting,       // a series pauses before this card's test: "Sırada", stop button (the whole series)
    OtherRunning,  // another test or the series runs: the disabled pill, no start
};

// "idle", "running", "waiting", "other" (the test build's frame report).
const char* TestCardModeName(TestCardMode mode);

struct TestCardState {
    TestCardMode mode = TestCardMode::Idle;
    std::wstring phase;     // runner's phase text while running; "Sırada" while waiting
    double progress = 0;    // clamped to 0 … 1
    std::wstring percent;   // "%42"
    std::wstring error;     // the last run of this kind failed (start error, stop reason, …)
    std::wstring button;    // "Testi başlat" / "Yeniden test et" when idle
    int queuePosition = 0;  // 1-based place in the series' queue, 0 when not queued
};
// bench and series may be null (no runner, no series). hasRecord: the history
// holds a record of the kind.
TestCardState MakeTestCardState(BenchKind kind, const BenchState* bench, const TestSeriesView* series,
                                bool hasRecord);

// "tests/run/" and "tests/stop/" + the kind's word ("cpu", "memory", "gpu", "disk").
std::wstring TestRunAction(const TestCardInfo& card);
std::wstring TestStopAction(const TestCardInfo& card);

// ---- cooling report card ---------------------------------------------------

// Grade colour (0xRRGGBB): 0 and 1 green, 2 amber, 3 red, no data muted.
uint32_t GradeColor(int32_t grade);

struct StatTile {
    std::wstring label;
    std::wstring value;
};

struct PeriodRow {
    std::wstring start;     // "6 Aralık 14:05"
    std::wstring duration;  // "25 dk"
    std::wstring maxTemp;   // "92 °C"
    std::wstring atLimit;   // "%18"
    bool atLimitHigh = false;  // ratio of at least 0.1: drawn in amber
    std::wstring clock;     // "3,41 GHz"
};

struct ReportCardView {
    int32_t grade = -1;
    uint32_t color = 0;
    bool hasData = false;
    std::wstring headline;  // grade name, or "Soğutma karnesi" without data
    std::wstring subline;   // "Son 7 gün · 3 oturum · 1 sa 5 dk"
    std::wstring advice;
    std::vector<StatTile> stats;  // four with data
    std::wstring currentLine;     // heavy use in progress, else empty
    std::vector<PeriodRow> rows;  // newest five of the card's seven days, newest first (with data)
};

ReportCardView MakeReportCardView(const CoolingReportCard& card, const std::vector<HeavyUsePeriod>& periods,
                                  const std::optional<HeavyUsePeriod>& current, bool fahrenheit);

// ---- leaderboard -----------------------------------------------------------

// The address shown in texts ("kalorix.app/skorlar") and the one opened.
std::wstring LeaderboardText();
std::wstring LeaderboardOpenAddress();
std::wstring LeaderboardBody(bool shareData);

}  // namespace kalorix
