// The benchmark child's line protocol (both ends), the splitter's limits, the thermal stop and the bench clock.
#include <gtest/gtest.h>

#include "bench/protocol.h"
#include "bench/thermal_stop.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

BenchState Running() {
    BenchState s;
    return s.running = true, s.phase = kPhaseStarting, s;
}

TEST(BenchLineParser, ProgressLines) {
    const struct { const char* line; double progress; const wchar_t* phase; } cases[] = {
        {"P 0.5000 Tek çekirdek: Tamsayı", 0.5, L"Tek çekirdek: Tamsayı"}, {"P 0.25", 0.25, L""},
        {"P 0.75xyz a", 0.75, L"a"}, {"P abc def", 0.0, L"def"},
        {"P 7 x", 1.0, L"x"}, {"P nan x", 0.0, L"x"},  // a damaged figure cannot leave 0..1
    };
    BenchState s = Running();
    for (const auto& c : cases) EXPECT_TRUE(ApplyLine(s, c.line) && s.progress == c.progress && s.phase == c.phase) << c.line;
}

// A faulty child can neither grow the maps without end nor store keys or figures no record could carry.
TEST(BenchLineParser, MetricsAndInfo) {
    BenchState s = Running();
    for (const char* line : {"M cpu.st_score 1234", "M cpu.st_score 1250\r", "M memory.latency_ns 8.5e+01",
                             "I gpu.name Sanal Kart  2", "M cpu.mt_score", "I disk.model", "M gpu.score inf", "M  5",
                             "M \x01k 5", "I  text"})
        EXPECT_TRUE(ApplyLine(s, line)) << line;
    EXPECT_TRUE(ApplyLine(s, "M " + std::string(65, 'k') + " 5"));
    EXPECT_EQ(s.metrics, (std::map<std::string, double>{{"cpu.st_score", 1250}, {"memory.latency_ns", 85}}));
    EXPECT_EQ(s.info, (std::map<std::string, std::wstring>{{"gpu.name", L"Sanal Kart  2"}}));
    for (int i = 0; i < 1000; ++i) ApplyLine(s, "M k" + std::to_string(i) + " 1");
    ApplyLine(s, "M k0 2");  // a known key is still updated
    EXPECT_TRUE(s.metrics.size() == 64u && s.metrics.at("k0") == 2);
}

TEST(BenchLineParser, ErrorDoneOrderUnknownLinesAndEndOfStream) {
    auto run = [](std::vector<const char*> lines, const wchar_t* stop = L"") {
        BenchState s = Running();
        for (const char* l : lines) ApplyLine(s, l);
        FinishRun(s, stop);
        return s;
    };
    const BenchState errors = run({"E Birinci", "E İkinci hata", "D"});
    EXPECT_TRUE(!errors.success && errors.error == L"İkinci hata");
    const BenchState late = run({"D", "E sonradan"});  // after D: success stays
    EXPECT_TRUE(late.success && late.finished && !late.running);
    EXPECT_EQ(run({}).error, kErrorUnexpectedEnd);  // no D
    const BenchState stopped = run({"D"}, kStopByUser);  // a stop overrides even a D
    EXPECT_TRUE(!stopped.success && stopped.error == L"Test durduruldu");
    BenchState c = Running();
    for (const char* line : {"", "\r", "X whatever", "p 0.5 lower-case"}) EXPECT_FALSE(ApplyLine(c, line)) << line;
}

TEST(BenchLineSplitter, ChunkBoundariesCrLfAndEndlessLines) {
    LineSplitter splitter;
    std::vector<std::string> got;
    auto collect = [&](std::string_view l) { got.emplace_back(l); };
    for (const char* chunk : {"P 0.1000 Bir", "inci\r\nM a 1\nD", "\n"}) splitter.feed(chunk, collect);
    EXPECT_EQ(got, (std::vector<std::string>{"P 0.1000 Birinci\r", "M a 1", "D"}));
    BenchState s = Running();
    for (const auto& l : got) ApplyLine(s, l);
    EXPECT_EQ(s.phase, L"Birinci");  // the parser removes the CR

    splitter.feed(std::string(LineSplitter::kMaxLine * 2, 'x'), collect);
    EXPECT_EQ(splitter.pending().size(), LineSplitter::kMaxLine);
}

TEST(BenchReporter, LinesTheParentReadsBack) {
    testing::LineLog log;
    Reporter& r = log.reporter;
    r.Progress(1.5, L"Tamamlandı"), r.Progress(1.0 / 6.0, L"iki\r\nsatır"), r.Metric("x", 1e7), r.Info("gpu.name", L"Kart\nAdı");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"P 1.0000 Tamamlandı\n", "P 0.1667 iki  satır\n", "M x 1e+07\n",
                                                   "I gpu.name Kart Adı\n"}));
    BenchState s = Running();
    for (const auto& l : log.lines) ApplyLine(s, std::string_view(l).substr(0, l.size() - 1));
    EXPECT_DOUBLE_EQ(s.metrics["x"], 1e7);
}

TEST(BenchThermalStop, LimitsAndWatchedSensor) {
    EXPECT_TRUE(ThermalLimit(BenchKind::Memory, 100) == 95 && ThermalLimit(BenchKind::Disk, 60) == 75);
    FrameHeadline s;
    s.cpuTemp = 90, s.hottestDiskTemp = 50;
    EXPECT_EQ(WatchedTemperature(BenchKind::Disk, s), 50.0);
    s.gpu = GpuSummary{};  // an adapter without a temperature
    EXPECT_FALSE(WatchedTemperature(BenchKind::Gpu, s).has_value());
}

TEST(BenchThermalStop, ThreeDistinctHotSnapshotsInARow) {
    ThermalGuard guard;
    double clock = 100;
    auto pass = [&clock](std::optional<double> cpu) {  // each pass has a new update time
        SensorSnapshot s;
        return s.cpuTemp = cpu, s.updatedAt = ++clock, s;
    };
    const SensorSnapshot first = pass(95.6);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(guard.observe(BenchKind::Cpu, first, 90, false));  // the same pass
    EXPECT_EQ(guard.count(), 1);
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(95.6), 90, false));
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(std::nullopt), 90, false));  // a gap restarts the count
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(96.5), 90, false));
    EXPECT_EQ(guard.observe(BenchKind::Cpu, pass(96.5), 90, false),
              L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");
    EXPECT_EQ((guard.reset(), guard.count()), 0);  // a new run counts afresh

    for (int i = 0; i < 2; ++i) guard.observe(BenchKind::Memory, pass(95), 100, true);
    EXPECT_EQ(guard.observe(BenchKind::Memory, pass(95), 100, true),  // exactly at the limit counts
              L"İşlemci 203 °F'ye ulaştı; güvenlik için test durduruldu");
}

TEST(BenchClock, SleepUntilRoundsUpAndTimeScale) {
    testing::FakeClock clock;
    const uint64_t start = clock.nowNs();
    SleepUntil(clock, start + 2500000), SleepUntil(clock, start);  // the second: already passed

    EXPECT_EQ(clock.slept, std::vector<uint32_t>{3});
    EXPECT_EQ(ParseTimeScale("0.05"), 0.05);
    for (const char* bad : {"0", "2", "0.1x", static_cast<const char*>(nullptr)}) EXPECT_EQ(ParseTimeScale(bad), 1.0);
}

}  // namespace
}  // namespace kalorix::bench
