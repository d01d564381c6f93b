// The GPU test's measuring logic, independent of Direct3D: the two shader
// texts, batch sizing, calibration of the dispatch size and the choice between
// GPU timestamps and host time. The device side is behind GpuTimer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

extern const char kGpuArithmeticShader[];
extern const char kGpuCopyShader[];

// One timed batch on the GPU: runs work once between two timestamps and
// returns its duration in seconds; nullopt when the GPU stopped answering.
class GpuTimer {
public:
    virtual ~GpuTimer() = default;
    virtual std::optional<double> timedBatch(const std::function<void()>& work) = 0;
};

// The sample of a batch: GPU time when the timestamps are usable, else host time.
double BatchSeconds(bool disjoint, uint64_t frequency, bool stampsAvailable, uint64_t start, uint64_t end,
                    double hostSeconds);

// Rate in work units per second over 2.5 s of batches sized to about 25 ms,
// the first 0.5 s left out; nullopt when a batch fails or nothing was timed.
std::optional<double> Measure(GpuTimer& gpu, Reporter& reporter, Clock& host, double workPerCall,
                              const std::function<void()>& work, double progressFrom, double progressTo,
                              const std::wstring& phase);

// Dispatch size for the arithmetic shader: from 256 groups, halving above
// 50 ms and doubling below 2 ms, at most 16 rounds, within 1..16384.
std::optional<uint32_t> CalibrateGroups(GpuTimer& gpu, const std::function<void(uint32_t groups)>& dispatch);

// Floating-point operations of one dispatch of `groups` groups.
double GpuFlopsPerDispatch(uint32_t groups);

// Copy buffer size from the adapter's dedicated memory.
uint64_t GpuCopyBufferSize(uint64_t dedicatedVideoMemory);

inline constexpr wchar_t kGpuNoResponse[] = L"Ekran kartı yanıt vermedi; test durduruldu.";

}  // namespace kalorix::bench
