#include "bench/scores.h"

#include <algorithm>
#include <cmath>

namespace kalorix::bench {

namespace {

double Metric(const TestRecord& r, const char* key) {
    const auto it = r.metrics.find(key);
    return it == r.metrics.end() ? 0.0 : it->second;
}

// A score from a product of ratios; a zero, negative or damaged product scores 0.
double RootScore(double product, double root) {
    if (!(product > 0.0) || !std::isfinite(product)) return 0.0;
    return RoundHalfAway(1000.0 * std::pow(product, 1.0 / root));
}

double Ln1(double v) { return std::log(std::max(1.0, v)); }

}  // namespace

double GpuScore(double bandwidthGbs, double gflops) { return RootScore((bandwidthGbs / 200.0) * (gflops / 5000.0), 2.0); }

double DiskScore(double seqWrite, double seqRead, double rndRead, double rndWrite) {
    return RootScore((seqWrite / 2500.0) * (seqRead / 3000.0) * (rndRead / 300000.0) * (rndWrite / 250000.0), 4.0);
}

double OverallScore(double cpu, double gpu, double memory, double disk) {
    return RoundHalfAway(std::exp(0.40 * Ln1(cpu) + 0.30 * Ln1(gpu) + 0.15 * Ln1(memory) + 0.15 * Ln1(disk)));
}

LatestScores ComputeLatestScores(const std::function<std::optional<TestRecord>(int32_t kind)>& latest) {
    LatestScores s;
    if (const auto r = latest(static_cast<int32_t>(BenchKind::Cpu))) {
        const double st = Metric(*r, "cpu.st_score"), mt = Metric(*r, "cpu.mt_score");
        s.cpu = RoundHalfAway(std::sqrt(std::max(st, 1.0) * std::max(mt, 1.0)));
    }
    if (const auto r = latest(static_cast<int32_t>(BenchKind::Gpu))) s.gpu = Metric(*r, "gpu.score");
    if (const auto r = latest(static_cast<int32_t>(BenchKind::Disk))) s.disk = Metric(*r, "disk.score");
    if (const auto r = latest(static_cast<int32_t>(BenchKind::Memory))) s.memory = Metric(*r, "memory.score");
    if (s.cpu && s.gpu && s.disk && s.memory) s.overall = OverallScore(*s.cpu, *s.gpu, *s.memory, *s.disk);
    return s;
}

}  // namespace kalorix::bench
