#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bench/scores.h"

namespace kalorix::bench {
namespace {

TestRecord Record(BenchKind kind, int64_t time, std::map<std::string, double> metrics) {
    TestRecord r;
    r.kind = kind;
    r.time = time;
    r.metrics = std::move(metrics);
    return r;
}

// The newest record of a kind is the last one in file order.
LatestScores FromHistory(const std::vector<TestRecord>& history) {
    return ComputeLatestScores([&](int32_t kind) -> std::optional<TestRecord> {
        std::optional<TestRecord> found;
        for (const auto& r : history) {
            if (static_cast<int32_t>(r.kind) == kind) found = r;
        }
        return found;
    });
}

TEST(BenchScores, PerKindFormulas) {
    EXPECT_DOUBLE_EQ(GpuScore(200, 5000), 1000);
    EXPECT_DOUBLE_EQ(GpuScore(800, 5000), 2000);
    EXPECT_DOUBLE_EQ(GpuScore(0, 5000), 0);
    EXPECT_DOUBLE_EQ(DiskScore(2500, 3000, 300000, 250000), 1000);
    EXPECT_DOUBLE_EQ(DiskScore(2500 * 16, 3000, 300000, 250000), 2000);
    EXPECT_DOUBLE_EQ(DiskScore(-1, 3000, 300000, 250000), 0);
    EXPECT_DOUBLE_EQ(OverallScore(1000, 1000, 1000, 1000), 1000);
    EXPECT_DOUBLE_EQ(OverallScore(0, 0, 0, 0), 1);
    EXPECT_DOUBLE_EQ(RoundHalfAway(2.5), 3);
    EXPECT_DOUBLE_EQ(RoundHalfAway(-2.5), -3);
    EXPECT_DOUBLE_EQ(RoundHalfAway(1234.4999), 1234);
}

TEST(BenchScores, LatestResults) {
    // Empty history: nothing.
    LatestScores s = FromHistory({});
    EXPECT_FALSE(s.cpu || s.gpu || s.disk || s.memory || s.overall);

    // A CPU record but no GPU record: CPU score, no overall.
    s = FromHistory({Record(BenchKind::Cpu, 1, {{"cpu.st_score", 900}, {"cpu.mt_score", 3600}})});
    EXPECT_EQ(s.cpu, 1800.0);
    EXPECT_FALSE(s.gpu);
    EXPECT_FALSE(s.overall);

    // Missing mt counts as 1.
    s = FromHistory({Record(BenchKind::Cpu, 1, {{"cpu.st_score", 1600}})});
    EXPECT_EQ(s.cpu, 40.0);
    s = FromHistory({Record(BenchKind::Cpu, 1, {})});
    EXPECT_EQ(s.cpu, 1.0);
}

TEST(BenchScores, OverallUsesTheLatestOfEachKind) {
    std::vector<TestRecord> h = {
        Record(BenchKind::Cpu, 1, {{"cpu.st_score", 100}, {"cpu.mt_score", 100}}),
        Record(BenchKind::Gpu, 2, {{"gpu.score", 2000}}),
        Record(BenchKind::Memory, 3, {{"memory.score", 500}}),
        Record(BenchKind::Disk, 4, {}),  // score key missing: present, zero
        Record(BenchKind::Cpu, 5, {{"cpu.st_score", 1000}, {"cpu.mt_score", 1000}}),
    };
    LatestScores s = FromHistory(h);
    EXPECT_EQ(s.cpu, 1000.0);  // the later CPU record counts
    EXPECT_EQ(s.gpu, 2000.0);
    EXPECT_EQ(s.memory, 500.0);
    ASSERT_TRUE(s.disk);
    EXPECT_EQ(*s.disk, 0.0);
    EXPECT_EQ(s.overall, 394.0);  // weighted geometric mean 0.4/0.3/0.15/0.15, the zero disk score as 1
}

TEST(BenchScores, FromTheUsageHistory) {
    UsageHistory history{std::filesystem::path()};  // in memory only
    EXPECT_FALSE(ComputeLatestScores(history).cpu);
    history.addTestRecord(Record(BenchKind::Memory, 10, {{"memory.score", 800}}));
    history.addTestRecord(Record(BenchKind::Cpu, 11, {{"cpu.st_score", 400}, {"cpu.mt_score", 900}}));
    history.addTestRecord(Record(BenchKind::Gpu, 12, {{"gpu.score", 1000}}));
    history.addTestRecord(Record(BenchKind::Memory, 13, {{"memory.score", 900}}));
    LatestScores s = ComputeLatestScores(history);
    EXPECT_EQ(s.cpu, 600.0);
    EXPECT_EQ(s.memory, 900.0);
    EXPECT_FALSE(s.disk);
    EXPECT_FALSE(s.overall);  // no disk record yet
    history.addTestRecord(Record(BenchKind::Disk, 14, {{"disk.score", 1000}}));
    s = ComputeLatestScores(history);
    ASSERT_TRUE(s.overall);
    EXPECT_EQ(*s.overall, OverallScore(600, 1000, 900, 1000));
}

}  // namespace
}  // namespace kalorix::bench
