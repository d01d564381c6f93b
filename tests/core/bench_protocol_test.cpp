#include <gtest/gtest.h>

#include "bench/protocol.h"
#include "bench/thermal_stop.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

BenchState Running() {
    BenchState s;
    s.running = true;
    s.phase = kPhaseStarting;
    return s;
}

TEST(BenchKindWords, RoundTripAndExactMatch) {
    for (BenchKind k : {BenchKind::Cpu, BenchKind::Gpu, BenchKind::Disk, BenchKind::Memory}) {
        EXPECT_EQ(BenchKindFromWord(BenchKindWordW(k)), k);
    }
    EXPECT_EQ(static_cast<uint32_t>(BenchKind::Memory), 3u);
    EXPECT_FALSE(BenchKindFromWord(L"CPU").has_value());
    EXPECT_FALSE(BenchKindFromWord(L"cpu ").has_value());
    EXPECT_FALSE(BenchKindFromWord(L"").has_value());
}

TEST(BenchLineParser, ProgressLines) {
    BenchState s = Running();
    EXPECT_TRUE(ApplyLine(s, "P 0.5000 Tek çekirdek: Tamsayı"));
    EXPECT_DOUBLE_EQ(s.progress, 0.5);
    EXPECT_EQ(s.phase, L"Tek çekirdek: Tamsayı");
    // A number with no blank after it clears the phase.
    EXPECT_TRUE(ApplyLine(s, "P 0.25"));
    EXPECT_DOUBLE_EQ(s.progress, 0.25);
    EXPECT_EQ(s.phase, L"");
    // Trailing garbage after the number is ignored; no number gives 0.
    EXPECT_TRUE(ApplyLine(s, "P 0.75xyz a"));
    EXPECT_DOUBLE_EQ(s.progress, 0.75);
    EXPECT_EQ(s.phase, L"a");
    EXPECT_TRUE(ApplyLine(s, "P abc def"));
    EXPECT_DOUBLE_EQ(s.progress, 0.0);
    // A damaged figure cannot leave 0..1.
    EXPECT_TRUE(ApplyLine(s, "P 7 x"));
    EXPECT_DOUBLE_EQ(s.progress, 1.0);
    EXPECT_TRUE(ApplyLine(s, "P nan x"));
    EXPECT_DOUBLE_EQ(s.progress, 0.0);
    // Two-byte line: empty payload.
    EXPECT_TRUE(ApplyLine(s, "P "));
    EXPECT_EQ(s.phase, L"");
}

TEST(BenchLineParser, MetricsAndInfoLastValueWins) {
    BenchState s = Running();
    EXPECT_TRUE(ApplyLine(s, "M cpu.st_score 1234"));
    EXPECT_TRUE(ApplyLine(s, "M cpu.st_score 1250\r"));
    EXPECT_TRUE(ApplyLine(s, "M memory.latency_ns 8.5e+01"));
    EXPECT_TRUE(ApplyLine(s, "I gpu.name Sanal Kart  2"));
    ASSERT_EQ(s.metrics.size(), 2u);
    EXPECT_DOUBLE_EQ(s.metrics["cpu.st_score"], 1250);
    EXPECT_DOUBLE_EQ(s.metrics["memory.latency_ns"], 85);
    EXPECT_EQ(s.info["gpu.name"], L"Sanal Kart  2");
    // A key without a value or text changes nothing, but still counts as a known line.
    EXPECT_TRUE(ApplyLine(s, "M cpu.mt_score"));
    EXPECT_TRUE(ApplyLine(s, "I disk.model"));
    EXPECT_EQ(s.metrics.size(), 2u);
    EXPECT_EQ(s.info.size(), 1u);
    // Non-finite figures are not stored.
    EXPECT_TRUE(ApplyLine(s, "M gpu.score inf"));
    EXPECT_EQ(s.metrics.count("gpu.score"), 0u);
}

// A faulty child can neither grow the maps without end nor store keys that no
// record or report could carry.
TEST(BenchLineParser, KeysAreUsableAndTheMapsBounded) {
    BenchState s = Running();
    EXPECT_TRUE(ApplyLine(s, "M  5"));  // empty key
    EXPECT_TRUE(ApplyLine(s, "M \x01k 5"));
    EXPECT_TRUE(ApplyLine(s, "M " + std::string(65, 'k') + " 5"));
    EXPECT_TRUE(ApplyLine(s, "I  text"));
    EXPECT_TRUE(s.metrics.empty());
    EXPECT_TRUE(s.info.empty());
    for (int i = 0; i < 1000; ++i) ApplyLine(s, "M k" + std::to_string(i) + " 1");
    EXPECT_EQ(s.metrics.size(), 64u);
    ApplyLine(s, "M k0 2");  // a known key is still updated
    EXPECT_EQ(s.metrics.at("k0"), 2);
}

TEST(BenchLineParser, ErrorDoneOrderAndUnknownLines) {
    BenchState a = Running();
    ApplyLine(a, "E Birinci");
    ApplyLine(a, "E İkinci hata");
    ApplyLine(a, "D");
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.error, L"İkinci hata");
    EXPECT_DOUBLE_EQ(a.progress, 1.0);

    BenchState b = Running();
    ApplyLine(b, "D");
    ApplyLine(b, "E sonradan");
    EXPECT_TRUE(b.success);
    EXPECT_EQ(b.error, L"sonradan");

    BenchState c = Running();
    EXPECT_FALSE(ApplyLine(c, ""));
    EXPECT_FALSE(ApplyLine(c, "\r"));
    EXPECT_FALSE(ApplyLine(c, "X whatever"));
    EXPECT_FALSE(ApplyLine(c, "p 0.5 lower-case"));
    EXPECT_DOUBLE_EQ(c.progress, 0.0);
}

TEST(BenchLineParser, EndOfStream) {
    BenchState ok = Running();
    ApplyLine(ok, "D");
    FinishRun(ok, L"");
    EXPECT_TRUE(ok.success);
    EXPECT_TRUE(ok.error.empty());
    EXPECT_TRUE(ok.finished);
    EXPECT_FALSE(ok.running);

    BenchState silent = Running();
    FinishRun(silent, L"");
    EXPECT_FALSE(silent.success);
    EXPECT_EQ(silent.error, kErrorUnexpectedEnd);

    BenchState failed = Running();
    ApplyLine(failed, "E Test belleği ayrılamadı.");
    FinishRun(failed, L"");
    EXPECT_EQ(failed.error, L"Test belleği ayrılamadı.");

    // A stop overrides whatever the child wrote, even a D.
    BenchState stopped = Running();
    ApplyLine(stopped, "D");
    FinishRun(stopped, kStopByUser);
    EXPECT_FALSE(stopped.success);
    EXPECT_EQ(stopped.error, L"Test durduruldu");
}

TEST(BenchLineSplitter, ChunkBoundariesAndCrLf) {
    LineSplitter splitter;
    std::vector<std::string> got;
    auto collect = [&](std::string_view l) { got.emplace_back(l); };
    splitter.feed("P 0.1000 Bir", collect);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(splitter.pending(), "P 0.1000 Bir");
    splitter.feed("inci\r\nM a 1\nD", collect);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "P 0.1000 Birinci\r");
    EXPECT_EQ(got[1], "M a 1");
    splitter.feed("\n", collect);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2], "D");

    // The whole run through the parser: the CR is removed there.
    BenchState s = Running();
    for (const auto& l : got) ApplyLine(s, l);
    EXPECT_EQ(s.phase, L"Birinci");
    EXPECT_TRUE(s.success);

    // A line that never ends is cut instead of growing without limit.
    LineSplitter big;
    big.feed(std::string(LineSplitter::kMaxLine * 2, 'x'), collect);
    EXPECT_EQ(big.pending().size(), LineSplitter::kMaxLine);
}

TEST(BenchReporter, LineTexts) {
    testing::LineLog log;
    log.reporter.Progress(1.5, L"Tamamlandı");
    log.reporter.Progress(-0.2, L"a");
    log.reporter.Progress(1.0 / 6.0, L"iki\r\nsatır");
    log.reporter.Metric("cpu.st_score", 1234);
    log.reporter.Metric("memory.read_gbs", 12.3456789);
    log.reporter.Metric("x", 1e7);
    log.reporter.Info("gpu.name", L"Kart\nAdı");
    log.reporter.Error(L"Bilinmeyen test türü");
    log.reporter.Done();
    const std::vector<std::string> want = {
        "P 1.0000 Tamamlandı\n", "P 0.0000 a\n", "P 0.1667 iki  satır\n", "M cpu.st_score 1234\n",
        "M memory.read_gbs 12.3457\n", "M x 1e+07\n", "I gpu.name Kart Adı\n", "E Bilinmeyen test türü\n", "D\n"};
    EXPECT_EQ(log.lines, want);

    // What the child writes, the parent reads back.
    BenchState s = Running();
    for (const auto& l : log.lines) ApplyLine(s, std::string_view(l).substr(0, l.size() - 1));
    EXPECT_EQ(s.info["gpu.name"], L"Kart Adı");
    EXPECT_DOUBLE_EQ(s.metrics["x"], 1e7);
}

TEST(BenchThermalStop, LimitsAndWatchedSensor) {
    EXPECT_EQ(ThermalLimit(BenchKind::Cpu, 85), 85);
    EXPECT_EQ(ThermalLimit(BenchKind::Memory, 100), 95);
    EXPECT_EQ(ThermalLimit(BenchKind::Disk, 60), 75);
    FrameHeadline s;
    s.cpuTemp = 90;
    s.hottestDiskTemp = 50;
    EXPECT_EQ(WatchedTemperature(BenchKind::Memory, s), 90.0);
    EXPECT_EQ(WatchedTemperature(BenchKind::Disk, s), 50.0);
    EXPECT_FALSE(WatchedTemperature(BenchKind::Gpu, s).has_value());
    s.gpu = GpuSummary{};
    EXPECT_FALSE(WatchedTemperature(BenchKind::Gpu, s).has_value());
    s.gpu->temperature = 70;
    EXPECT_EQ(WatchedTemperature(BenchKind::Gpu, s), 70.0);
}

TEST(BenchThermalStop, ThreeDistinctHotSnapshotsInARow) {
    ThermalGuard guard;
    double clock = 100;
    // Each sampling pass gives a snapshot with a new update time.
    auto pass = [&clock](std::optional<double> cpu) {
        SensorSnapshot s;
        s.cpuTemp = cpu;
        s.updatedAt = ++clock;
        return s;
    };
    const SensorSnapshot first = pass(95.6);
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, first, 90, false));
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, first, 90, false));  // the same pass told twice
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, first, 90, false));
    EXPECT_EQ(guard.count(), 1);
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(95.6), 90, false));
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(std::nullopt), 90, false));  // a gap restarts the count
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(96.5), 90, false));
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(96.5), 90, false));
    auto reason = guard.observe(BenchKind::Cpu, pass(96.5), 90, false);
    ASSERT_TRUE(reason);
    // 96.5 °C is written as the formatter writes it everywhere else in the window.
    EXPECT_EQ(*reason, L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");
    guard.reset();
    EXPECT_EQ(guard.count(), 0);
    EXPECT_FALSE(guard.observe(BenchKind::Cpu, pass(60), 90, false));

    // Exactly at the limit counts; Fahrenheit display; disk limit 75.
    ThermalGuard g2;
    auto disk = [&clock] {
        SensorSnapshot s;
        s.hottestDiskTemp = 75;
        s.updatedAt = ++clock;
        return s;
    };
    g2.observe(BenchKind::Disk, disk(), 99, true);
    g2.observe(BenchKind::Disk, disk(), 99, true);
    EXPECT_EQ(g2.observe(BenchKind::Disk, disk(), 99, true), L"Disk 167 °F'ye ulaştı; güvenlik için test durduruldu");
    EXPECT_EQ(ThermalStopReason(BenchKind::Gpu, 88.4, false), L"Ekran kartı 88 °C'ye ulaştı; güvenlik için test durduruldu");
}

TEST(BenchClock, SleepUntilRoundsUpAndTimeScale) {
    testing::FakeClock clock;
    const uint64_t start = clock.nowNs();
    SleepUntil(clock, start + 2500000);  // 2.5 ms
    ASSERT_EQ(clock.slept.size(), 1u);
    EXPECT_EQ(clock.slept[0], 3u);
    SleepUntil(clock, start);  // already passed
    EXPECT_EQ(clock.slept.size(), 1u);

    EXPECT_EQ(ParseTimeScale(nullptr), 1.0);
    EXPECT_EQ(ParseTimeScale("0.05"), 0.05);
    EXPECT_EQ(ParseTimeScale("0"), 1.0);
    EXPECT_EQ(ParseTimeScale("2"), 1.0);
    EXPECT_EQ(ParseTimeScale("0.1x"), 1.0);
}

}  // namespace
}  // namespace kalorix::bench
