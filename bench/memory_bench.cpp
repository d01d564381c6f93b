#include "bench/memory_bench.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__)
#include <emmintrin.h>
#define KALORIX_SSE2 1
#endif

#include "bench/cpu_bench.h"

namespace kalorix::bench {

namespace {

std::atomic<uint64_t> g_sink{0};

}  // namespace

uint64_t MemorySink() { return g_sink.load(); }

std::optional<size_t> ChooseMemoryBufferSize(uint64_t a) {
    uint64_t s = 256 * kMiB;
    while (s > 32 * kMiB && a < 2 * s + 512 * kMiB) s /= 2;
    if (a < 2 * s + 256 * kMiB) return std::nullopt;
    return static_cast<size_t>(s);
}

void FillMemorySource(uint64_t* words, size_t count) {
    uint64_t s = 88172645463325252ull;
    for (size_t i = 0; i < count; ++i) words[i] = Xorshift64(s);
}

#ifdef KALORIX_SSE2

uint64_t MemoryReadKernel(const void* src, size_t bytes) {
    const __m128i* p = static_cast<const __m128i*>(src);
    const __m128i* end = p + bytes / 16;
    __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0, a3 = a0;
    for (; p < end; p += 4) {
        a0 = _mm_add_epi64(a0, _mm_load_si128(p));
        a1 = _mm_add_epi64(a1, _mm_load_si128(p + 1));
        a2 = _mm_add_epi64(a2, _mm_load_si128(p + 2));
        a3 = _mm_add_epi64(a3, _mm_load_si128(p + 3));
    }
    const __m128i s = _mm_add_epi64(_mm_add_epi64(a0, a1), _mm_add_epi64(a2, a3));
    uint64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), s);
    return lanes[0] + lanes[1];
}

void MemoryWriteKernel(void* dst, size_t bytes) {
    __m128i* p = static_cast<__m128i*>(dst);
    __m128i* end = p + bytes / 16;
    const __m128i v = _mm_set1_epi8(0x5A);
    for (; p < end; p += 4) {
        _mm_stream_si128(p, v);
        _mm_stream_si128(p + 1, v);
        _mm_stream_si128(p + 2, v);
        _mm_stream_si128(p + 3, v);
    }
    _mm_sfence();
}

void MemoryCopyKernel(void* dst, const void* src, size_t bytes) {
    const __m128i* s = static_cast<const __m128i*>(src);
    __m128i* d = static_cast<__m128i*>(dst);
    const __m128i* end = s + bytes / 16;
    for (; s < end; s += 4, d += 4) {
        const __m128i v0 = _mm_load_si128(s);
        const __m128i v1 = _mm_load_si128(s + 1);
        const __m128i v2 = _mm_load_si128(s + 2);
        const __m128i v3 = _mm_load_si128(s + 3);
        _mm_stream_si128(d, v0);
        _mm_stream_si128(d + 1, v1);
        _mm_stream_si128(d + 2, v2);
        _mm_stream_si128(d + 3, v3);
    }
    _mm_sfence();
}

#else  // portable fallback for other processors

uint64_t MemoryReadKernel(const void* src, size_t bytes) {
    const uint64_t* p = static_cast<const uint64_t*>(src);
    uint64_t a0 = 0, a1 = 0, a2 = 0, a3 = 0;
    for (size_t i = 0; i < bytes / 8; i += 8) {
        a0 += p[i] + p[i + 4];
        a1 += p[i + 1] + p[i + 5];
        a2 += p[i + 2] + p[i + 6];
        a3 += p[i + 3] + p[i + 7];
    }
    return a0 + a1 + a2 + a3;
}

void MemoryWriteKernel(void* dst, size_t bytes) { std::memset(dst, 0x5A, bytes); }

void MemoryCopyKernel(void* dst, const void* src, size_t bytes) { std::memcpy(dst, src, bytes); }

#endif

size_t MemoryBlockSize(size_t size, unsigned threads) {
    threads = std::max(1u, threads);
    return (size / threads) / 256 * 256;
}

double MeasureBandwidth(BandwidthMode mode, const void* src, void* dst, size_t size, unsigned threads, Clock& clock,
                        double seconds) {
    threads = std::max(1u, threads);
    const size_t block = MemoryBlockSize(size, threads);
    std::vector<uint64_t> counters(threads, 0);
    std::atomic<bool> start{false}, stop{false};
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        workers.emplace_back([&, i] {
            const char* s = static_cast<const char*>(src) + i * block;
            char* d = static_cast<char*>(dst) + i * block;
            uint64_t bytes = 0;
            uint64_t sum = 0;
            while (!start.load(std::memory_order_acquire)) std::this_thread::yield();
            do {
                switch (mode) {
                    case BandwidthMode::Read: sum += MemoryReadKernel(s, block); break;
                    case BandwidthMode::Write: MemoryWriteKernel(d, block); break;
                    case BandwidthMode::Copy: MemoryCopyKernel(d, s, block); break;
                }
                bytes += block;
            } while (!stop.load(std::memory_order_relaxed));
            counters[i] = bytes;
            g_sink.fetch_add(sum);
        });
    }
    clock.sleepMs(30);
    const uint64_t t0 = clock.nowNs();
    start.store(true, std::memory_order_release);
    SleepUntil(clock, t0 + static_cast<uint64_t>(seconds * 1e9));
    stop.store(true);
    for (auto& t : workers) t.join();
    const uint64_t t1 = clock.nowNs();
    uint64_t total = 0;
    for (uint64_t c : counters) total += c;
    const double elapsed = static_cast<double>(t1 - t0) / 1e9;
    return elapsed > 0.0 ? static_cast<double>(total) / elapsed / 1e9 : 0.0;
}

void BuildLatencyChain(void* buffer, size_t size) {
    const size_t n = size / 64;
    if (n == 0) return;
    std::vector<uint32_t> idx(n);
    for (size_t i = 0; i < n; ++i) idx[i] = static_cast<uint32_t>(i);
    uint64_t s = 0x9e3779b97f4a7c15ull;
    for (size_t j = n - 1; j >= 1; --j) {
        const size_t k = Xorshift64(s) % j;
        std::swap(idx[j], idx[k]);
    }
    char* base = static_cast<char*>(buffer);
    for (size_t i = 0; i < n; ++i) {
        void* next = base + static_cast<size_t>(idx[i]) * 64;
        std::memcpy(base + i * 64, &next, sizeof next);
    }
}

namespace {

// Follows the chain `count` times (count a multiple of 8).
inline void* const* Chase(void* const* p, uint64_t count) {
    for (uint64_t i = 0; i < count; i += 8) {
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
        p = static_cast<void* const*>(*p);
    }
    return p;
}

}  // namespace

double MeasureLatency(void* buffer, size_t size, Clock& clock, double seconds) {
    if (size < 64) return 0.0;
    auto p = static_cast<void* const*>(buffer);
    p = Chase(p, 200000);
    constexpr uint64_t kBatch = 1048576;
    const uint64_t t0 = clock.nowNs();
    const uint64_t limit = static_cast<uint64_t>(seconds * 1e9);
    uint64_t loads = 0;
    uint64_t elapsed = 0;
    do {
        p = Chase(p, kBatch);
        loads += kBatch;
        elapsed = clock.nowNs() - t0;
    } while (elapsed < limit);
    g_sink.fetch_add(reinterpret_cast<uintptr_t>(p));
    return static_cast<double>(elapsed) / static_cast<double>(loads);
}

double MemoryScore(double read, double write, double copy, double latency) {
    if (!(latency > 0.0)) return 0.0;
    const double product = (100.0 / latency) * (write / 40.0) * (read / 50.0) * (copy / 40.0);
    if (!(product > 0.0) || !std::isfinite(product)) return 0.0;
    return RoundHalfAway(1000.0 * std::pow(product, 0.25));
}

int RunMemory(Reporter& reporter, MemoryPlatform& platform, Clock& clock, unsigned threads) {
    reporter.Progress(0.0, L"Bellek hazırlanıyor");
    const auto size = ChooseMemoryBufferSize(platform.availablePhysical());
    if (!size) {
        reporter.Error(kMemoryErrorNoFree);
        return 1;
    }
    void* src = platform.allocate(*size);
    void* dst = platform.allocate(*size);
    if (!src || !dst) {
        if (src) platform.release(src, *size);
        if (dst) platform.release(dst, *size);
        reporter.Error(kMemoryErrorAlloc);
        return 1;
    }
    FillMemorySource(static_cast<uint64_t*>(src), *size / 8);
    std::memset(dst, 0, *size);

    reporter.Progress(0.05, L"Okuma hızı ölçülüyor");
    const double read = MeasureBandwidth(BandwidthMode::Read, src, dst, *size, threads, clock);
    reporter.Progress(0.25, L"Soğuma molası");
    clock.sleepMs(1500);
    reporter.Progress(0.3, L"Yazma hızı ölçülüyor");
    const double write = MeasureBandwidth(BandwidthMode::Write, src, dst, *size, threads, clock);
    reporter.Progress(0.5, L"Soğuma molası");
    clock.sleepMs(1500);
    reporter.Progress(0.55, L"Kopyalama hızı ölçülüyor");
    const double copy = MeasureBandwidth(BandwidthMode::Copy, src, dst, *size, threads, clock);
    reporter.Progress(0.75, L"Gecikme ölçülüyor");
    BuildLatencyChain(dst, *size);
    const double latency = MeasureLatency(dst, *size, clock);

    platform.release(src, *size);
    platform.release(dst, *size);
    if (const auto kb = platform.installedKilobytes()) {
        reporter.Metric("memory.size_gb", RoundHalfAway(static_cast<double>(*kb) / 1048576.0));
    }
    reporter.Metric("memory.read_gbs", read);
    reporter.Metric("memory.write_gbs", write);
    reporter.Metric("memory.copy_gbs", copy);
    reporter.Metric("memory.latency_ns", latency);
    reporter.Metric("memory.score", MemoryScore(read, write, copy, latency));
    reporter.Progress(1.0, L"Tamamlandı");
    reporter.Done();
    return 0;
}

}  // namespace kalorix::bench
