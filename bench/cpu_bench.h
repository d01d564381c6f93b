// The CPU test: integer sort + FNV-1a, single-precision n-body and SHA-256,
// each measured for two seconds on one thread and then on all hardware threads.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

struct CpuWorkload {
    const char* key;
    const wchar_t* label;
    double reference;  // iterations per second of the reference machine
};
inline constexpr CpuWorkload kCpuWorkloads[3] = {
    {"int", L"Tamsayı", 5000.0},
    {"float", L"Kayan nokta", 1500.0},
    {"crypto", L"Şifreleme", 4800.0},
};
enum CpuWorkloadId : int { kCpuInt = 0, kCpuFloat = 1, kCpuCrypto = 2 };

inline uint64_t Xorshift64(uint64_t& s) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
}

// All data of one worker thread (about 90 KiB; allocated once per thread).
struct CpuWorkerData {
    static constexpr int kInts = 4096;
    static constexpr int kBodies = 256;
    static constexpr int kHashBytes = 65536;

    uint64_t rng = 1;
    uint32_t ints[kInts];
    float pos[3][kBodies];  // x, y, z
    float vel[3][kBodies];
    uint8_t hash[kHashBytes];
    uint64_t checksum = 0;

    void setup(uint64_t seed);
    // One iteration of a workload, folded into the checksum.
    void iterate(int workload);

    uint64_t intIteration();  // refill, sort, FNV-1a: returns the hash
    float nbodyStep();        // returns x[0] + y[128] + z[255]
    uint8_t cryptoIteration();  // returns the last digest byte
};

// Seed of worker i: (i + 1) * 0x9e3779b97f4a7c15, wrapping.
uint64_t CpuWorkerSeed(unsigned index);

// One worker: set-up, wait for start, iterate until stop; returns the count.
uint64_t RunCpuWorker(int workload, const std::atomic<bool>& start, const std::atomic<bool>& stop, uint64_t seed);

// Iterations per second of a workload on n threads, measured for `seconds`.
double MeasureCpuRate(int workload, unsigned threads, Clock& clock, double seconds = 2.0);

unsigned HardwareThreads();  // 1 when the system reports 0

// score = rate * 1000 / reference
double CpuWorkloadScore(int workload, double rate);
// round(geometric mean of the three scores, each at least 1)
double CpuPassScore(const std::array<double, 3>& scores);
// MB/s of hashing: each crypto iteration hashes 64 KiB
double ShaMegabytesPerSecond(double rate);

struct CpuResult {
    double stScore = 0;
    double mtScore = 0;
    unsigned threads = 1;
};

using CpuRateFn = std::function<double(int workload, unsigned threads)>;

// The whole sequence of progress/metric lines and pauses; `measure` gives the rates.
CpuResult RunCpu(Reporter& reporter, Clock& clock, unsigned threads, const CpuRateFn& measure);
// The real test with the machine's threads.
CpuResult RunCpu(Reporter& reporter, Clock& clock);
// What the child entry writes after RunCpu: the three results, P 1.0 "Tamamlandı", D.
void ReportCpuResult(Reporter& reporter, const CpuResult& result);

// Process-wide sink of the checksums (keeps the work from being optimised away).
uint64_t CpuChecksumSink();

}  // namespace kalorix::bench
