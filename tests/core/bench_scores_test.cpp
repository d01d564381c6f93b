// Scores: each formula's reference points, missing figures, and the overall score from the newest records.
#include <gtest/gtest.h>

#include <vector>

#include "bench/scores.h"

namespace kalorix::bench {
namespace {

TestRecord Record(BenchKind kind, int64_t time, std::map<std::string, double> metrics) {
    TestRecord r;
    return r.kind = kind, r.time = time, r.metrics = std::move(metrics), r;
}

TEST(BenchScores, ReferencePointsAndBadFigures) {
    EXPECT_DOUBLE_EQ(GpuScore(800, 5000), 2000);
    EXPECT_DOUBLE_EQ(DiskScore(2500 * 16, 3000, 300000, 250000), 2000);
    // A bad figure scores 0; zeros count as 1 in the overall score.
    EXPECT_TRUE(DiskScore(-1, 3000, 300000, 250000) == 0 && OverallScore(0, 0, 0, 0) == 1 && RoundHalfAway(-2.5) == -3);
}

TEST(BenchScores, NewestOfEachKindFromTheUsageHistory) {
    UsageHistory history{std::filesystem::path()};  // in memory only
    EXPECT_FALSE(ComputeLatestScores(history).cpu);
    history.addTestRecord(Record(BenchKind::Cpu, 1, {{"cpu.st_score", 1600}}));  // missing mt counts as 1
    EXPECT_EQ(ComputeLatestScores(history).cpu, 40.0);
    history.addTestRecord(Record(BenchKind::Gpu, 2, {{"gpu.score", 2000}}));
    history.addTestRecord(Record(BenchKind::Memory, 3, {{"memory.score", 500}}));

    EXPECT_FALSE(ComputeLatestScores(history).overall);  // no disk record yet
    history.addTestRecord(Record(BenchKind::Disk, 4, {}));  // score key missing: present, zero
    history.addTestRecord(Record(BenchKind::Cpu, 5, {{"cpu.st_score", 1000}, {"cpu.mt_score", 1000}}));
    const LatestScores s = ComputeLatestScores(history);  // the later CPU record counts
    EXPECT_TRUE(s.cpu == 1000.0 && s.disk == 0.0);

    EXPECT_EQ(s.overall, 394.0);  // weighted geometric mean 0.4/0.3/0.15/0.15, the zero disk score as 1
}

}  // namespace
}  // namespace kalorix::bench
