#include "bench/cpu_bench.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/sha256.h"

namespace kalorix::bench {

namespace {

std::atomic<uint64_t> g_sink{0};

uint64_t FloatToU64(float v) {
    const double d = static_cast<double>(v) * 1000.0;
    if (!(d >= 0.0) || d >= 1.8e19) return 0;
    return static_cast<uint64_t>(d);
}

}  // namespace

uint64_t CpuChecksumSink() { return g_sink.load(); }

uint64_t CpuWorkerSeed(unsigned index) { return (static_cast<uint64_t>(index) + 1) * 0x9e3779b97f4a7c15ull; }

void CpuWorkerData::setup(uint64_t seed) {
    rng = seed | 1;
    std::fill(std::begin(ints), std::end(ints), 0u);
    for (int i = 0; i < kBodies; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            pos[axis][i] = static_cast<float>(Xorshift64(rng) % 1000) * 0.01f;
            vel[axis][i] = 0.0f;
        }
    }
    for (auto& b : hash) b = static_cast<uint8_t>(Xorshift64(rng));
    checksum = 0;
}

uint64_t CpuWorkerData::intIteration() {
    for (auto& v : ints) v = static_cast<uint32_t>(Xorshift64(rng));
    std::sort(std::begin(ints), std::end(ints));
    uint64_t h = 0x14650fb0739d0383ull;
    for (uint32_t v : ints) h = (h ^ v) * 0x100000001b3ull;
    return h;
}

float CpuWorkerData::nbodyStep() {
    float* px = pos[0];
    float* py = pos[1];
    float* pz = pos[2];
    for (int i = 0; i < kBodies; ++i) {
        const float xi = px[i], yi = py[i], zi = pz[i];
        float ax = 0.0f, ay = 0.0f, az = 0.0f;
        for (int j = 0; j < kBodies; ++j) {
            const float dx = px[j] - xi, dy = py[j] - yi, dz = pz[j] - zi;
            const float r2 = dx * dx + dy * dy + dz * dz + 0.01f;
            const float inv = 1.0f / std::sqrt(r2);
            const float inv3 = inv * inv * inv;
            ax += inv3 * dx;
            ay += inv3 * dy;
            az += inv3 * dz;
        }
        vel[0][i] += ax * 0.0001f;
        vel[1][i] += ay * 0.0001f;
        vel[2][i] += az * 0.0001f;
    }
    for (int axis = 0; axis < 3; ++axis) {
        for (int i = 0; i < kBodies; ++i) pos[axis][i] += vel[axis][i];
    }
    return px[0] + py[128] + pz[255];
}

uint8_t CpuWorkerData::cryptoIteration() {
    const auto digest = Sha256::Hash(hash, sizeof hash);
    hash[0] = digest[0];
    return digest[31];
}

void CpuWorkerData::iterate(int workload) {
    switch (workload) {
        case kCpuInt: checksum += intIteration(); break;
        case kCpuFloat: checksum += FloatToU64(nbodyStep()); break;
        default: checksum += cryptoIteration(); break;
    }
}

uint64_t RunCpuWorker(int workload, const std::atomic<bool>& start, const std::atomic<bool>& stop, uint64_t seed) {
    auto data = std::make_unique<CpuWorkerData>();
    data->setup(seed);
    while (!start.load(std::memory_order_acquire)) std::this_thread::yield();
    uint64_t count = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        data->iterate(workload);
        ++count;
    }
    g_sink.fetch_add(data->checksum);
    return count;
}

double MeasureCpuRate(int workload, unsigned threads, Clock& clock, double seconds) {
    threads = std::max(1u, threads);
    std::vector<uint64_t> counts(threads, 0);
    std::atomic<bool> start{false}, stop{false};
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        workers.emplace_back([&, i] { counts[i] = RunCpuWorker(workload, start, stop, CpuWorkerSeed(i)); });
    }
    clock.sleepMs(50);
    const uint64_t t0 = clock.nowNs();
    start.store(true, std::memory_order_release);
    SleepUntil(clock, t0 + static_cast<uint64_t>(seconds * 1e9));
    stop.store(true);
    const uint64_t t1 = clock.nowNs();
    for (auto& t : workers) t.join();
    uint64_t total = 0;
    for (uint64_t c : counts) total += c;
    const double elapsed = static_cast<double>(t1 - t0) / 1e9;
    return elapsed > 0.0 ? static_cast<double>(total) / elapsed : 0.0;
}

unsigned HardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

double CpuWorkloadScore(int workload, double rate) { return rate * 1000.0 / kCpuWorkloads[workload].reference; }

double CpuPassScore(const std::array<double, 3>& s) {
    double sum = 0.0;
    for (double v : s) sum += std::log(std::max(1.0, v));
    return RoundHalfAway(std::exp(sum / 3.0));
}

double ShaMegabytesPerSecond(double rate) { return rate * 64.0 * 1024.0 / 1e6; }

CpuResult RunCpu(Reporter& reporter, Clock& clock, unsigned threads, const CpuRateFn& measure) {
    threads = std::max(1u, threads);
    CpuResult result;
    result.threads = threads;
    int step = 0;
    constexpr int kSteps = 6;
    for (int pass = 0; pass < 2; ++pass) {
        const bool single = pass == 0;
        const unsigned n = single ? 1 : threads;
        const std::wstring prefix = single ? L"Tek çekirdek: " : L"Tüm çekirdekler: ";
        const std::string tag = single ? "cpu.st." : "cpu.mt.";
        std::array<double, 3> scores{};
        for (int w = 0; w < 3; ++w) {
            reporter.Progress(static_cast<double>(step) / kSteps, prefix + kCpuWorkloads[w].label);
            const double rate = measure(w, n);
            scores[w] = CpuWorkloadScore(w, rate);
            reporter.Metric(tag + kCpuWorkloads[w].key, RoundHalfAway(scores[w]));
            if (w == kCpuCrypto) reporter.Metric(tag + "sha_mbs", ShaMegabytesPerSecond(rate));
            ++step;
            if (step < kSteps) {
                reporter.Progress(static_cast<double>(step) / kSteps, L"Soğuma molası");
                clock.sleepMs(single ? 1250 : 3000);
            }
        }
        (single ? result.stScore : result.mtScore) = CpuPassScore(scores);
    }
    return result;
}

CpuResult RunCpu(Reporter& reporter, Clock& clock) {
    return RunCpu(reporter, clock, HardwareThreads(),
                  [&clock](int w, unsigned n) { return MeasureCpuRate(w, n, clock); });
}

void ReportCpuResult(Reporter& reporter, const CpuResult& r) {
    reporter.Metric("cpu.st_score", r.stScore);
    reporter.Metric("cpu.mt_score", r.mtScore);
    reporter.Metric("cpu.threads", r.threads);
    reporter.Progress(1.0, L"Tamamlandı");
    reporter.Done();
}

}  // namespace kalorix::bench
