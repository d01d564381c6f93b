// The memory test: read, write and copy bandwidth on all hardware threads and
// the latency of a dependent-load chain, on two buffers of 32 to 256 MiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

// What the memory test needs from the system (VirtualAlloc and friends on Windows).
class MemoryPlatform {
public:
    virtual ~MemoryPlatform() = default;
    virtual uint64_t availablePhysical() = 0;
    virtual void* allocate(size_t bytes) = 0;  // committed read-write, page aligned; null on failure
    virtual void release(void* p, size_t bytes) = 0;
    virtual std::optional<uint64_t> installedKilobytes() = 0;
};

inline constexpr uint64_t kMiB = 1024ull * 1024ull;

// Buffer size for the available memory; nullopt when even 32 MiB do not fit.
std::optional<size_t> ChooseMemoryBufferSize(uint64_t availablePhysical);

// Source pattern: successive xorshift64 states from 88172645463325252.
void FillMemorySource(uint64_t* words, size_t count);

// Kernels over one block (bytes a multiple of 64, pointers 16-byte aligned).
uint64_t MemoryReadKernel(const void* src, size_t bytes);         // sum of all 64-bit lanes
void MemoryWriteKernel(void* dst, size_t bytes);                  // 0x5A bytes, non-temporal
void MemoryCopyKernel(void* dst, const void* src, size_t bytes);  // non-temporal stores

enum class BandwidthMode { Read, Write, Copy };

// Per-thread block: (size / threads) rounded down to a multiple of 256 bytes.
size_t MemoryBlockSize(size_t size, unsigned threads);

// GB/s (10^9 bytes) of one mode on `threads` threads for `seconds`.
double MeasureBandwidth(BandwidthMode mode, const void* src, void* dst, size_t size, unsigned threads, Clock& clock,
                        double seconds = 2.0);

// Writes a single-cycle random chain (Sattolo) through every 64-byte line.
void BuildLatencyChain(void* buffer, size_t size);
// Follows the chain from the first line; ns per load over at least `seconds`.
double MeasureLatency(void* buffer, size_t size, Clock& clock, double seconds = 2.0);

double MemoryScore(double readGbs, double writeGbs, double copyGbs, double latencyNs);

inline constexpr wchar_t kMemoryErrorNoFree[] =
    L"Test için yeterli boş bellek yok. Birkaç program kapatıp yeniden dene.";
inline constexpr wchar_t kMemoryErrorAlloc[] = L"Test belleği ayrılamadı.";

// The whole test; returns the exit code (0 after D, 1 after E).
int RunMemory(Reporter& reporter, MemoryPlatform& platform, Clock& clock, unsigned threads);

uint64_t MemorySink();

}  // namespace kalorix::bench
