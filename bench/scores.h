// Per-kind scores and the latest-result scores shown by the Tests page, the
// report image and the compatibility report.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "bench/protocol.h"
#include "store/usage_history.h"

namespace kalorix::bench {

double GpuScore(double bandwidthGbs, double gflops);
double DiskScore(double seqWriteMbs, double seqReadMbs, double rndReadIops, double rndWriteIops);
// MemoryScore: memory_bench.h; CPU pass and workload scores: cpu_bench.h.

struct LatestScores {
    std::optional<double> cpu, gpu, disk, memory, overall;
};

// latest(kind) returns the newest record of that kind (as UsageHistory::latestTestRecord).
LatestScores ComputeLatestScores(const std::function<std::optional<TestRecord>(int32_t kind)>& latest);

inline LatestScores ComputeLatestScores(const UsageHistory& history) {
    return ComputeLatestScores([&history](int32_t kind) { return history.latestTestRecord(kind); });
}

// Weighted geometric mean: 40 % CPU, 30 % GPU, 15 % memory, 15 % disk.
double OverallScore(double cpu, double gpu, double memory, double disk);

}  // namespace kalorix::bench
