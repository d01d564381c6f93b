// Figures of the benchmark kernels on this machine, measured with shortened
// durations (one second each): the three CPU workloads on one thread, SHA-256
// throughput, memory bandwidth on all threads and the dependent-load latency.
// scripts/bench-compare sets them beside established tools.
#include <cstdio>
#include <cstring>
#include <new>

#include "bench/clock.h"
#include "bench/cpu_bench.h"
#include "bench/memory_bench.h"

using namespace kalorix::bench;

int main() {
    SteadyClock clock;
    for (int w = 0; w < 3; ++w) {
        const double rate = MeasureCpuRate(w, 1, clock, 1.0);
        std::printf("cpu %-7s 1 thread:  %10.0f it/s  score %6.0f\n", kCpuWorkloads[w].key, rate,
                    RoundHalfAway(CpuWorkloadScore(w, rate)));
        if (w == kCpuCrypto) std::printf("sha-256 1 thread:       %10.1f MB/s\n", ShaMegabytesPerSecond(rate));
    }
    const size_t size = 64 * kMiB;
    auto* src = static_cast<uint64_t*>(::operator new(size, std::align_val_t(4096)));
    void* dst = ::operator new(size, std::align_val_t(4096));
    FillMemorySource(src, size / 8);
    std::memset(dst, 0, size);
    const unsigned threads = HardwareThreads();
    const double read = MeasureBandwidth(BandwidthMode::Read, src, dst, size, threads, clock, 1.0);
    const double write = MeasureBandwidth(BandwidthMode::Write, src, dst, size, threads, clock, 1.0);
    const double copy = MeasureBandwidth(BandwidthMode::Copy, src, dst, size, threads, clock, 1.0);
    BuildLatencyChain(dst, size);
    const double latency = MeasureLatency(dst, size, clock, 1.0);
    std::printf("memory %u threads, 64 MiB: read %.2f  write %.2f  copy %.2f GB/s\n", threads, read, write, copy);
    std::printf("latency 64 MiB chain:   %10.1f ns   memory score %.0f\n", latency,
                MemoryScore(read, write, copy, latency));
    ::operator delete(src, std::align_val_t(4096));
    ::operator delete(dst, std::align_val_t(4096));
    return 0;
}
